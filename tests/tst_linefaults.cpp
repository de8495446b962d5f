#include "cdevicefixture.h"
#include "cwritesession.h"

#include <QTest>

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

// The device line at its worst: silent, cut, wrong, late or doubled answers, and the retries
// that must end in the exact image or an honest failure.
class TestLineFaults : public QObject
{
    Q_OBJECT

private slots:
    void readImageRetriesEveryBlockOnce_data();
    void readImageRetriesEveryBlockOnce();
    void readImageFailsAtBlock_data();
    void readImageFailsAtBlock();
    void lateAndDoubledAnswers_data();
    void lateAndDoubledAnswers();
    void writeToleratesOneFailedExchange();
    void writeFailsOnTwoFailedExchanges();
    void cutAtEveryBoundary_data();
    void cutAtEveryBoundary();
    void staleAnswerInTheDeviceBlock_data();
    void staleAnswerInTheDeviceBlock();
};

void TestLineFaults::readImageRetriesEveryBlockOnce_data()
{
    // A silent or cut answer costs a read time-out and every retry a drained line, so these
    // run on some blocks only.
    QTest::addColumn<int>("fault");
    QTest::addColumn<QList<int>>("blocks");
    QTest::newRow("wrong check word, the first and last two blocks")
        << int(EFault::BadCheck) << QList<int>{0, 1, 62, 63};
    QTest::newRow("no answer") << int(EFault::NoAnswer) << QList<int>{0, 63};
    QTest::newRow("truncated answer") << int(EFault::Truncated) << QList<int>{1, 62};
    QTest::newRow("another block's answer, the first and the last block")
        << int(EFault::OtherBlock) << QList<int>{0, 63};
}

void TestLineFaults::readImageRetriesEveryBlockOnce()
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

void TestLineFaults::readImageFailsAtBlock_data()
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
    // The first answer of all: nothing is known yet of how the unit answers.
    QTest::newRow("block 0 answered as block 8")
        << int(EFault::OtherBlock) << 0 << int(EReason::WrongBlock) << 0;
}

void TestLineFaults::readImageFailsAtBlock()
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

void TestLineFaults::lateAndDoubledAnswers_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("request");
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("delay");
    QTest::addColumn<bool>("bare");     // the unit's read answers do not name their block
    QTest::addColumn<bool>("nextLost"); // the next block's first request goes unanswered
    const int nRead = int(ERequest::Read), nWrite = int(ERequest::Write);
    // Later than the host waits: caught by the drained line after the time-out.
    QTest::newRow("read answer late") << int(EFault::Late) << nRead << 40 << 600 << false << false;
    // Later still: it comes while the retry's answer is awaited, and the retry's own is drained.
    // The copy comes after the next request: it names another block and is not taken.
    QTest::newRow("read answer twice") << int(EFault::Twice) << nRead << 10 << 30 << false << false;
    QTest::newRow("read answer of the first block twice")
        << int(EFault::Twice) << nRead << 0 << 30 << false << false;
    // A unit whose answers name no block: only the drained line keeps a late one from the next.
    QTest::newRow("bare unit, read answer late") << int(EFault::Late) << nRead << 40 << 600 << true << false;
    QTest::newRow("bare unit, read answer later than the drain")
        << int(EFault::Late) << nRead << 40 << 700 << true << false;
    QTest::newRow("bare unit, read answer late, the next one lost")
        << int(EFault::Late) << nRead << 40 << 600 << true << true;
    QTest::newRow("acknowledgement late") << int(EFault::Late) << nWrite << 20 << 600 << false << false;
    QTest::newRow("acknowledgement later than the drain")
        << int(EFault::Late) << nWrite << 20 << 700 << false << false;
    // Taken for the next block's, a late acknowledgement would let that block go unstored.
    QTest::newRow("acknowledgement late, the next block's lost")
        << int(EFault::Late) << nWrite << 20 << 600 << false << true;
}

