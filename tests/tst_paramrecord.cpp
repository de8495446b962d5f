#include "coutputcharacteristic.h"
#include "cparamzt01.h"
#include "ctestfolder.h"
#include "cztappconfig.h"

#include <QTest>

#include <cstring>
#include <functional>

Q_DECLARE_METATYPE(std::function<void(CParamZT01&)>)

namespace
{
using Setter = std::function<void(CParamZT01&)>;

// Bytes of the image that differ between a and b.
QList<int> Differences(const CParamZT01& a, const CParamZT01& b)
{
    QList<int> offsets;
    for (int i = 0; i < CParamZT01::kImageSize; ++i)
        if (a.Image()[i] != b.Image()[i])
            offsets.append(i);
    return offsets;
}

QList<int> Span(std::initializer_list<std::pair<int, int>> ranges)
{
    QList<int> offsets;
    for (auto [nFirst, nLast] : ranges)
        for (int i = nFirst; i <= nLast; ++i)
            offsets.append(i);
    return offsets;
}

} // namespace

class TestParamRecord : public QObject
{
    Q_OBJECT

private slots:
    void construction();
    void fieldBytes_data();
    void fieldBytes();
    void unsetRule_data();
    void unsetRule();
    void outputRanges_data();
    void outputRanges();
    void findSensor();
    void outputCharacteristic_data();
    void outputCharacteristic();
    void restoreDeviceData();
    void byteGroups_data();
    void byteGroups();
    void sensorDataCheck_data();
    void sensorDataCheck();
};

void TestParamRecord::construction()
{
    const CParamZT01 image;
    CParamZT01 expected = CTestFolder::Filled(0);
    expected.Image()[142] = 5;
    QVERIFY(Differences(image, expected).isEmpty());
    QCOMPARE(image.byOutRange, quint8(5));
}

void TestParamRecord::fieldBytes_data()
{
    // Setting a field changes exactly its bytes, little-endian, at its EEPROM address.
    QTest::addColumn<Setter>("set");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray one("\x00\x00\x80\x3F", 4); // 1.0f
    QTest::newRow("fDeviceCoef[19]") << Setter([](CParamZT01& p) { p.fDeviceCoef[19] = 1; }) << 76 << one;
    QTest::newRow("bySensorType") << Setter([](CParamZT01& p) { p.bySensorType = 0xAB; }) << 95
                                  << QByteArray("\xAB");
    QTest::newRow("bySensorCode") << Setter([](CParamZT01& p) { p.bySensorCode = 0xCD; }) << 96
                                  << QByteArray("\xCD");
    QTest::newRow("float at 97") << Setter([](CParamZT01& p) { p.fSensor97 = 1; }) << 97 << one;
    QTest::newRow("byColdJunction") << Setter([](CParamZT01& p) { p.byColdJunction = 1; }) << 102
                                    << QByteArray("\x01");
    QTest::newRow("float at 106") << Setter([](CParamZT01& p) { p.fSensor106 = 1; }) << 106 << one;
    QTest::newRow("fLowLimit") << Setter([](CParamZT01& p) { p.fLowLimit = 1; }) << 112 << one;
    QTest::newRow("fHighLimit") << Setter([](CParamZT01& p) { p.fHighLimit = 1; }) << 116 << one;
    QTest::newRow("fDacCalLow") << Setter([](CParamZT01& p) { p.fDacCalLow = 1; }) << 128 << one;
    QTest::newRow("fDacCalHigh") << Setter([](CParamZT01& p) { p.fDacCalHigh = 1; }) << 132 << one;
    QTest::newRow("fFailOutput") << Setter([](CParamZT01& p) { p.fFailOutput = 1; }) << 136 << one;
    QTest::newRow("byOutRange") << Setter([](CParamZT01& p) { p.byOutRange = 9; }) << 142
                                << QByteArray("\x09");
    QTest::newRow("fPeakBand") << Setter([](CParamZT01& p) { p.fPeakBand = 1; }) << 144 << one;
    QTest::newRow("fFilterTime") << Setter([](CParamZT01& p) { p.fFilterTime = 1; }) << 148 << one;
    QTest::newRow("last table float") << Setter([](CParamZT01& p) { p.fSensorTable[79] = 1; }) << 508 << one;
}

void TestParamRecord::fieldBytes()
{
    QFETCH(Setter, set);
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    CParamZT01 image = CTestFolder::Filled(0);
    set(image);
    QList<int> expected;
    for (int i = 0; i < bytes.size(); ++i)
        if (bytes[i] != 0)
            expected.append(offset + i);
    QCOMPARE(Differences(image, CTestFolder::Filled(0)), expected);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(image.Image()) + offset, bytes.size()), bytes);
}

