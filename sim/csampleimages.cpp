#include "csampleimages.h"

#include "ccodepage1251.h"

#include <QStringList>

#include <cmath>
#include <cstring>
#include <iterator>

namespace
{
struct SSensor
{
    const char16_t* pszName;
    const char* pszFile;
    quint8 byType;
    quint8 byCode;
    float fMin;
    float fMax;
    float fLowDefault; // conversion limits preset in the image
    float fHighDefault;
    float fR0;   // nominal resistance, 0 for a thermocouple
    float fW100; // resistance ratio at 100 °C, 0 for a thermocouple
};

constexpr SSensor kSensorTable[CSampleImages::kSensors] = {
    {u"Термопара ТХА (K)", "TcplK.dat", 0, 1, -200, 1360, 0, 1200, 0, 0},
    {u"Термопара ТХК (L)", "TcplL.dat", 0, 0, -200, 800, 0, 600, 0, 0},
    {u"ТСМ (50М) W100 = 1,4280", "R428_50.dat", 1, 13, -200, 200, -50, 150, 50, 1.4280f},
    {u"ТСП (Pt 100) W100 = 1,3850", "R385_100.dat", 1, 1, -200, 850, 0, 500, 100, 1.3850f},
    {u"ТСП (100П) W100 = 1,3910", "R391_100.dat", 1, 5, -232, 1100, 0, 500, 100, 1.3910f},
};

// Type K thermo-EMF in mV (reference functions of the international temperature scale).
double EmfK(double t)
{
    static constexpr double kBelow[] = {0.0,
                                        0.394501280250e-01,
                                        0.236223735980e-04,
                                        -0.328589067840e-06,
                                        -0.499048287770e-08,
                                        -0.675090591730e-10,
                                        -0.574103274280e-12,
                                        -0.310888728940e-14,
                                        -0.104516093650e-16,
                                        -0.198892668780e-19,
                                        -0.163226974860e-22};
    static constexpr double kAbove[] = {-0.176004136860e-01, 0.389212049750e-01,  0.185587700320e-04,
                                        -0.994575928740e-07, 0.318409457190e-09,  -0.560728448890e-12,
                                        0.560750590590e-15,  -0.320207200030e-18, 0.971511471520e-22,
                                        -0.121047212750e-25};
    double dSum = 0;
    double dPower = 1;
    if (t < 0)
    {
        for (double c : kBelow)
        {
            dSum += c * dPower;
            dPower *= t;
        }
        return dSum;
    }
    for (double c : kAbove)
    {
        dSum += c * dPower;
        dPower *= t;
    }
    return dSum + 0.118597600000 * std::exp(-0.118343200000e-03 * (t - 126.9686) * (t - 126.9686));
}

// Type L thermo-EMF in mV, interpolated in its standard table.
double EmfL(double t)
{
    static constexpr double kTable[][2] = {{-200, -9.488}, {-100, -5.641}, {0, 0},        {100, 6.862},
                                           {200, 14.560},  {300, 22.843},  {400, 31.492}, {500, 40.299},
                                           {600, 49.108},  {700, 57.859},  {800, 66.466}};
    for (std::size_t i = 1; i < std::size(kTable); ++i)
        if (t <= kTable[i][0] || i + 1 == std::size(kTable))
        {
            const double dFraction = (t - kTable[i - 1][0]) / (kTable[i][0] - kTable[i - 1][0]);
            return kTable[i - 1][1] + dFraction * (kTable[i][1] - kTable[i - 1][1]);
        }
    return 0;
}

// Resistance in ohms of a resistance thermometer.
double Resistance(const SSensor& sensor, double t)
{
    if (sensor.byCode == 13) // copper
    {
        const double dA = 4.28e-3;
        if (t >= 0)
            return sensor.fR0 * (1 + dA * t);
        return sensor.fR0 * (1 + dA * t - 6.2032e-7 * t * (t + 6.7) + 8.5154e-10 * t * t * t);
    }
    const bool bPt385 = sensor.byCode == 1;
    const double dA = bPt385 ? 3.9083e-3 : 3.9690e-3;
    const double dB = bPt385 ? -5.775e-7 : -5.841e-7;
    const double dC = t < 0 ? (bPt385 ? -4.183e-12 : -4.330e-12) : 0.0;
    return sensor.fR0 * (1 + dA * t + dB * t * t + dC * (t - 100) * t * t * t);
}

void FillSensorBlock(CParamZT01& image, const SSensor& sensor)
{
    const bool bThermocouple = sensor.byType == 0;
    image.bySensor92[0] = bThermocouple ? 1 : 0; // input channel: voltage or resistance
    image.bySensor92[1] = bThermocouple ? 0 : 3; // wires
    image.bySensor92[2] = 0;
    image.bySensorType = sensor.byType;
    image.bySensorCode = sensor.byCode;
    image.fSensor97 = sensor.fR0;
    image.bySensor101 = 40; // points in the characteristic table
    image.byColdJunction = bThermocouple ? 1 : 0;
    std::memset(image.bySensor103, 0, sizeof(image.bySensor103));
    image.fSensor106 = sensor.fW100;
    std::memset(image.bySensor110, 0, sizeof(image.bySensor110));
    image.fLowLimit = sensor.fLowDefault;
    image.fHighLimit = sensor.fHighDefault;
    image.bySensor143 = 0;
    image.fPeakBand = 0;

    // The standard characteristic as 40 points (temperature, mV or ohm) over the sensor's range.
    const double dStep = (double(sensor.fMax) - sensor.fMin) / 39;
    float fHeader[10] = {sensor.fMin, float(dStep), 40, bThermocouple ? 1.0f : 0.0f};
    std::memcpy(image.bySensorBlock152, fHeader, sizeof(image.bySensorBlock152));
    for (int i = 0; i < 40; ++i)
    {
        const double t = sensor.fMin + dStep * i;
        const double dValue = !bThermocouple ? Resistance(sensor, t) : sensor.byCode == 1 ? EmfK(t) : EmfL(t);
        image.fSensorTable[2 * i] = float(t);
        image.fSensorTable[2 * i + 1] = float(dValue);
    }
}
} // namespace

