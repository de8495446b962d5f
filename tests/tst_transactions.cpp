#include "cdevicefixture.h"
#include "cfailuretext.h"
#include "clinelog.h"
#include "cquicktry.h"
#include "csampleimages.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <cstring>

Q_DECLARE_METATYPE(CFailure)

using EFault = CSimDevice::EFault;
using ERequest = CSimDevice::ERequest;

namespace
{
CParamZT01 Pattern(quint8 bySeed)
{
    return CTestFolder::Pattern(bySeed);
}

QByteArray Bytes(const CParamZT01& image)
{
    return CTestFolder::Bytes(image);
}
} // namespace

class TestTransactions : public QObject
{
    Q_OBJECT

private slots:
    void readVersions();
    void readVersionsOnClosedPort();
    void readVersionsDemo();
    void readImage();
    void writeImage();
    void writeRefused();
    void writeNeedsThePage();
    void refusalChangesTheSeeds();
    void failureWords_data();
    void failureWords();
    void echoingLine_data();
    void echoingLine();
    void simulatorProgram();
    void simulatorLink();
    void exclusiveModeEndsWithItsProgram();
};

void TestTransactions::readVersions()
{
    CDeviceFixture f;
    f.m_sim.WithDevice([](CSimDevice& device) { device.SetVersions(0x0123, 0x0008); });
    QVERIFY(f.Connect());
    QVERIFY(f.m_app.ReadVersions());
    QCOMPARE(f.m_app.m_wVersion, quint16(0x0123));
    QCOMPARE(f.m_app.m_wBootVersion, quint16(0x0008));
    QCOMPARE(f.m_progress, QStringList({"text Чтение версий прибора и загрузчика...", "range 0 100",
                                        "stepsize 1", "pos 0", "pos 10", "pos 40", "pos 100", "closed"}));
    QVERIFY(f.m_messages.isEmpty());
    QVERIFY(f.m_app.m_Port.m_bOpen); // the transactions leave the port open
}

void TestTransactions::readVersionsOnClosedPort()
{
    CDeviceFixture f;
    f.m_app.m_wVersion = 0x1111;
    f.m_app.m_wBootVersion = 0x2222;
    QVERIFY(!f.m_app.ReadVersions());
    QCOMPARE(f.m_app.m_wVersion, quint16(0x1111));
    QCOMPARE(f.m_app.m_wBootVersion, quint16(0x2222));
    QCOMPARE(f.m_progress.mid(f.m_progress.size() - 2), QStringList({"pos 100", "closed"}));
    QVERIFY(!f.m_progress.contains("pos 40"));
    // A silent device fails the same way.
    f.AddFault(f.Fault(EFault::NoAnswer));
    QVERIFY(f.Connect());
    QVERIFY(!f.m_app.ReadVersions());
    QCOMPARE(f.m_app.m_wVersion, quint16(0x1111));
}

void TestTransactions::readVersionsDemo()
{
    CDeviceFixture f;
    f.m_app.m_Port.m_bDemo = true;
    QVERIFY(f.m_app.m_Port.Open("ttyS0"));
    QVERIFY(f.m_app.ReadVersions());
    QCOMPARE(f.m_app.m_wVersion, quint16(0x1555));
    QCOMPARE(f.m_app.m_wBootVersion, quint16(0x0008));
}

void TestTransactions::readImage()
{
    CDeviceFixture f;
    f.SetDeviceImage(Pattern(3));
    QVERIFY(f.Connect());
    QVERIFY(f.m_app.ReadVersions());
    QVERIFY(f.m_app.ReadImage(f.m_app.m_ParamDevice));
    QCOMPARE(Bytes(f.m_app.m_ParamDevice), Bytes(Pattern(3)));
    QCOMPARE(Bytes(f.m_app.m_ParamEdit), Bytes(f.m_app.m_ParamDevice));
    QCOMPARE(f.m_app.m_nSensor, 3);
    QCOMPARE(f.m_nPageFills, 1);
    QCOMPARE(f.m_progress.count("step"), 64);
    QVERIFY(f.m_progress.contains("text Чтение образа EEPROM прибора..."));
    QVERIFY(f.m_progress.contains("range 0 64"));
    QCOMPARE(f.m_progress.last(), QStringLiteral("closed"));
    QCOMPARE(f.Exchanges(), 65);
}