void TestLineFaults::lateAndDoubledAnswers()
{
    // A read returns the exact image or fails, never another block's data; a write leaves the
    // exact image in the unit.
    QFETCH(int, fault);
    QFETCH(int, request);
    QFETCH(int, block);
    QFETCH(int, delay);
    QFETCH(bool, bare);
    QFETCH(bool, nextLost);
    CDeviceFixture f;
    f.SetDeviceImage(Pattern(21));
    f.m_sim.WithDevice([bare](CSimDevice& device) { device.SetBareAnswers(bare); });
    CSimDevice::SFault injected = f.Fault(EFault(fault), block, 1, ERequest(request));
    injected.nDelayMs = delay;
    f.AddFault(injected);
    if (nextLost)
        f.AddFault(f.Fault(EFault::NoAnswer, block + 1, 1, ERequest(request)));
    QVERIFY(f.Connect());
    QVERIFY(f.m_app.ReadVersions());
    if (ERequest(request) == ERequest::Read)
    {
        // One retry a block suffices when the line is drained of what came late.
        CParamZT01 read = Pattern(99);
        QVERIFY(f.m_app.ReadImage(read));
        QCOMPARE(Bytes(read), Bytes(Pattern(21)));
        QVERIFY(f.m_app.ReadImage(read)); // and the line is clean for the next transaction
        QCOMPARE(Bytes(read), Bytes(Pattern(21)));
        return;
    }
    if (f.m_app.WriteImage(Pattern(23)))
        QCOMPARE(Bytes(f.DeviceImage()), Bytes(Pattern(23)));
    CParamZT01 read;
    QVERIFY(f.m_app.ReadImage(read));
    QCOMPARE(Bytes(read), Bytes(f.DeviceImage()));
    if (!nextLost)
        QCOMPARE(Bytes(read), Bytes(Pattern(23)));
}

void TestLineFaults::writeToleratesOneFailedExchange()
{
    CDeviceFixture f;
    f.AddFault(f.Fault(EFault::NoAnswer, 30, 1, ERequest::Write));
    QVERIFY(f.Connect());
    QVERIFY(f.m_app.ReadVersions());
    QVERIFY(f.m_app.WriteImage(Pattern(13)));
    QCOMPARE(Bytes(f.DeviceImage()), Bytes(Pattern(13)));
    QCOMPARE(f.Exchanges(), 1 + 65);
}

void TestLineFaults::writeFailsOnTwoFailedExchanges()
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

void TestLineFaults::cutAtEveryBoundary_data()
{
    QTest::addColumn<int>("cut");            // the write block at which the line goes dead; -1 none
    QTest::addColumn<QList<int>>("changed"); // the blocks in which the new image differs
    QTest::addColumn<bool>("torn");          // the write ended after its first block, before its last
    QTest::addColumn<bool>("partial");       // the unit holds neither the old image nor the new
    QTest::addColumn<bool>("readBack");      // cut in the read-back instead, the write gone whole
    QTest::newRow("cut at block 0") << 0 << QList<int>{30} << false << false << false;
    QTest::newRow("cut at block 1, only block 0 taken") << 1 << QList<int>{11, 63} << true << false << false;
    QTest::newRow("cut at block 62, block 61 changed and taken")
        << 62 << QList<int>{61, 63} << true << true << false;
    QTest::newRow("cut at block 63, every change taken") << 63 << QList<int>{62} << true << false << false;
    // The cut block may be stored though unacknowledged: unknown which image the unit holds.
    QTest::newRow("cut at block 30, the only change in it") << 30 << QList<int>{30} << true << true << false;
    QTest::newRow("cut at block 63, the last block changed")
        << 63 << QList<int>{62, 63} << true << true << false;
    QTest::newRow("no cut") << -1 << QList<int>{63} << false << false << false;
    QTest::newRow("cut in the read-back, every block taken")
        << 10 << QList<int>{30} << false << false << true;
}

