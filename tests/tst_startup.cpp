#include "cmsgbox.h"
#include "csampleimages.h"
#include "csimulator.h"
#include "cstringtable.h"
#include "ctestfolder.h"
#include "cztapp.h"
#include "cztdlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <cstring>
#include <memory>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup()
    {
        CMsgBox::SetMessageScript({});
        CMsgBox::SetDialogScript({});
    }
    void commandLine_data();
    void commandLine();
    void demoCommandLine_data();
    void demoCommandLine();
    void settingsStore();
    void locale();
    void appDir();
    void members();
    void stringTable_data();
    void stringTable();
    void unknownString();
    void catalogueMessageBeforeWizard();
    void givenPortAndTrafficLog_data();
    void givenPortAndTrafficLog();
    void shippedSensorImages_data();
    void shippedSensorImages();
    void shippedDemoImage();
};

void TestStartup::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("said");
    QTest::newRow("unknown option")
        << QStringList{"--bogus"} << 2
        << "zint9-configurator: неизвестный параметр --bogus; см. zint9-configurator --help\n";
    QTest::newRow("unknown after /demo")
        << QStringList{"/demo", "-x"} << 2
        << "zint9-configurator: неизвестный параметр -x; см. zint9-configurator --help\n";
    QTest::newRow("port without its path")
        << QStringList{"--port"} << 2 << "zint9-configurator: параметру --port нужно значение\n";
    QTest::newRow("trace without its file")
        << QStringList{"/demo", "--trace"} << 2 << "zint9-configurator: параметру --trace нужно значение\n";
    QTest::newRow("version among good options")
        << QStringList{"/demo", "--port", "/dev/null", "--version"} << 0 << QString();
    QTest::newRow("a record with a mistyped scheme")
        << QStringList{"/demo", "RECORD=postgresq://station:secret@db/zint9"} << 2
        << "zint9-configurator: ZINT9_RECORD «postgresql:***»: адрес базы записей пишется postgresql://…\n";
    QTest::newRow("a record with an unknown scheme")
        << QStringList{"/demo", "RECORD=mysql://station:secret@db/zint9"} << 2
        << "zint9-configurator: ZINT9_RECORD «mysql://station:***@db/zint9»: записи — это sqlite:ФАЙЛ, "
           "postgresql://… или путь к файлу\n";
}

void TestStartup::commandLine()
{
    // No display: a window started by mistake would end otherwise than these answers.
    QFETCH(QStringList, arguments);
    QFETCH(int, exit);
    QFETCH(QString, said);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "xcb");
    for (const QString& strArgument : arguments)
        if (strArgument.startsWith("RECORD="))
            environment.insert("ZINT9_RECORD", strArgument.mid(7));
    arguments.removeIf([](const QString& strArgument) { return strArgument.startsWith("RECORD="); });
    program.setProcessEnvironment(environment);
    program.start(QCoreApplication::applicationDirPath() + "/zint9-configurator", arguments);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exit);
    QCOMPARE(QString::fromUtf8(program.readAllStandardError()), said);
    if (exit == 0)
        QCOMPARE(program.readAllStandardOutput(), QByteArray("zint9-configurator " ZINT9_VERSION "\n"));
}

void TestStartup::demoCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("demo");
    QTest::newRow("first argument /demo") << QStringList{"zint9-configurator", "/demo"} << true;
    QTest::newRow("more arguments after it") << QStringList{"zint9-configurator", "/demo", "x"} << true;
    QTest::newRow("no argument") << QStringList{"zint9-configurator"} << false;
    QTest::newRow("capital letter") << QStringList{"zint9-configurator", "/Demo"} << false;
    QTest::newRow("all capitals") << QStringList{"zint9-configurator", "/DEMO"} << false;
    QTest::newRow("second argument") << QStringList{"zint9-configurator", "-x", "/demo"} << false;
    QTest::newRow("trailing blank") << QStringList{"zint9-configurator", "/demo "} << false;
    QTest::newRow("dash form") << QStringList{"zint9-configurator", "-demo"} << false;
}

void TestStartup::demoCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, demo);
    QCOMPARE(CZTApp::IsDemoCommandLine(arguments), demo);
}

void TestStartup::settingsStore()
{
    CZTApp::InitSettingsStore();
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Trelm"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Конфигуратор ЗИНТ-9"));
    QSettings settings;
    QVERIFY(settings.fileName().contains(QStringLiteral("Trelm")));
}

void TestStartup::locale()
{
    CZTApp app;
    app.InitLocale();
    QCOMPARE(QByteArray(std::setlocale(LC_NUMERIC, nullptr)), QByteArray("C"));
    char szBuffer[16];
    std::snprintf(szBuffer, sizeof(szBuffer), "%.1f", 1.5);
    QCOMPARE(QByteArray(szBuffer), QByteArray("1.5"));

    // Qt's own texts in the wizard are Russian too: a field's context menu, as the user opens it.
    QLineEdit edit;
    const std::unique_ptr<QMenu> pMenu(edit.createStandardContextMenu());
    QStringList texts;
    for (const QAction* pAction : pMenu->actions())
        texts << pAction->text();
    QVERIFY2(texts.join(" | ").contains(QStringLiteral("&Копировать")), qPrintable(texts.join(" | ")));
}

