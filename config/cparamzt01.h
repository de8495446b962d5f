#pragma once

#include <QtGlobal>

#include <bit>
#include <cstddef>
#include <initializer_list>

// The transmitter's 512-byte EEPROM image. The record is the image itself: fields sit at their
// EEPROM addresses, packed, so several floats are at odd offsets. Never bind a reference or a
// pointer to a float field; copy the value.
#pragma pack(push, 1)
class CParamZT01
{
public:
    static constexpr int kImageSize = 512;

    // A run of image bytes [nOffset, nOffset + nSize).
    struct SRange
    {
        int nOffset;
        int nSize;
    };
    // Device block: belongs to the individual device (factory calibration); survives every edit.
    static constexpr SRange kDeviceBlock[] = {{0, 80}, {120, 8}, {140, 2}};
    // Sensor block: what a sensor image file supplies.
    static constexpr SRange kSensorBlock[] = {{92, 28}, {143, 5}, {152, 360}};
    // Sensor data: the sensor block less the settings the user may change (cold junction,
    // conversion limits, peak band). A unit's sensor data equal its sensor file's.
    static constexpr SRange kSensorData[] = {{92, 10}, {103, 9}, {143, 1}, {152, 360}};
    // Demonstration block: the sensor block plus the two DAC calibrations.
    static constexpr SRange kDemoBlock[] = {{92, 28}, {128, 8}, {143, 5}, {152, 360}};

    // Ends of an output range and the string id of its unit.
    struct SOutRange
    {
        float fLow;
        float fHigh;
        int nUnitId; // 140 "В" or 141 "мА"
    };

    CParamZT01();

    quint8* Image() { return reinterpret_cast<quint8*>(this); }
    const quint8* Image() const { return reinterpret_cast<const quint8*>(this); }

    // Copies the given byte runs of src into this record.
    template <std::size_t N>
    void CopyFrom(const CParamZT01& src, const SRange (&ranges)[N])
    {
        CopyRanges(src, ranges, N);
    }

    // The given byte runs are the same in both records.
    template <std::size_t N>
    bool SameIn(const CParamZT01& other, const SRange (&ranges)[N]) const
    {
        return SameRanges(other, ranges, N);
    }

    // Erased EEPROM reads as 0xFF: a float whose most significant byte is 0xF0 or above is unset.
    static bool IsUnset(float fValue) { return (std::bit_cast<quint32>(fValue) >> 24) >= 0xF0; }
    static const SOutRange& OutRange(quint8 byCode);

    float fDeviceCoef[20];       // 0: device data
    quint8 byReserved80[12];     // 80: not interpreted
    quint8 bySensor92[3];        // 92: sensor data
    quint8 bySensorType;         // 95: matched against tagSTSENSORS::byType
    quint8 bySensorCode;         // 96: matched against tagSTSENSORS::byCode
    float fSensor97;             // 97: sensor data
    quint8 bySensor101;          // 101: sensor data
    quint8 byColdJunction;       // 102: 0 off, 1 on
    quint8 bySensor103[3];       // 103: sensor data
    float fSensor106;            // 106: sensor data
    quint8 bySensor110[2];       // 110: sensor data
    float fLowLimit;             // 112: lower conversion limit, sensor unit
    float fHighLimit;            // 116: upper conversion limit, sensor unit
    float fDevice120[2];         // 120: device data
    float fDacCalLow;            // 128: DAC calibration, low end of the output range
    float fDacCalHigh;           // 132: DAC calibration, high end of the output range
    float fFailOutput;           // 136: output on sensor failure, mA
    quint8 byDevice140[2];       // 140: device data
    quint8 byOutRange;           // 142: output range code
    quint8 bySensor143;          // 143: sensor data
    float fPeakBand;             // 144: peak-filter band, sensor unit; 0 is off
    float fFilterTime;           // 148: low-pass filter time constant, s
    quint8 bySensorBlock152[40]; // 152: sensor data, one block
    float fSensorTable[80];      // 192: sensor data

private:
    void CopyRanges(const CParamZT01& src, const SRange* pRanges, std::size_t nRanges);
    bool SameRanges(const CParamZT01& other, const SRange* pRanges, std::size_t nRanges) const;
};
#pragma pack(pop)

static_assert(std::endian::native == std::endian::little, "the image's floats are little-endian");
static_assert(sizeof(CParamZT01) == CParamZT01::kImageSize);
static_assert(offsetof(CParamZT01, fDeviceCoef) == 0);
static_assert(offsetof(CParamZT01, byReserved80) == 80);
static_assert(offsetof(CParamZT01, bySensor92) == 92);
static_assert(offsetof(CParamZT01, bySensorType) == 95);
static_assert(offsetof(CParamZT01, bySensorCode) == 96);
static_assert(offsetof(CParamZT01, fSensor97) == 97);
static_assert(offsetof(CParamZT01, bySensor101) == 101);
static_assert(offsetof(CParamZT01, byColdJunction) == 102);
static_assert(offsetof(CParamZT01, bySensor103) == 103);
static_assert(offsetof(CParamZT01, fSensor106) == 106);
static_assert(offsetof(CParamZT01, bySensor110) == 110);
static_assert(offsetof(CParamZT01, fLowLimit) == 112);
static_assert(offsetof(CParamZT01, fHighLimit) == 116);
static_assert(offsetof(CParamZT01, fDevice120) == 120);
static_assert(offsetof(CParamZT01, fDacCalLow) == 128);
static_assert(offsetof(CParamZT01, fDacCalHigh) == 132);
static_assert(offsetof(CParamZT01, fFailOutput) == 136);
static_assert(offsetof(CParamZT01, byDevice140) == 140);
static_assert(offsetof(CParamZT01, byOutRange) == 142);
static_assert(offsetof(CParamZT01, bySensor143) == 143);
static_assert(offsetof(CParamZT01, fPeakBand) == 144);
static_assert(offsetof(CParamZT01, fFilterTime) == 148);
static_assert(offsetof(CParamZT01, bySensorBlock152) == 152);
static_assert(offsetof(CParamZT01, fSensorTable) == 192);