void TestLineFaults::cutAtEveryBoundary()
{
    // What a cut write leaves: new blocks before the cut, old ones from it on; torn where it ended
    // between its first and its last block, partial where that is neither image.
    QFETCH(int, cut);
    QFETCH(QList<int>, changed);
    QFETCH(bool, torn);
    QFETCH(bool, partial);
    QFETCH(bool, readBack);
    CDeviceFixture f;
    f.m_sim.WithDevice([](CSimDevice& device) { device.SetUnit(3); });
    const CParamZT01 old = f.DeviceImage();
    if (cut >= 0 && !readBack)
        f.AddFault(f.Fault(EFault::HangUp, cut, 1, ERequest::Write));
    CWriteSession session(f.m_app);
    QVERIFY(session.Connect(f.m_sim.SlavePath()));
    if (readBack)
        f.AddFault(f.Fault(EFault::HangUp, cut, 1, ERequest::Read));
    CParamZT01 image = old;
    for (int k : changed)
        image.Image()[8 * k + 3] ^= 0x5A;
    f.m_app.m_ParamEdit = image;
    CWriteSession::SRequest request;
    request.bRestore = true; // every byte as given, the device block kept
    request.bVerify = readBack;
    request.strBackupDir = f.m_folder.Path();
    QCOMPARE(session.Write(request), cut < 0);
    QCOMPARE(session.Torn(), torn);
    bool bPartial = false;
    const CParamZT01 held = session.Held(bPartial);
    QCOMPARE(bPartial, partial);
    CParamZT01 expected = image;
    if (cut >= 0 && !readBack)
        expected.CopyFrom(old, {{8 * cut, CParamZT01::kImageSize - 8 * cut}});
    QCOMPARE(Bytes(held), Bytes(expected));
    QCOMPARE(Bytes(f.DeviceImage()), Bytes(expected)); // and that is what the unit holds
}

void TestLineFaults::staleAnswerInTheDeviceBlock_data()
{
    QTest::addColumn<bool>("bare"); // the unit's answers carry no header naming their block
    QTest::addColumn<bool>("lie");  // block 0 is answered once with block 1's answer
    QTest::newRow("echoing unit, block 0 answered once as block 1") << false << true;
    QTest::newRow("bare unit, true answers") << true << false;
    QTest::newRow("bare unit, block 0 answered once with block 1's data") << true << true;
}

void TestLineFaults::staleAnswerInTheDeviceBlock()
{
    // What the write puts back of the device block, the factory calibration, is the unit's own:
    // where the answers could not show it, it is read again, and a difference writes nothing.
    QFETCH(bool, bare);
    QFETCH(bool, lie);
    CDeviceFixture f;
    f.m_sim.WithDevice(
        [&](CSimDevice& device)
        {
            device.SetUnit(5);
            device.SetBareAnswers(bare);
        });
    const CParamZT01 unit = f.DeviceImage();
    if (lie)
        f.AddFault(f.Fault(EFault::OtherBlock, 0, 1, ERequest::Read));
    CWriteSession session(f.m_app);
    QVERIFY(session.Connect(f.m_sim.SlavePath()));
    CWriteSession::SRequest request;
    request.strBackupDir = f.m_folder.Path();
    const int nBefore = f.Exchanges();
    const bool bWritten = session.Write(request);
    const bool bRefused = bare && lie;
    QCOMPARE(bWritten, !bRefused);
    QVERIFY(f.DeviceImage().SameIn(unit, CParamZT01::kDeviceBlock));
    // The device block's twelve blocks read again only where the answers did not name them.
    QCOMPARE(f.Exchanges() - nBefore, (bare ? 12 : 0) + (bRefused ? 0 : 64 + 64));
    if (bRefused)
    {
        QCOMPARE(session.Failure().m_nReason, CFailure::EReason::DeviceBlockDiffers);
        QCOMPARE(Bytes(f.DeviceImage()), Bytes(unit));
        QVERIFY(session.BackupPath().isEmpty()); // refused before anything else
    }
}

QTEST_GUILESS_MAIN(TestLineFaults)
#include "tst_linefaults.moc"