void TestStartup::appDir()
{
    const QString strBefore = QDir::currentPath();
    CTestFolder folder;
    CZTApp app;
    app.InitAppDir(folder.Path());
    QCOMPARE(app.m_strAppDir, folder.Path());
    QCOMPARE(QDir::currentPath(), QDir(folder.Path()).canonicalPath());
    app.InitAppDir(QString()); // an unknown folder changes nothing
    QCOMPARE(app.m_strAppDir, folder.Path());

    // Installed: nothing beside the program, so the share folder under the same prefix is used,
    // and a fault names the file there.
    QTemporaryDir prefix;
    const QString strShared = prefix.filePath("share/zint9-configurator");
    QVERIFY(QDir().mkpath(prefix.filePath("bin")) && QDir().mkpath(strShared));
    app.InitAppDir(prefix.filePath("bin"));
    QCOMPARE(app.m_strAppDir, strShared);
    QVERIFY(app.m_bInstalledData);
    QStringList texts;
    app.m_Hooks.m_pfnMessage = [&](const QString& strText, const QString&, EMsgIcon) { texts << strText; };
    QVERIFY(!app.LoadSensorCatalogue());
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts[0].contains(strShared + "/Sensors.dat"), qPrintable(texts[0]));
    QDir::setCurrent(strBefore);
}

void TestStartup::members()
{
    CZTApp app;
    QCOMPARE(&ZTApp(), static_cast<CZTAppDevice*>(&app));
    QVERIFY(app.m_strAppDir.isEmpty());
    QCOMPARE(app.m_fMaxFilterTime, 60.0f);
    QCOMPARE(app.m_fMaxBandPercent, 15.0f);
    QVERIFY(!app.m_Port.m_bOpen);
    QVERIFY(!app.m_Port.m_bDemo);
    QCOMPARE(app.m_ParamEdit.byOutRange, quint8(5));
    QCOMPARE(app.m_ParamDevice.byOutRange, quint8(5));
    QCOMPARE(app.m_nSensors, 5);
    QCOMPARE(app.m_nSensor, 0);
    QCOMPARE(app.m_wVersion, quint16(0));
    QCOMPARE(app.m_wBootVersion, quint16(0));
    QVERIFY(!app.m_bConnected);
    QVERIFY(app.m_Sensors.isEmpty());
}

void TestStartup::stringTable_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("57344") << 57344 << "Конфигуратор ЗИНТ-9";
    QTest::newRow("101") << 101 << "&О программе Конфигуратор ЗИНТ-9...";
    QTest::newRow("102") << 102 << "Подождите...";
    QTest::newRow("104") << 104 << "ЗИНТ-9";
    QTest::newRow("107") << 107 << "Внимание!";
    QTest::newRow("138") << 138 << "Порт: %s. Версия прибора: 0x%04X. Версия загрузчика: 0x%04X";
    QTest::newRow("140") << 140 << "В";
    QTest::newRow("141") << 141 << "мА";
    QTest::newRow("146 keeps its blank") << 146 << "(файл ";
    QTest::newRow("147") << 147 << ")\nЧтение образа EEPROM прибора...";
    QTest::newRow("152") << 152 << "Не выбран порт подключения!";
    QTest::newRow("153") << 153
                         << "Ошибка открытия порта!\nПорт либо неисправен, либо занят другим приложением.";
    QTest::newRow("157") << 157 << "Новые настройки записаны в прибор.";
    QTest::newRow("158") << 158
                         << "Значение постоянной времени НЧ-фильтра,\n должно быть между 0 и %.0f секунд!";
}

void TestStartup::stringTable()
{
    QFETCH(int, id);
    QFETCH(QString, text);
    QCOMPARE(CStringTable::Load(id), text);
}

void TestStartup::unknownString()
{
    QVERIFY(CStringTable::Load(9999).isEmpty());
    QVERIFY(CStringTable::Load(103).isEmpty());
    for (int nId : {105, 106, 139, 148, 151, 154, 155, 156, 159, 160, 161})
        QVERIFY2(!CStringTable::Load(nId).isEmpty(), qPrintable(QString::number(nId)));
    const QHash<int, QString> table = CStringTable::Parse("# comment\n7\ta\\\\b\\tc\nx\tignored\n8\t\n");
    QCOMPARE(table.value(7), QStringLiteral("a\\b\tc"));
    QVERIFY(table.contains(8));
    QCOMPARE(table.size(), 2);
}