void TestTransactions::writeImage()
{
    CDeviceFixture f;
    QVERIFY(f.Connect());
    QVERIFY(f.m_app.ReadVersions());
    const CParamZT01 source = Pattern(11);
    const CParamZT01 device = f.m_app.m_ParamDevice;
    QVERIFY(f.m_app.WriteImage(source));
    QCOMPARE(Bytes(f.DeviceImage()), Bytes(source));
    QCOMPARE(f.m_nPageStores, 1);
    QCOMPARE(f.m_progress.count("step"), 64);
    QVERIFY(f.m_progress.contains("text Запись образа EEPROM прибора..."));
    QCOMPARE(Bytes(f.m_app.m_ParamDevice), Bytes(device)); // a write leaves the record alone
    QVERIFY(f.m_messages.isEmpty());
}

void TestTransactions::writeRefused()
{
    CDeviceFixture f;
    f.m_sim.WithDevice([](CSimDevice& device) { device.SetRefusalVersions(0x1234, 0x0009); });
    f.AddFault(f.Fault(EFault::Refusal, 5, 1, ERequest::Write));
    QVERIFY(f.Connect());
    QVERIFY(f.m_app.ReadVersions());
    QVERIFY(!f.m_app.WriteImage(Pattern(17)));
    QCOMPARE(f.m_app.m_wVersion, quint16(0x1234));
    QCOMPARE(f.m_app.m_wBootVersion, quint16(0x0009));
    QCOMPARE(f.m_messages.size(), 1);
    QCOMPARE(f.m_messages[0].strText,
             QStringLiteral("Ошибка записи параметров!\nВерсия прибора: 0x1234. Версия загрузчика:0x 0009."));
    QCOMPARE(f.m_messages[0].strCaption, QStringLiteral("Конфигуратор ЗИНТ-9"));
    QCOMPARE(f.m_messages[0].nIcon, EMsgIcon::Stop);
    // Not retried: the refused block was the last exchange.
    QCOMPARE(f.Exchanges(), 1 + 6);
    QCOMPARE(f.m_progress.count("step"), 5);
    QCOMPARE(f.m_progress.last(), QStringLiteral("closed"));
}

void TestTransactions::writeNeedsThePage()
{
    CDeviceFixture f;
    QVERIFY(f.Connect());
    QVERIFY(f.m_app.ReadVersions());
    f.m_bPageAccepts = false;
    const CParamZT01 before = f.DeviceImage();
    QVERIFY(!f.m_app.WriteImage(Pattern(19)));
    QCOMPARE(f.Exchanges(), 1); // nothing sent
    f.m_app.m_Hooks.m_pfnPageExchange = nullptr;
    QVERIFY(!f.m_app.WriteImage(Pattern(19)));
    QCOMPARE(f.Exchanges(), 1);
    QCOMPARE(Bytes(f.DeviceImage()), Bytes(before));
    QCOMPARE(f.m_progress.count("closed"), 3);
}

void TestTransactions::refusalChangesTheSeeds()
{
    // After a refusal the next requests are sealed with the refusal's versions, which this
    // device does not accept; reading the versions again mends it.
    CDeviceFixture f;
    f.m_sim.WithDevice([](CSimDevice& device) { device.SetRefusalVersions(0x4321, 0x0001); });
    f.AddFault(f.Fault(EFault::Refusal, 0, 1, ERequest::Write));
    QVERIFY(f.Connect());
    QVERIFY(f.m_app.ReadVersions());
    QVERIFY(!f.m_app.WriteImage(Pattern(21)));
    QVERIFY(!f.m_app.ReadImage(f.m_app.m_ParamDevice));
    QVERIFY(f.m_app.ReadVersions());
    QVERIFY(f.m_app.ReadImage(f.m_app.m_ParamDevice));
}