void TestParamRecord::unsetRule_data()
{
    QTest::addColumn<QByteArray>("bytes"); // the four bytes of fDacCalLow, low byte first
    QTest::addColumn<bool>("unset");
    QTest::newRow("erased") << QByteArray("\xFF\xFF\xFF\xFF", 4) << true;
    QTest::newRow("top byte F0") << QByteArray("\x00\x00\x00\xF0", 4) << true;
    QTest::newRow("top byte EF") << QByteArray("\xFF\xFF\xFF\xEF", 4) << false;
    QTest::newRow("4.0") << QByteArray("\x00\x00\x80\x40", 4) << false;
    QTest::newRow("zero") << QByteArray("\x00\x00\x00\x00", 4) << false;
    QTest::newRow("-1.0") << QByteArray("\x00\x00\x80\xBF", 4) << false;
}

void TestParamRecord::unsetRule()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, unset);
    CParamZT01 image;
    std::memcpy(image.Image() + 128, bytes.constData(), 4);
    QCOMPARE(CParamZT01::IsUnset(image.fDacCalLow), unset);
}

void TestParamRecord::outputRanges_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<float>("low");
    QTest::addColumn<float>("high");
    QTest::addColumn<int>("unit");
    QTest::newRow("0") << 0 << 0.0f << 5.0f << 140;
    QTest::newRow("1") << 1 << 0.0f << 10.0f << 140;
    QTest::newRow("2") << 2 << -5.0f << 5.0f << 140;
    QTest::newRow("3") << 3 << -10.0f << 10.0f << 140;
    QTest::newRow("4") << 4 << 4.0f << 20.0f << 141;
    QTest::newRow("5") << 5 << 4.0f << 20.0f << 141;
    QTest::newRow("6") << 6 << 0.0f << 20.0f << 141;
    QTest::newRow("9") << 9 << 0.0f << 20.0f << 141;
    QTest::newRow("255") << 255 << 0.0f << 20.0f << 141;
}

void TestParamRecord::outputRanges()
{
    QFETCH(int, code);
    QFETCH(float, low);
    QFETCH(float, high);
    QFETCH(int, unit);
    const CParamZT01::SOutRange& range = CParamZT01::OutRange(quint8(code));
    QCOMPARE(range.fLow, low);
    QCOMPARE(range.fHigh, high);
    QCOMPARE(range.nUnitId, unit);
}

void TestParamRecord::findSensor()
{
    CZTAppConfig app;
    CParamZT01 image;
    image.bySensorType = 0;
    image.bySensorCode = 1;
    QCOMPARE(app.FindSensor(image), -1); // empty catalogue
    app.SetDefaultSensors();
    QCOMPARE(app.FindSensor(image), 0);
    image.bySensorType = 1;
    image.bySensorCode = 5;
    QCOMPARE(app.FindSensor(image), 4);
    image.bySensorCode = 2;
    QCOMPARE(app.FindSensor(image), -1);
    // A duplicate of entry 3 further down the list: the first match wins.
    app.m_Sensors.append(app.m_Sensors[3]);
    app.m_Sensors.last().strName = "copy";
    image.bySensorCode = 1;
    QCOMPARE(app.FindSensor(image), 3);
}

void TestParamRecord::restoreDeviceData()
{
    CZTAppConfig app;
    app.m_ParamDevice = CTestFolder::Filled(0xAA);
    app.m_ParamEdit = CTestFolder::Filled(0x11);
    app.RestoreDeviceData();
    QCOMPARE(Differences(app.m_ParamEdit, CTestFolder::Filled(0x11)),
             Span({{0, 79}, {120, 127}, {140, 141}}));
    for (int i : Span({{0, 79}, {120, 127}, {140, 141}}))
        QCOMPARE(app.m_ParamEdit.Image()[i], quint8(0xAA));
    QVERIFY(Differences(app.m_ParamDevice, CTestFolder::Filled(0xAA)).isEmpty());
}

void TestParamRecord::byteGroups_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<QList<int>>("offsets");
    QTest::newRow("device") << 0 << Span({{0, 79}, {120, 127}, {140, 141}});
    QTest::newRow("sensor") << 1 << Span({{92, 119}, {143, 147}, {152, 511}});
    QTest::newRow("demonstration") << 2 << Span({{92, 119}, {128, 135}, {143, 147}, {152, 511}});
}