QByteArray CSampleImages::Catalogue()
{
    QStringList lines = {QStringLiteral("ЗИНТ-9"), QString::number(kSensors), QStringLiteral("60"),
                         QStringLiteral("15")};
    for (const SSensor& sensor : kSensorTable)
        lines << QString::fromUtf16(sensor.pszName) << QString::fromLatin1(sensor.pszFile)
              << QString::number(sensor.byType) << QString::number(sensor.byCode) << QStringLiteral("°C")
              << QString::number(sensor.fMin) << QString::number(sensor.fMax);
    return CCodePage1251::Encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

const char* CSampleImages::SensorFileName(int nSensor)
{
    return kSensorTable[nSensor].pszFile;
}

CParamZT01 CSampleImages::SensorImage(int nSensor)
{
    CParamZT01 image;
    // A sensor file carries no device's data: its device block is left erased.
    std::memset(image.Image(), 0xFF, CParamZT01::kImageSize);
    std::memset(image.byReserved80, 0, sizeof(image.byReserved80));
    FillSensorBlock(image, kSensorTable[nSensor]);
    image.fFailOutput = 3.6f;
    image.byOutRange = 5;
    image.fFilterTime = 1;
    return image;
}

CParamZT01 CSampleImages::DemoImage()
{
    CParamZT01 image;
    FillSensorBlock(image, kSensorTable[0]);
    image.fLowLimit = 0;
    image.fHighLimit = 1000;
    // Device block: input gains and offsets of the measuring channels, cold-junction sensor.
    for (int i = 0; i < 20; ++i)
        image.fDeviceCoef[i] = (i % 2 == 0) ? 1.0f + 0.0005f * float(i) : -0.012f + 0.001f * float(i);
    image.fDevice120[0] = 25.0f;
    image.fDevice120[1] = 0.0125f;
    image.byDevice140[0] = 0x09;
    image.byDevice140[1] = 0x21;
    image.fDacCalLow = 4.0123f;
    image.fDacCalHigh = 19.987f;
    image.fFailOutput = 3.6f;
    image.byOutRange = 5;
    image.fFilterTime = 1;
    return image;
}
