#include "ccodepage1251.h"
#include "cfilelock.h"
#include "ctestfolder.h"
#include "cztappconfig.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QThread>

#include <thread>

namespace
{
struct SShown
{
    QString strText;
    QString strCaption;
    EMsgIcon nIcon;
};

QStringList OneSensor()
{
    return {"ЗИНТ-9", "1", "30", "10", "Термопара ТХА (K)", "TcplK.dat", "0", "1", "°C", "-200", "1360"};
}

QByteArray Encode(const QStringList& lines, const QString& strEnd = "\r\n", bool bFinalEnd = true)
{
    return CCodePage1251::Encode(lines.join(strEnd) + (bFinalEnd ? strEnd : QString()));
}

void CompareWithBuiltIn(const CZTAppConfig& app)
{
    CZTAppConfig builtIn;
    builtIn.SetDefaultSensors();
    QCOMPARE(app.m_nSensors, 5);
    QCOMPARE(app.m_Sensors.size(), 5);
    for (int i = 0; i < 5; ++i)
    {
        QCOMPARE(app.m_Sensors[i].strName, builtIn.m_Sensors[i].strName);
        QCOMPARE(app.m_Sensors[i].strFileName, builtIn.m_Sensors[i].strFileName);
        QCOMPARE(app.m_Sensors[i].byType, builtIn.m_Sensors[i].byType);
        QCOMPARE(app.m_Sensors[i].byCode, builtIn.m_Sensors[i].byCode);
        QCOMPARE(app.m_Sensors[i].strUnit, builtIn.m_Sensors[i].strUnit);
        QCOMPARE(app.m_Sensors[i].fMin, builtIn.m_Sensors[i].fMin);
        QCOMPARE(app.m_Sensors[i].fMax, builtIn.m_Sensors[i].fMax);
    }
}
} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private:
    // Loads content as Sensors.dat into a fresh application object.
    bool Load(const QByteArray& content, CZTAppConfig& app, QList<SShown>& shown)
    {
        m_pFolder = std::make_unique<CTestFolder>();
        m_pFolder->WriteFile("Sensors.dat", content);
        app.m_strAppDir = m_pFolder->Path();
        app.m_Hooks.m_pfnMessage = [&shown](const QString& strText, const QString& strCaption, EMsgIcon nIcon)
        {
            shown.append({strText, strCaption, nIcon});
        };
        return app.LoadSensorCatalogue();
    }
    std::unique_ptr<CTestFolder> m_pFolder;

private slots:
    void builtInTable();
    void shippedFileLoads();
    void validFile_data();
    void validFile();
    void rejectedFile_data();
    void rejectedFile();
    void headerKeptAfterFailure();
    void missingFile();
    void lockedFile();
};

void TestCatalogue::builtInTable()
{
    CZTAppConfig app;
    app.SetDefaultSensors();
    QCOMPARE(app.m_Sensors[0].strName, QStringLiteral("Термопара ТХА (K)"));
    QCOMPARE(app.m_Sensors[2].strName, QStringLiteral("ТСМ (50М) W100 = 1,4280"));
    QCOMPARE(app.m_Sensors[4].strFileName, QStringLiteral("R391_100.dat"));
    QCOMPARE(app.m_Sensors[4].fMin, -232.0f);
    QCOMPARE(app.m_Sensors[2].byCode, quint8(13));
    // The limits are not the table's business.
    app.m_fMaxFilterTime = 7;
    app.SetDefaultSensors();
    QCOMPARE(app.m_fMaxFilterTime, 7.0f);
}

void TestCatalogue::shippedFileLoads()
{
    CTestFolder folder;
    CZTAppConfig app;
    app.m_strAppDir = folder.Path();
    int nShown = 0;
    app.m_Hooks.m_pfnMessage = [&](const QString&, const QString&, EMsgIcon) { ++nShown; };
    QVERIFY(app.LoadSensorCatalogue());
    QCOMPARE(nShown, 0);
    CompareWithBuiltIn(app);
    QCOMPARE(app.m_fMaxFilterTime, 60.0f);
    QCOMPARE(app.m_fMaxBandPercent, 15.0f);
}

void TestCatalogue::validFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("sensors");
    QTest::addColumn<float>("min");
    QTest::addColumn<float>("max");

    QTest::newRow("CR LF") << Encode(OneSensor()) << 1 << -200.0f << 1360.0f;
    QTest::newRow("bare LF") << Encode(OneSensor(), "\n") << 1 << -200.0f << 1360.0f;
    QTest::newRow("last line without its end")
        << Encode(OneSensor(), "\r\n", false) << 1 << -200.0f << 1360.0f;
    QStringList lines = OneSensor();
    lines[9] = "abc";
    lines[10] = "1,5";
    QTest::newRow("abc and decimal comma") << Encode(lines) << 1 << 0.0f << 1.0f;
    lines = OneSensor();
    lines << "ignored"
          << "lines";
    QTest::newRow("lines after the last sensor") << Encode(lines) << 1 << -200.0f << 1360.0f;
    lines = OneSensor();
    lines[1] = "261"; // 261 reads as 5
    for (int i = 0; i < 4; ++i)
        lines << OneSensor().mid(4);
    QTest::newRow("count 261") << Encode(lines) << 5 << -200.0f << 1360.0f;
}