void TestTransactions::failureWords_data()
{
    // The words both front ends show after «Причина: » and in the wizard's details, and the key
    // of the step the record keeps.
    using EStep = CFailure::EStep;
    using EReason = CFailure::EReason;
    QTest::addColumn<CFailure>("failure");
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("key");
    CFailure failure = CFailure::At(EStep::Values, EReason::Rules);
    failure.m_strDetail = "Значение выхода ЦАП при аварии\n должно быть не более 24";
    QTest::newRow("values") << failure << "проверка значений: " + failure.m_strDetail << "values";
    failure = CFailure::At(EStep::Open, EReason::PortOpen);
    QTest::newRow("open, no reason known") << failure << "открытие порта: порт не открыт"
                                           << "open";
    failure = CFailure::At(EStep::Versions, EReason::NotSent);
    QTest::newRow("versions not sent") << failure << "чтение версий: запрос не отправлен"
                                       << "versions";
    failure = CFailure::FileError(EStep::Backup, "/full/b.bin", "No space left on device");
    QTest::newRow("backup") << failure << "резервная копия: /full/b.bin: No space left on device"
                            << "backup";
    failure = CFailure::At(EStep::Write, EReason::Refused, 0x40);
    failure.m_wVersion = 0x1234;
    failure.m_wBootVersion = 0x0009;
    QTest::newRow("refused")
        << failure << "запись, блок 0x0040: прибор отказал, версия прибора 0x1234, версия загрузчика 0x0009"
        << "write";
    failure = CFailure::At(EStep::Read, EReason::WrongBlock, 0);
    failure.m_nAnswerAddress = 8;
    QTest::newRow("another block's answer")
        << failure << "чтение образа, блок 0x0000: ответ относится к блоку 0x0008"
        << "read";
    failure = CFailure::At(EStep::Verify, EReason::Mismatch, 0x70);
    failure.m_byHave = 1;
    QTest::newRow("mismatch") << failure << "сверка: адрес 112 (0x070) содержит 0x01 вместо 0x00"
                              << "verify";
    QTest::newRow("port lost") << CFailure::At(EStep::Write, EReason::PortLost, 0xa0)
                               << "запись, блок 0x00a0: порт пропал (адаптер отключён?)"
                               << "write";
    QTest::newRow("page refused") << CFailure::At(EStep::Write, EReason::PageRefused)
                                  << "запись: страница параметров не приняла значения"
                                  << "write";
    failure = CFailure::At(EStep::Read, EReason::OtherUnit);
    QTest::newRow("another unit")
        << failure
        << "чтение образа: к порту подключён другой прибор (его блок прибора не тот, что был "
           "прочитан)"
        << "read";
    QTest::newRow("device block differs") << CFailure::At(EStep::Read, EReason::DeviceBlockDiffers)
                                          << "чтение образа: блок прибора, прочитанный снова, не совпадает с "
                                             "прочитанным при подключении (ответ мог "
                                             "относиться к другому блоку): запись не выполнена"
                                          << "read";
    failure = CFailure::FileError(EStep::File, QString(), "файл короче образа");
    QTest::newRow("image file") << failure << "файл образа: файл короче образа"
                                << "read";
}

void TestTransactions::failureWords()
{
    QFETCH(CFailure, failure);
    QFETCH(QString, words);
    QFETCH(QString, key);
    QCOMPARE(CFailureText::Describe(failure), words);
    QCOMPARE(CFailureText::StepKey(failure.m_nStep), key);
    // The record's key back to the words of its step (an image file's is a read's); an unknown
    // key as it stands.
    if (failure.m_nStep != CFailure::EStep::File)
        QVERIFY(words.startsWith(CFailureText::StepOfKey(key)));
    QCOMPARE(CFailureText::StepOfKey("nosuch"), QStringLiteral("nosuch"));
}

void TestTransactions::echoingLine_data()
{
    QTest::addColumn<bool>("unitAnswers"); // false: a loopback plug, nothing but the echo comes back
    QTest::newRow("adapter with local echo") << true;
    QTest::newRow("loopback plug") << false;
}

void TestTransactions::echoingLine()
{
    QFETCH(bool, unitAnswers);
    CDeviceFixture f;
    f.SetDeviceImage(Pattern(5));
    f.AddFault(f.Fault(EFault::Echo, -1, -1));
    if (!unitAnswers)
        f.AddFault(f.Fault(EFault::NoAnswer, -1, -1));
    CTestFolder logFolder;
    QString strError;
    QVERIFY2(CLineLog::Start(logFolder.FilePath("line.log"), strError), qPrintable(strError));
    QVERIFY(f.Connect());
    const bool bVersions = f.m_app.ReadVersions();
    if (!unitAnswers)
    {
        // The request itself is never taken for versions, and the failure says what the line did.
        QVERIFY(!bVersions);
        QCOMPARE(CFailureText::Describe(f.m_app.m_Failure),
                 QStringLiteral("чтение версий: линия возвращает запрос: эхо адаптера, прибор не отвечает"));
        QVERIFY(CLineLog::Stop());
        return;
    }
    QVERIFY(bVersions);
    QCOMPARE(f.m_app.m_wVersion, quint16(0x1555));
    QCOMPARE(f.m_app.m_wBootVersion, quint16(0x0008));
    QVERIFY(f.m_app.ReadImage(f.m_app.m_ParamDevice));
    QCOMPARE(Bytes(f.m_app.m_ParamDevice), Bytes(Pattern(5)));
    QVERIFY(f.m_app.WriteImage(Pattern(6)));
    QCOMPARE(Bytes(f.DeviceImage()), Bytes(Pattern(6)));
    QCOMPARE(f.Exchanges(), 1 + 64 + 64); // no request was sent twice
    QVERIFY(CLineLog::Stop());
    // Said once in the traffic log, not at every request.
    const QString strLog = QString::fromUtf8(logFolder.ReadFile("line.log"));
    QCOMPARE(strLog.count("echoes dropped"), 1);
}

