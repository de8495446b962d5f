#include "cdevicefixture.h"
#include "csampleimages.h"

#include <QProcess>
#include <QTest>

#include <cstring>

using EFault = CSimDevice::EFault;
using ERequest = CSimDevice::ERequest;

namespace
{
// An image whose every byte differs from its neighbours, so a misplaced block shows.
CParamZT01 Pattern(quint8 bySeed)
{
    CParamZT01 image;
    for (int i = 0; i < CParamZT01::kImageSize; ++i)
        image.Image()[i] = quint8(i * 7 + bySeed);
    image.bySensorType = 1;
    image.bySensorCode = 1; // Pt 100: sensor index 3
    return image;
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
    void readImageRetriesEveryBlockOnce_data();
    void readImageRetriesEveryBlockOnce();
    void readImageFailsAtBlock_data();
    void readImageFailsAtBlock();
    void lateAndDoubledAnswers_data();
    void lateAndDoubledAnswers();
    void writeImage();
    void writeToleratesOneFailedExchange();
    void writeFailsOnTwoFailedExchanges();
    void writeRefused();
    void writeNeedsThePage();
    void refusalChangesTheSeeds();
    void simulatorProgram();
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

void TestTransactions::readImageRetriesEveryBlockOnce_data()
{
    // A silent or cut answer costs a read time-out and every retry a drained line, so these
    // run on some blocks only.
    QTest::addColumn<int>("fault");
    QTest::addColumn<QList<int>>("blocks");
    QTest::newRow("wrong check word, the first and last two blocks")
        << int(EFault::BadCheck) << QList<int>{0, 1, 62, 63};
    QTest::newRow("no answer") << int(EFault::NoAnswer) << QList<int>{0, 63};
    QTest::newRow("truncated answer") << int(EFault::Truncated) << QList<int>{1, 62};
}

void TestTransactions::readImageRetriesEveryBlockOnce()
{
    QFETCH(int, fault);
    QFETCH(QList<int>, blocks);
    CDeviceFixture f;
    f.SetDeviceImage(Pattern(5));
    for (int k : blocks)
        f.AddFault(f.Fault(EFault(fault), k, 1, ERequest::Read));
    QVERIFY(f.Connect());
    QVERIFY(f.m_app.ReadVersions());
    QVERIFY(f.m_app.ReadImage(f.m_app.m_ParamDevice));
    QCOMPARE(Bytes(f.m_app.m_ParamEdit), Bytes(Pattern(5)));
    QCOMPARE(f.Exchanges(), 1 + 64 + int(blocks.size()));
    // A wrong check word is a failed attempt, never a refusal: the versions stay.
    QCOMPARE(f.m_app.m_wVersion, quint16(0x1555));
    QVERIFY(f.m_messages.isEmpty());
}

void TestTransactions::readImageFailsAtBlock_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("received");
    using EReason = CFailure::EReason;
    QTest::newRow("no answer at block 0") << int(EFault::NoAnswer) << 0 << int(EReason::TimeOut) << 0;
    QTest::newRow("wrong check word at block 17")
        << int(EFault::BadCheck) << 17 << int(EReason::CheckWord) << 0;
    QTest::newRow("truncated at block 63") << int(EFault::Truncated) << 63 << int(EReason::TimeOut) << 26;
}

void TestTransactions::readImageFailsAtBlock()
{
    QFETCH(int, fault);
    QFETCH(int, block);
    QFETCH(int, reason);
    QFETCH(int, received);
    CDeviceFixture f;
    f.SetDeviceImage(Pattern(9));
    f.m_app.m_ParamDevice = Pattern(100);
    f.m_app.m_ParamEdit = Pattern(200);
    f.m_app.m_nSensor = 2;
    f.AddFault(f.Fault(EFault(fault), block, 2, ERequest::Read));
    QVERIFY(f.Connect());
    QVERIFY(f.m_app.ReadVersions());
    QVERIFY(!f.m_app.ReadImage(f.m_app.m_ParamDevice));
    // Blocks before the failed one are the device's; the rest keep their old bytes.
    QCOMPARE(Bytes(f.m_app.m_ParamDevice).left(8 * block), Bytes(Pattern(9)).left(8 * block));
    QCOMPARE(Bytes(f.m_app.m_ParamDevice).mid(8 * block), Bytes(Pattern(100)).mid(8 * block));
    QCOMPARE(Bytes(f.m_app.m_ParamEdit), Bytes(Pattern(200)));
    QCOMPARE(f.m_app.m_nSensor, 2);
    QCOMPARE(f.m_nPageFills, 0);
    QCOMPARE(f.m_progress.count("step"), block);
    QCOMPARE(f.m_progress.last(), QStringLiteral("closed"));
    QVERIFY(f.m_app.m_Port.m_bOpen);
    // The failure is kept as it happened: the step, the block, the reason.
    const CFailure& failure = f.m_app.m_Failure;
    QCOMPARE(failure.m_nStep, CFailure::EStep::Read);
    QCOMPARE(failure.m_nAddress, 8 * block);
    QCOMPARE(int(failure.m_nReason), reason);
    QCOMPARE(failure.m_nReceived, received);
}

void TestTransactions::lateAndDoubledAnswers_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("request");
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("delay");
    const int nRead = int(ERequest::Read), nWrite = int(ERequest::Write);
    // Later than the host waits: caught by the drained line after the time-out.
    QTest::newRow("read answer late") << int(EFault::Late) << nRead << 40 << 600;
    // Later still: it comes while the retry's answer is awaited, and the retry's own is drained.
    QTest::newRow("read answer later than the drain") << int(EFault::Late) << nRead << 40 << 700;
    // The copy comes after the next request: it names another block and is not taken.
    QTest::newRow("read answer twice") << int(EFault::Twice) << nRead << 10 << 30;
    QTest::newRow("read answer of the first block twice") << int(EFault::Twice) << nRead << 0 << 30;
    QTest::newRow("acknowledgement late") << int(EFault::Late) << nWrite << 20 << 600;
    QTest::newRow("acknowledgement later than the drain") << int(EFault::Late) << nWrite << 20 << 700;
}