void TestCatalogue::validFile()
{
    QFETCH(QByteArray, content);
    QFETCH(int, sensors);
    QFETCH(float, min);
    QFETCH(float, max);
    CZTAppConfig app;
    QList<SShown> shown;
    QVERIFY(Load(content, app, shown));
    QVERIFY(shown.isEmpty());
    QCOMPARE(app.m_nSensors, sensors);
    QCOMPARE(app.m_Sensors.size(), sensors);
    QCOMPARE(app.m_Sensors[0].strName, QStringLiteral("Термопара ТХА (K)"));
    QCOMPARE(app.m_Sensors[0].strUnit, QStringLiteral("°C"));
    QCOMPARE(app.m_Sensors[0].byCode, quint8(1));
    QCOMPARE(app.m_Sensors[0].fMin, min);
    QCOMPARE(app.m_Sensors[0].fMax, max);
    QCOMPARE(app.m_fMaxFilterTime, 30.0f);
    QCOMPARE(app.m_fMaxBandPercent, 10.0f);
}

void TestCatalogue::rejectedFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QStringList lines = OneSensor();
    lines[0] = "ЗИНТ-9 ";
    QTest::newRow("name followed by a blank") << Encode(lines);
    lines[0] = " ЗИНТ-9";
    QTest::newRow("name after a blank") << Encode(lines);
    lines[0] = "зинт-9";
    QTest::newRow("name in other case") << Encode(lines);
    lines = OneSensor();
    lines[1] = "256";
    QTest::newRow("count 256") << Encode(lines);
    lines[1] = "abc";
    QTest::newRow("count without digits") << Encode(lines);
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("name only") << Encode(OneSensor().mid(0, 1));
    QTest::newRow("ends after line 3") << Encode(OneSensor().mid(0, 3));
    QTest::newRow("ends after the header") << Encode(OneSensor().mid(0, 4));
    QTest::newRow("last value missing") << Encode(OneSensor().mid(0, 10));
    lines = OneSensor();
    lines[1] = "2";
    lines << OneSensor().mid(4, 6);
    QTest::newRow("second sensor lacks its last line") << Encode(lines);
    // A limit that is no finite number lets every value through, or none.
    for (const auto& [nLine, strValue] :
         QList<std::pair<int, QString>>{{9, "-inf"}, {10, "1e400"}, {10, "nan"}, {2, "1e39"}, {3, "inf"}})
    {
        lines = OneSensor();
        lines[nLine] = strValue;
        QTest::newRow(qPrintable(QStringLiteral("line %1 holds %2").arg(nLine + 1).arg(strValue)))
            << Encode(lines);
    }
    // The file is Windows-1251: the product name in UTF-8 does not match.
    QTest::newRow("UTF-8 file") << OneSensor().join("\r\n").toUtf8();
}

void TestCatalogue::rejectedFile()
{
    QFETCH(QByteArray, content);
    CZTAppConfig app;
    QList<SShown> shown;
    QVERIFY(!Load(content, app, shown));
    QCOMPARE(shown.size(), 1);
    const QString strPath = QDir::toNativeSeparators(m_pFolder->FilePath("Sensors.dat"));
    QCOMPARE(shown[0].strText,
             QStringLiteral("Файл конфигурации:\n %1\nиспорчен или не соответствует требуемому формату!")
                 .arg(strPath));
    QCOMPARE(shown[0].strCaption, QStringLiteral("Конфигуратор ЗИНТ-9"));
    QCOMPARE(shown[0].nIcon, EMsgIcon::Exclamation);
    CompareWithBuiltIn(app);
}

void TestCatalogue::headerKeptAfterFailure()
{
    CZTAppConfig app;
    QList<SShown> shown;
    QVERIFY(!Load(Encode(OneSensor().mid(0, 4)), app, shown));
    QCOMPARE(app.m_fMaxFilterTime, 30.0f);
    QCOMPARE(app.m_fMaxBandPercent, 10.0f);
    CompareWithBuiltIn(app);
}

void TestCatalogue::missingFile()
{
    CTestFolder folder;
    QVERIFY(QFile::remove(folder.FilePath("Sensors.dat")));
    CZTAppConfig app;
    app.m_strAppDir = folder.Path();
    QStringList texts;
    app.m_Hooks.m_pfnMessage = [&](const QString& strText, const QString&, EMsgIcon) { texts << strText; };
    QVERIFY(!app.LoadSensorCatalogue());
    QCOMPARE(texts.size(), 1);
    QVERIFY(texts[0].contains(QDir::toNativeSeparators(folder.FilePath("Sensors.dat"))));
    QCOMPARE(app.m_fMaxFilterTime, 60.0f);
    CompareWithBuiltIn(app);
}

void TestCatalogue::lockedFile()
{
    CTestFolder folder;
    folder.WriteFile("Sensors.dat", Encode(OneSensor()));
    QFile holder(folder.FilePath("Sensors.dat"));
    QVERIFY(holder.open(QIODevice::ReadOnly));
    QVERIFY(CFileLock::TryLock(holder));
    CZTAppConfig app;
    app.m_strAppDir = folder.Path();
    int nShown = 0;
    app.m_Hooks.m_pfnMessage = [&](const QString&, const QString&, EMsgIcon) { ++nShown; };
    QVERIFY(!app.LoadSensorCatalogue());
    QCOMPARE(nShown, 1);
    holder.close();
    QVERIFY(app.LoadSensorCatalogue());
    QCOMPARE(app.m_nSensors, 1);

    // Another copy reading the file holds it only for a moment: that is waited for, not a damaged file.
    QVERIFY(holder.open(QIODevice::ReadOnly));
    QVERIFY(CFileLock::TryLock(holder));
    std::thread reader(
        [&]
        {
            QThread::msleep(CFileLock::kWaitMs / 4);
            holder.close();
        });
    app.SetDefaultSensors();
    const bool bLoaded = app.LoadSensorCatalogue();
    reader.join();
    QVERIFY(bLoaded);
    QCOMPARE(nShown, 1);
    QCOMPARE(app.m_nSensors, 1);
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