void TestParamRecord::byteGroups()
{
    QFETCH(int, group);
    QFETCH(QList<int>, offsets);
    CParamZT01 image = CTestFolder::Filled(0);
    const CParamZT01 source = CTestFolder::Filled(0x5A);
    if (group == 0)
        image.CopyFrom(source, CParamZT01::kDeviceBlock);
    else if (group == 1)
        image.CopyFrom(source, CParamZT01::kSensorBlock);
    else
        image.CopyFrom(source, CParamZT01::kDemoBlock);
    QCOMPARE(Differences(image, CTestFolder::Filled(0)), offsets);
}

void TestParamRecord::sensorDataCheck_data()
{
    // A byte changed at an offset: of the sensor data every block counts, of the settings a
    // user edits inside the sensor block none.
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("mismatch");
    for (int k = 152 / 8; k < CParamZT01::kImageSize / 8; ++k)
        QTest::addRow("table block %d", k) << 8 * k + k % 8 << true;
    QTest::newRow("sensor type line") << 92 << true;
    QTest::newRow("cold junction") << 102 << false;
    QTest::newRow("lower limit") << 112 << false;
    QTest::newRow("upper limit") << 116 << false;
    QTest::newRow("peak band") << 144 << false;
    QTest::newRow("sensor byte 143") << 143 << true;
}

void TestParamRecord::sensorDataCheck()
{
    QFETCH(int, offset);
    QFETCH(bool, mismatch);
    CTestFolder folder;
    CZTAppConfig app;
    app.m_strAppDir = folder.Path();
    app.SetDefaultSensors();
    const QByteArray file = folder.ReadFile("ImgEEPROM/" + app.m_Sensors[3].strFileName);
    CParamZT01 image;
    std::memcpy(image.Image(), file.constData(), CParamZT01::kImageSize);
    QCOMPARE(app.SensorFileMismatch(image), QString());
    image.Image()[offset] ^= 0x21;
    QCOMPARE(app.SensorFileMismatch(image), mismatch ? app.m_Sensors[3].strFileName : QString());
}

void TestParamRecord::outputCharacteristic_data()
{
    QTest::addColumn<int>("range"); // the output range's code
    QTest::addColumn<float>("low");
    QTest::addColumn<float>("high");
    QTest::addColumn<float>("input");
    QTest::addColumn<float>("output");
    // The range's ends at the limits, straight between them, held beyond them.
    QTest::newRow("4-20 mA at the lower limit") << 4 << 0.0f << 500.0f << 0.0f << 4.0f;
    QTest::newRow("4-20 mA at the upper limit") << 4 << 0.0f << 500.0f << 500.0f << 20.0f;
    QTest::newRow("4-20 mA halfway") << 4 << 0.0f << 500.0f << 250.0f << 12.0f;
    QTest::newRow("below the lower limit") << 4 << 0.0f << 500.0f << -200.0f << 4.0f;
    QTest::newRow("above the upper limit") << 4 << 0.0f << 500.0f << 1300.0f << 20.0f;
    QTest::newRow("-5..5 V, limits not at zero") << 2 << 100.0f << 200.0f << 175.0f << 2.5f;
    QTest::newRow("0-20 mA, a code beyond the table") << 9 << -50.0f << 150.0f << 0.0f << 5.0f;
}

void TestParamRecord::outputCharacteristic()
{
    QFETCH(int, range);
    QFETCH(float, low);
    QFETCH(float, high);
    QFETCH(float, input);
    QFETCH(float, output);
    CZTAppConfig app;
    app.SetDefaultSensors();
    CParamZT01 image = CTestFolder::Filled(0);
    image.bySensorType = 0;
    image.bySensorCode = 1;
    image.byOutRange = quint8(range);
    image.fLowLimit = low;
    image.fHighLimit = high;
    image.fFailOutput = 3.6f;
    const COutputCharacteristic line = COutputCharacteristic::Of(app, image);
    QCOMPARE(line.OutputAt(input), output);
    QCOMPARE(line.fFail, 3.6f);
    QCOMPARE(line.strOutputUnit, range < 4 ? QStringLiteral("В") : QStringLiteral("мА"));
    // The sensor's whole range, from the catalogue.
    QVERIFY(line.bSensorKnown);
    QCOMPARE(line.fSensorMin, app.m_Sensors[0].fMin);
    QCOMPARE(line.fSensorMax, app.m_Sensors[0].fMax);
    QCOMPARE(line.strInputUnit, app.m_Sensors[0].strUnit);
}

QTEST_GUILESS_MAIN(TestParamRecord)
#include "tst_paramrecord.moc"