void TestStartup::catalogueMessageBeforeWizard()
{
    CTestFolder folder;
    folder.WriteFile("Sensors.dat", "not a catalogue");
    QStringList events;
    CMsgBox::SetMessageScript(
        [&](const CMsgBox::SRecord& record)
        { events << (record.strText.startsWith(QStringLiteral("Файл конфигурации")) ? "139" : "other"); });
    CMsgBox::SetDialogScript(
        [&](QDialog&)
        {
            events << "wizard";
            return int(QDialog::Rejected);
        });
    const QString strBefore = QDir::currentPath();
    CZTApp app;
    QVERIFY(!app.Run({"zint9-configurator", "/demo"}, folder.Path()));
    QDir::setCurrent(strBefore);
    QCOMPARE(events, QStringList({"139", "wizard"}));
    QVERIFY(app.m_Port.m_bDemo);
    QCOMPARE(app.m_Sensors.size(), 5);
}

void TestStartup::givenPortAndTrafficLog_data()
{
    QTest::addColumn<bool>("environment");
    QTest::newRow("--trace") << false;
    QTest::newRow("ZINT9_TRACE") << true;
}

void TestStartup::givenPortAndTrafficLog()
{
    QFETCH(bool, environment);
    CTestFolder folder;
    CSimulator sim; // a port the system does not list
    QVERIFY(sim.Start());
    const QString strLog = folder.FilePath("line.log");
    QStringList arguments = {"zint9-configurator", "--port", sim.SlavePath()};
    if (environment)
        qputenv("ZINT9_TRACE", QFile::encodeName(strLog));
    else
        arguments << "--trace" << strLog;
    QStringList shown;
    CMsgBox::SetMessageScript([&](const CMsgBox::SRecord& record) { shown << record.strText; });
    QString strSelected;
    int nPage = -1;
    CMsgBox::SetDialogScript(
        [&](QDialog& dialog)
        {
            auto& dlg = static_cast<CZTDlg&>(dialog);
            strSelected = dlg.m_Page1.findChild<QComboBox*>("1007")->currentText();
            dlg.OnOK();
            nPage = dlg.m_nCurPage;
            return int(QDialog::Rejected);
        });
    const QString strBefore = QDir::currentPath();
    CZTApp app;
    app.Run(arguments, folder.Path());
    QDir::setCurrent(strBefore);
    qunsetenv("ZINT9_TRACE");
    QCOMPARE(strSelected, sim.SlavePath());
    QCOMPARE(nPage, 1);
    QCOMPARE(shown, QStringList());
    const QString strTrace = QString::fromUtf8(folder.ReadFile("line.log"));
    QVERIFY2(strTrace.contains(QStringLiteral("- port %1 opened\n").arg(sim.SlavePath())),
             qPrintable(strTrace));
    QVERIFY(strTrace.contains("< versions 0x1555 0x0008: 15 55 00 08\n"));
    QVERIFY(strTrace.contains("< read 0x01F8: check word accepted: "));
}

void TestStartup::shippedSensorImages_data()
{
    QTest::addColumn<int>("sensor");
    for (int i = 0; i < CSampleImages::kSensors; ++i)
        QTest::newRow(CSampleImages::SensorFileName(i)) << i;
}

void TestStartup::shippedSensorImages()
{
    QFETCH(int, sensor);
    CTestFolder folder;
    CZTAppConfig app;
    app.SetDefaultSensors();
    const QByteArray content =
        folder.ReadFile(QStringLiteral("ImgEEPROM/") + app.m_Sensors[sensor].strFileName);
    QCOMPARE(content.size(), CParamZT01::kImageSize);
    CParamZT01 image;
    std::memcpy(image.Image(), content.constData(), CParamZT01::kImageSize);
    QCOMPARE(app.FindSensor(image), sensor);
    const tagSTSENSORS& entry = app.m_Sensors[sensor];
    QVERIFY(image.fLowLimit >= entry.fMin && image.fLowLimit < image.fHighLimit &&
            image.fHighLimit <= entry.fMax);
    QCOMPARE(image.byColdJunction, quint8(entry.byType == 0 ? 1 : 0));
    QCOMPARE(image.fPeakBand, 0.0f);
    // The characteristic rises over the range.
    for (int i = 1; i < 40; ++i)
        QVERIFY(image.fSensorTable[2 * i + 1] > image.fSensorTable[2 * i - 1]);
    // Not any device's data: the device block is erased.
    for (int i = 0; i < 80; ++i)
        QCOMPARE(image.Image()[i], quint8(0xFF));
}

void TestStartup::shippedDemoImage()
{
    CTestFolder folder;
    const QByteArray content = folder.ReadFile(QStringLiteral("ImgEEPROM/demo.dat"));
    QCOMPARE(content.size(), CParamZT01::kImageSize);
    CParamZT01 image;
    std::memcpy(image.Image(), content.constData(), CParamZT01::kImageSize);
    QCOMPARE(image.bySensorType, quint8(0));
    QCOMPARE(image.bySensorCode, quint8(1));
    QVERIFY(!CParamZT01::IsUnset(image.fDacCalLow));
    QVERIFY(!CParamZT01::IsUnset(image.fDacCalHigh));
    QCOMPARE(image.fDacCalLow, 4.0123f);
    QCOMPARE(image.byOutRange, quint8(5));
    QCOMPARE(content, CTestFolder::Bytes(CSampleImages::DemoImage()));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