void TestTransactions::simulatorProgram()
{
    CTestFolder folder;
    const QString strEeprom = folder.FilePath("eeprom.bin");
    QProcess sim;
    sim.start(QCoreApplication::applicationDirPath() + "/zint9-sim",
              {"--eeprom", strEeprom, "--device-version", "0x0102", "--boot-version", "3", "--fault",
               "refusal:on=write:block=1"});
    QVERIFY(sim.waitForStarted());
    QVERIFY(sim.waitForReadyRead(5000));
    const QString strPath = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QVERIFY(strPath.startsWith('/'));
    // A missing EEPROM file starts with the sample image.
    QCOMPARE(folder.ReadFile("eeprom.bin"), Bytes(CSampleImages::DemoImage()));

    CZTAppDevice app;
    app.m_Hooks.m_pfnPageExchange = [](bool) { return true; };
    QVERIFY(app.m_Port.Open(strPath));
    QVERIFY(app.ReadVersions());
    QCOMPARE(app.m_wVersion, quint16(0x0102));
    QCOMPARE(app.m_wBootVersion, quint16(0x0003));
    QVERIFY(app.ReadImage(app.m_ParamDevice));
    QVERIFY(!app.WriteImage(Pattern(23)));
    // Block 0 was stored in the file before block 1 was refused.
    QCOMPARE(folder.ReadFile("eeprom.bin").left(8), Bytes(Pattern(23)).left(8));
    QCOMPARE(folder.ReadFile("eeprom.bin").mid(8), Bytes(CSampleImages::DemoImage()).mid(8));
    app.m_Port.Close();
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);

    QProcess bad;
    bad.start(QCoreApplication::applicationDirPath() + "/zint9-sim", {"--fault", "meltdown"});
    QVERIFY(bad.waitForFinished(5000));
    QCOMPARE(bad.exitCode(), 1);
    QVERIFY(bad.readAllStandardError().contains("unknown fault 'meltdown'"));
}

void TestTransactions::simulatorLink()
{
    // Hung up, the simulator takes its link away at once: the freed terminal goes to the next
    // program that asks, and a station must not reach a stranger through it. A link that leads
    // elsewhere by then is another's, and stays.
    CTestFolder folder;
    const QString strLink = folder.FilePath("ttyUSB-sim");
    for (const bool bReplaced : {false, true})
    {
        QProcess sim;
        sim.start(QCoreApplication::applicationDirPath() + "/zint9-sim",
                  {"--link", strLink, "--fault", "hang-up:on=versions"});
        QVERIFY(sim.waitForStarted() && sim.waitForReadyRead(5000));
        const QString strSlave = QString::fromLocal8Bit(sim.readLine()).trimmed();
        QCOMPARE(QFileInfo(strLink).symLinkTarget(), strSlave);
        if (bReplaced)
        {
            QVERIFY(QFile::remove(strLink) && QFile::link(folder.FilePath("elsewhere"), strLink));
            sim.terminate();
            QVERIFY(sim.waitForFinished(5000));
            QVERIFY(QFileInfo(strLink).isSymLink());
            QVERIFY(QFile::remove(strLink));
            continue;
        }
        CZTAppDevice app;
        QVERIFY(app.m_Port.Open(strLink));
        QVERIFY(!app.ReadVersions());
        QTRY_VERIFY(!QFileInfo(strLink).isSymLink());
        QVERIFY(sim.state() == QProcess::Running); // the simulator itself goes on
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
    }
}

void TestTransactions::exclusiveModeEndsWithItsProgram()
{
    // A program that set the terminal exclusive and held its lock, killed: as on a real port, the
    // exclusive mode ends with it.
    CSimulator sim;
    QVERIFY(sim.Start());
    QProcess holder;
    holder.start("python3", {"-c",
                             "import fcntl, os, sys, termios, time\n"
                             "fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)\n"
                             "fcntl.ioctl(fd, termios.TIOCEXCL)\n"
                             "fcntl.flock(fd, fcntl.LOCK_EX)\n"
                             "print('held', flush=True)\n"
                             "time.sleep(60)\n",
                             sim.SlavePath()});
    if (!holder.waitForStarted())
        QSKIP("python3 is not here");
    QVERIFY(holder.waitForReadyRead(5000));
    auto exclusive = [&]
    {
        CPseudoTerminal::SLineSettings settings;
        return sim.LineSettings(settings) && settings.bExclusive;
    };
    QVERIFY(exclusive());
    holder.kill();
    QVERIFY(holder.waitForFinished(5000));
    QTRY_VERIFY(!exclusive());
}

QTEST_GUILESS_MAIN(TestTransactions)
#include "tst_transactions.moc"