void TestTransactions::lateAndDoubledAnswers()
{
    // A read returns the exact image or fails, never another block's data; a write leaves the
    // exact image in the unit.
    QFETCH(int, fault);
    QFETCH(int, request);
    QFETCH(int, block);
    QFETCH(int, delay);
    CDeviceFixture f;
    f.SetDeviceImage(Pattern(21));
    CSimDevice::SFault injected = f.Fault(EFault(fault), block, 1, ERequest(request));
    injected.nDelayMs = delay;
    f.AddFault(injected);
    QVERIFY(f.Connect());
    QVERIFY(f.m_app.ReadVersions());
    if (ERequest(request) == ERequest::Read)
    {
        CParamZT01 read = Pattern(99);
        if (f.m_app.ReadImage(read))
            QCOMPARE(Bytes(read), Bytes(Pattern(21)));
        else
            QCOMPARE(f.m_app.m_Failure.m_nStep, CFailure::EStep::Read);
        QVERIFY(f.m_app.ReadImage(read)); // and the line is clean for the next transaction
        QCOMPARE(Bytes(read), Bytes(Pattern(21)));
        return;
    }
    QVERIFY(f.m_app.WriteImage(Pattern(23)));
    QCOMPARE(Bytes(f.DeviceImage()), Bytes(Pattern(23)));
    CParamZT01 read;
    QVERIFY(f.m_app.ReadImage(read));
    QCOMPARE(Bytes(read), Bytes(Pattern(23)));
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

void TestTransactions::writeToleratesOneFailedExchange()
{
    CDeviceFixture f;
    f.AddFault(f.Fault(EFault::NoAnswer, 30, 1, ERequest::Write));
    QVERIFY(f.Connect());
    QVERIFY(f.m_app.ReadVersions());
    QVERIFY(f.m_app.WriteImage(Pattern(13)));
    QCOMPARE(Bytes(f.DeviceImage()), Bytes(Pattern(13)));
    QCOMPARE(f.Exchanges(), 1 + 65);
}

void TestTransactions::writeFailsOnTwoFailedExchanges()
{
    CDeviceFixture f;
    const CParamZT01 before = f.DeviceImage();
    f.AddFault(f.Fault(EFault::NoAnswer, 10, 1, ERequest::Write));
    f.AddFault(f.Fault(EFault::NoAnswer, 40, 1, ERequest::Write));
    QVERIFY(f.Connect());
    QVERIFY(f.m_app.ReadVersions());
    QVERIFY(!f.m_app.WriteImage(Pattern(15)));
    // The blocks acknowledged before the second failure are written, the rest are not.
    QCOMPARE(Bytes(f.DeviceImage()).left(8 * 40), Bytes(Pattern(15)).left(8 * 40));
    QCOMPARE(Bytes(f.DeviceImage()).mid(8 * 40), Bytes(before).mid(8 * 40));
    QCOMPARE(f.m_progress.count("step"), 40);
    QVERIFY(f.m_messages.isEmpty());
    QCOMPARE(f.m_app.m_wVersion, quint16(0x1555));
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

QTEST_GUILESS_MAIN(TestTransactions)
#include "tst_transactions.moc"
