#include "cfulldisk.h"
#include "cinterrupt.h"
#include "cpoppler.h"
#include "cprocesstree.h"
#include "cpseudoterminal.h"
#include "cquicktry.h"
#include "csimulator.h"
#include "ctestfolder.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <functional>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using EFault = CSimDevice::EFault;

// Several devices configured by one zint9 run, and a station that takes one device after another.
class TestBatch : public QObject
{
    Q_OBJECT

private:
    // The zint9 program; its workers are started from the same file.
    static QString Program() { return QCoreApplication::applicationDirPath() + QStringLiteral("/zint9"); }
    int Run(const QStringList& arguments)
    {
        QProcess process;
        process.start(Program(), arguments);
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        m_strOut = QString::fromUtf8(process.readAllStandardOutput());
        m_strErr = QString::fromUtf8(process.readAllStandardError());
        return process.exitCode();
    }
    static float LowLimit(CSimulator& sim)
    {
        return sim.WithDevice([](CSimDevice& device) { return float(device.Image().fLowLimit); });
    }
    QStringList ReportLines() const
    {
        QFile file(m_pFolder->FilePath("report.csv"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    QStringList Backups() const { return QDir(m_pFolder->FilePath("backups")).entryList(QDir::Files); }
    // The first 20 blocks' acknowledgements a little late: the write lasts a while.
    // Late acknowledgements from the fourth written block on (exchange 68), so that a test that
    // waits for Exchanges() > 70 acts while the write is still under way.
    static void SlowWrite(CSimulator& sim, int nDelayMs = 30, int nCount = 10, int nFrom = 68)
    {
        CSimDevice::SFault slow;
        slow.nKind = EFault::Late;
        slow.nOn = CSimDevice::ERequest::Write;
        slow.nFromExchange = nFrom;
        slow.nCount = nCount;
        slow.nDelayMs = nDelayMs;
        sim.WithDevice([&](CSimDevice& device) { device.AddFault(slow); });
    }
    static int Exchanges(CSimulator& sim)
    {
        return sim.WithDevice([](CSimDevice& device) { return device.Exchanges(); });
    }
    static QByteArray Held(CSimulator& sim)
    {
        return CTestFolder::Bytes(sim.WithDevice([](CSimDevice& device) { return device.Image(); }));
    }
    // A device block of erased bytes: the unit has no fingerprint, and only its entry names it.
    static void Erase(CSimulator& sim)
    {
        sim.WithDevice(
            [](CSimDevice& device)
            {
                CParamZT01 image = device.Image();
                for (const CParamZT01::SRange& range : CParamZT01::kDeviceBlock)
                    std::fill_n(image.Image() + range.nOffset, range.nSize, quint8(0xFF));
                device.SetImage(image);
            });
    }
    // The restore commands the way back names for strPort, as printed.
    static QStringList RestoreCommands(const QByteArray& err, const QString& strPort)
    {
        QStringList commands;
        const QRegularExpression line("^" + QRegularExpression::escape(strPort) +
                                          ": zint9: Вернуть прежний образ: (zint9 restore .*)$",
                                      QRegularExpression::MultilineOption);
        for (auto match = line.globalMatch(QString::fromUtf8(err)); match.hasNext();)
            commands << match.next().captured(1);
        return commands;
    }
    // A command as an operator pastes it into a shell, the zint9 of this build found on the PATH,
    // in an environment whose record is not the run's.
    int RunPasted(const QString& strCommand)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH", QCoreApplication::applicationDirPath() + ':' + environment.value("PATH"));
        environment.insert("XDG_DATA_HOME", m_pFolder->FilePath("data")); // its backup stays here
        QProcess shell;
        shell.setProcessEnvironment(environment);
        shell.start("/bin/sh", {"-c", strCommand});
        if (!shell.waitForFinished(60000) || shell.exitStatus() != QProcess::NormalExit)
            return -1;
        m_strErr = QString::fromUtf8(shell.readAllStandardError());
        return shell.exitCode();
    }
    // The station's only worker, killed as a crash would end it.
    static bool KillWorker(const QProcess& station)
    {
        const QList<qint64> workers = CProcessTree::Children(station.processId(), "zint9-worker");
        return workers.size() == 1 && CProcessTree::Kill(workers[0]);
    }
    // Ctrl+C to a station; its exit status once it has ended, with the rest of its stderr in err.
    static int StopStation(QProcess& station, QByteArray& err)
    {
        if (!CInterrupt::SendToGroup(station.processId()) || !station.waitForFinished(30000))
            return -1;
        err += station.readAllStandardError();
        return station.exitCode();
    }
    // The results of a --json summary.
    static QStringList Outcomes(const QByteArray& json)
    {
        QStringList outcomes;
        for (const QJsonValue& result : QJsonDocument::fromJson(json).array())
            outcomes << result["result"].toString();
        return outcomes;
    }
    // The one way back printed for strPort, pasted, puts back the image the unit held before.
    void RestoresAsPrinted(const QByteArray& err, const QString& strPort, CSimulator& sim,
                           const QByteArray& before)
    {
        const QStringList commands = RestoreCommands(err, strPort);
        QCOMPARE(commands.size(), 1);
        const qsizetype nBackups = Backups().size();
        QVERIFY2(RunPasted(commands[0]) == 0, qPrintable(commands[0] + '\n' + m_strErr));
        QCOMPARE(Held(sim), before);
        QCOMPARE(Backups().size(), nBackups + 1); // the restore's own backup beside the run's
    }
    // A unit cut mid-write by its worker's death: the next worker waits until it is gone,
    // probing it and writing nothing.
    void LeftAsCut(CSimulator& sim, const std::function<bool(const QByteArray&)>& said)
    {
        QTRY_VERIFY_WITH_TIMEOUT(said("ждёт отключения прибора"), 30000);
        const int nExchanges = Exchanges(sim);
        QTRY_VERIFY_WITH_TIMEOUT(Exchanges(sim) > nExchanges, 30000); // the line is past the cut write
        const QByteArray torn = Held(sim);
        QTRY_VERIFY_WITH_TIMEOUT(Exchanges(sim) > nExchanges + 3, 30000);
        QCOMPARE(Held(sim), torn);
        QCOMPARE(Backups().size(), 1);
    }
    // Drains what a program has shown on the terminal into seen; whether it holds strText.
    static bool Shown(CPseudoTerminal& terminal, QByteArray& seen, const QByteArray& strText)
    {
        char buffer[4096];
        for (int n = terminal.Read(buffer, sizeof buffer, 0); n > 0;
             n = terminal.Read(buffer, sizeof buffer, 0))
            seen.append(buffer, n);
        return seen.contains(strText);
    }

    std::unique_ptr<CTestFolder> m_pFolder;
    QString m_strOut;
    QString m_strErr;

private slots:
    void init()
    {
        m_pFolder = std::make_unique<CTestFolder>();
        // A record of each test's own, for the zint9 processes it starts.
        qputenv("ZINT9_RECORD", ("sqlite:" + m_pFolder->FilePath("record.sqlite")).toUtf8());
    }
    void oneFailingAmongSeveral_data();
    void oneFailingAmongSeveral();
    void refusedBeforeAnyPort();
    void stationRepeats();
    void oneDeviceUnderTwoNames();
    void oneFingerprintOnTwoPorts();
    void parentGoesAway_data();
    void parentGoesAway();
    void secondInterrupt_data();
    void secondInterrupt();
    void workerDiesAtAStation_data();
    void workerDiesAtAStation();
    void portGivenUp_data();
    void portGivenUp();
    void portsNotThereYet();
    void workerCannotStart();
    void workersGetNoPassword();
    void reportOnAFullDisk();
    void traceOnAFullDisk();
    void onATerminal_data();
    void onATerminal();
    void serialsAtAStation_data();
    void serialsAtAStation();
    void serialsFromATerminal();
};

void TestBatch::oneFailingAmongSeveral_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("request");
    QTest::addColumn<bool>("versions");
    QTest::newRow("write refused") << int(EFault::Refusal) << int(CSimDevice::ERequest::Write) << true;
    QTest::newRow("silent") << int(EFault::NoAnswer) << int(CSimDevice::ERequest::Versions) << false;
}

void TestBatch::oneFailingAmongSeveral()
{
    QFETCH(int, fault);
    QFETCH(int, request);
    QFETCH(bool, versions);
    CSimulator sims[3];
    for (CSimulator& sim : sims)
        QVERIFY(sim.Start());
    sims[1].WithDevice([&](CSimDevice& device)
                       { device.AddLastingFault(EFault(fault), CSimDevice::ERequest(request)); });
    const QStringList common = {"set",
                                "--low",
                                "10",
                                "--backup-dir",
                                m_pFolder->FilePath("backups"),
                                "--report",
                                m_pFolder->FilePath("report.csv"),
                                "--quiet"};
    QCOMPARE(Run(common + QStringList{"--port", sims[0].SlavePath(), "--ports",
                                      sims[1].SlavePath() + ',' + sims[2].SlavePath()}),
             1);
    QCOMPARE(LowLimit(sims[0]), 10.0f);
    QCOMPARE(LowLimit(sims[1]), 0.0f);
    QCOMPARE(LowLimit(sims[2]), 10.0f);
    // The summary: a header and one row a port, in the order given.
    const QStringList rows = m_strOut.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 4);
    QVERIFY2(rows[0].startsWith("Порт"), qPrintable(m_strOut));
    QVERIFY(rows[1].startsWith(sims[0].SlavePath()) && rows[1].contains("1555/0008  успех"));
    for (const QString& strRow : rows) // a station's terminal holds it
        QVERIFY2(strRow.size() <= 120, qPrintable(strRow));
    QVERIFY2(rows[2].startsWith(sims[1].SlavePath()) && rows[2].contains(versions ? "отклонено" : "ошибка"),
             qPrintable(m_strOut));
    QVERIFY(rows[3].contains("успех"));
    QVERIFY(m_strErr.contains(sims[0].SlavePath() + ": Новые настройки записаны в прибор."));
    // Every line a port prints begins with its name, the continuation lines of a message too.
    for (const QString& strLine : m_strErr.split('\n', Qt::SkipEmptyParts))
        QVERIFY2(std::any_of(std::begin(sims), std::end(sims),
                             [&](CSimulator& sim) { return strLine.startsWith(sim.SlavePath() + ": "); }),
                 qPrintable(strLine));
    // Backups of the devices that were read, none overwriting another though made at once.
    QCOMPARE(Backups().size(), versions ? 3 : 2);

    // Unverified, a write is never "done".
    QCOMPARE(Run(common + QStringList{"--json", "--no-verify", "--port", sims[1].SlavePath(), "--port",
                                      sims[2].SlavePath()}),
             1);
    const QJsonArray results = QJsonDocument::fromJson(m_strOut.toUtf8()).array();
    QCOMPARE(results.size(), 2);
    QCOMPARE(results[0]["port"].toString(), sims[1].SlavePath());
    // A unit's refusal is named so in every output, as in the record.
    const QString strFailed = versions ? "refused" : "failed";
    QCOMPARE(results[0]["result"].toString(), strFailed);
    // Its reason, as stderr and the record have it.
    QCOMPARE(results[0]["reasonKey"].toString(),
             versions ? QStringLiteral("refused") : QStringLiteral("timeout"));
    QVERIFY2(m_strErr.contains(results[0]["reason"].toString()) && !results[0]["reason"].toString().isEmpty(),
             qPrintable(m_strErr));
    QCOMPARE(results[0]["version"].isNull(), !versions);
    QCOMPARE(results[0]["backup"].isNull(), !versions);
    QCOMPARE(results[1]["result"].toString(), QStringLiteral("unverified"));
    QVERIFY(results[1]["verified"].isNull());
    QCOMPARE(results[1]["version"].toString(), QStringLiteral("0x1555"));
    QCOMPARE(results[1]["lowLimit"].toDouble(), 10.0);
    QCOMPARE(results[1]["dacCalibration"]["high"].toDouble(), 19.987);
    QVERIFY(QFile::exists(results[1]["backup"].toString()));

    // The record: a header once, then a line a device of both runs.
    const QStringList report = ReportLines();
    QCOMPARE(report.size(), 1 + 3 + 2);
    QCOMPARE(report[0],
             "time,port,version,bootVersion,sensor,lowLimit,highLimit,unit,dacLow,dacHigh,result,"
             "backup,fingerprint,serial,station,operator,start,duration,sourceHash,verified,reason,"
             "partial,step,reasonKey,ambiguous,failOutput,coldJunction,peakBand,filterTime");
    const QStringList ok = report.filter(",done,");
    QCOMPARE(ok.size(), 2);
    QCOMPARE(report.filter(",unverified,").size(), 1);
    const QStringList failed = report.filter("," + strFailed + ",");
    QCOMPARE(failed.size(), 2);
    QVERIFY2(ok[0].contains(",Термопара ТХА (K),10,1000,°C,4.0123,19.987,"), qPrintable(ok[0]));
    // Verified, no reason, whole (then whether ambiguous as far as known by then: the simulated
    // units share one device block).
    QVERIFY2(ok[0].contains(",true,,false,,,"), qPrintable(ok[0]));
    // A failed unit's row shows what it holds, not what was meant for it.
    for (const QString& strRow : failed)
    {
        QVERIFY2(strRow.contains(versions ? ",Термопара ТХА (K),0,1000,°C," : ",,,,,,,failed,"),
                 qPrintable(strRow));
        // With its reason, in words and as a key.
        QVERIFY2(strRow.contains(versions ? ",write,refused," : ",versions,timeout,"), qPrintable(strRow));
    }
}

void TestBatch::refusedBeforeAnyPort()
{
    CSimulator sims[2];
    for (CSimulator& sim : sims)
        QVERIFY(sim.Start());
    const QStringList ports = {"--port",       sims[0].SlavePath(),           "--port", sims[1].SlavePath(),
                               "--backup-dir", m_pFolder->FilePath("backups")};
    QCOMPARE(Run(QStringList{"set", "--filter", "61"} + ports), 3);
    QVERIFY2(m_strErr.contains("между 0 и 60 секунд"), qPrintable(m_strErr));
    QCOMPARE(Run(QStringList{"set", "--sensor", "0", "--low", "-300"} + ports), 3);
    QCOMPARE(Run(QStringList{"set", "--sensor", "Pt 1000"} + ports), 2);
    QCOMPARE(Run(QStringList{"set", "--port", sims[0].SlavePath(), "--port", sims[0].SlavePath()}), 2);
    QVERIFY(Backups().isEmpty()); // no port was touched
    QVERIFY(m_strOut.isEmpty());
}

void TestBatch::stationRepeats()
{
    // A station of two ports: units come and go on each.
    const QString strLinks[2] = {m_pFolder->FilePath("station"), m_pFolder->FilePath("station2")};
    auto plugIn = [&](CSimulator& sim, int nLink)
    { return sim.Start() && QFile::link(sim.SlavePath(), strLinks[nLink]); };
    auto first = std::make_unique<CSimulator>();
    QVERIFY(plugIn(*first, 0));
    QProcess station;
    CInterrupt::NewGroup(station);
    QVERIFY(QDir(m_pFolder->Path()).mkdir("traces"));
    station.start(Program(), {"set", "--low", "10", "--port", strLinks[0], "--port", strLinks[1], "--repeat",
                              "--json", "--backup-dir", m_pFolder->FilePath("backups"), "--report",
                              m_pFolder->FilePath("report.csv"), "--trace", m_pFolder->FilePath("traces")});
    QVERIFY(station.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(ReportLines().size(), 2, 60000);
    QCOMPARE(LowLimit(*first), 10.0f);
    const CParamZT01 configured = first->WithDevice([](CSimDevice& device) { return device.Image(); });
    QByteArray err;
    // Unplugged; the station says when it has seen the line silent and waits for the next device.
    auto unplug = [&](std::unique_ptr<CSimulator>& pSim, int nLink, int nWaits)
    {
        // The name first: the terminal freed may at once be a parallel test's.
        QFile::remove(strLinks[nLink]);
        pSim.reset();
        QTRY_VERIFY_WITH_TIMEOUT(
            (err += station.readAllStandardError()).count(strLinks[nLink].toUtf8() + ": ждёт прибор") ==
                nWaits,
            30000);
    };
    unplug(first, 0, 2);
    // The same unit put on the other port is known by what it holds: not written a second time.
    auto again = std::make_unique<CSimulator>();
    again->WithDevice([&](CSimDevice& device) { device.SetImage(configured); });
    QVERIFY(plugIn(*again, 1));
    QTRY_COMPARE_WITH_TIMEOUT(ReportLines().size(), 3, 60000);
    QTRY_VERIFY_WITH_TIMEOUT((err += station.readAllStandardError()).contains("уже настроен"), 30000);
    QCOMPARE(Backups().size(), 1);
    unplug(again, 1, 2);
    // The next unit, plugged in where the first was.
    auto second = std::make_unique<CSimulator>();
    second->WithDevice([](CSimDevice& device) { device.SetUnit(2); });
    QVERIFY(plugIn(*second, 0));
    QTRY_COMPARE_WITH_TIMEOUT(ReportLines().size(), 4, 60000);
    QCOMPARE(LowLimit(*second), 10.0f);
    // Ctrl+C as the terminal sends it, to zint9 and everything in its group.
    QVERIFY(CInterrupt::SendToGroup(station.processId()));
    QVERIFY(station.waitForFinished(30000));
    QCOMPARE(station.exitStatus(), QProcess::NormalExit);
    err += station.readAllStandardError();
    QVERIFY2(station.exitCode() == 0, err.constData());
    QCOMPARE(Outcomes(station.readAllStandardOutput()), QStringList({"done", "already", "done"}));
    // The report says so too: the row of the unit seen again has no backup of its own.
    const QStringList report = ReportLines();
    QCOMPARE(report.filter(",already,").size(), 1);
    QVERIFY2(report.filter(",already,")[0].contains(",already,,"), qPrintable(report.join('\n')));
    // A traffic log a unit, named with its time and fingerprint.
    const QStringList traces = QDir(m_pFolder->FilePath("traces")).entryList(QDir::Files);
    QCOMPARE(traces.size(), 3);
    for (const QString& strTrace : traces)
    {
        QVERIFY2(
            QRegularExpression("^station2?-\\d{8}-\\d{6}-[0-9a-f]{12}\\.log$").match(strTrace).hasMatch(),
            qPrintable(strTrace));
        QVERIFY(m_pFolder->ReadFile("traces/" + strTrace).contains("< versions 0x1555 0x0008"));
    }
    QCOMPARE(Backups().size(), 2);
}

void TestBatch::oneDeviceUnderTwoNames()
{
    CSimulator sim;
    QVERIFY(sim.Start());
    const QString strLink = m_pFolder->FilePath("station");
    QVERIFY(QFile::link(sim.SlavePath(), strLink));
    QCOMPARE(Run({"set", "--low", "10", "--port", strLink, "--port", sim.SlavePath(), "--repeat"}), 2);
    QVERIFY2(m_strErr.contains("одно и то же устройство"), qPrintable(m_strErr));
    QVERIFY(Backups().isEmpty());
}

void TestBatch::oneFingerprintOnTwoPorts()
{
    // Two units with one device block (a copied calibration): neither can be told by its
    // fingerprint, and the summary and the record say so; a third unit stays clear.
    CSimulator sims[3];
    for (int i = 0; i < 3; ++i)
    {
        QVERIFY(sims[i].Start());
        sims[i].WithDevice([i](CSimDevice& device) { device.SetUnit(i < 2 ? 5 : 6); });
    }
    const QString strRecord = "sqlite:" + m_pFolder->FilePath("record.sqlite");
    QCOMPARE(Run({"set", "--low", "10", "--json", "--quiet", "--record", strRecord, "--backup-dir",
                  m_pFolder->FilePath("backups"), "--ports",
                  sims[0].SlavePath() + ',' + sims[1].SlavePath() + ',' + sims[2].SlavePath()}),
             0);
    const QJsonArray results = QJsonDocument::fromJson(m_strOut.toUtf8()).array();
    QCOMPARE(results.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(results[i]["ambiguous"].toBool(), i < 2);
    QCOMPARE(results[0]["fingerprint"], results[1]["fingerprint"]);
    QCOMPARE(Run({"history", "--json", "--record", strRecord}), 0);
    const QJsonArray history = QJsonDocument::fromJson(m_strOut.toUtf8()).array();
    QCOMPARE(history.size(), 6); // a read and a write a unit
    for (const QJsonValue& entry : history)
        QCOMPARE(entry["ambiguous"].toBool(), entry["fingerprint"] == results[0]["fingerprint"]);
}

void TestBatch::parentGoesAway_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("terminal closed") << "hang-up";
    QTest::newRow("killed") << "kill";
    QTest::newRow("its output closed") << "pipe";
}

void TestBatch::parentGoesAway()
{
    // Whatever becomes of the first process, no unit is left half-written.
    QFETCH(QString, how);
    CSimulator sims[2];
    CParamZT01 expected[2];
    for (int i = 0; i < 2; ++i)
    {
        QVERIFY(sims[i].Start());
        SlowWrite(sims[i]);
        expected[i] = sims[i].WithDevice([](CSimDevice& device) { return device.Image(); });
        expected[i].fLowLimit = 10;
    }
    QProcess batch;
    CInterrupt::NewGroup(batch);
    batch.start(Program(), {"set", "--low", "10", "--ports", sims[0].SlavePath() + "," + sims[1].SlavePath(),
                            "--backup-dir", m_pFolder->FilePath("backups"), "--report",
                            m_pFolder->FilePath("report.csv")});
    QVERIFY(batch.waitForStarted());
    if (how == "pipe")
        batch.closeReadChannel(QProcess::StandardError);
    // Both writes under way: past the versions, the 64 reads and some written blocks.
    QTRY_VERIFY_WITH_TIMEOUT(Exchanges(sims[0]) > 70 && Exchanges(sims[1]) > 70, 30000);
    if (how == "hang-up")
        QVERIFY(CInterrupt::HangUpGroup(batch.processId()));
    else if (how == "kill")
        batch.kill();
    for (int i = 0; i < 2; ++i)
        QTRY_COMPARE_WITH_TIMEOUT(
            CTestFolder::Bytes(sims[i].WithDevice([](CSimDevice& device) { return device.Image(); })),
            CTestFolder::Bytes(expected[i]), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(batch.state(), QProcess::NotRunning, 30000);
    // Every unit's row, whole, written by the process that finished it: the first one's death
    // loses none.
    QTRY_VERIFY2_WITH_TIMEOUT(ReportLines().size() == 3, qPrintable(ReportLines().join('\n')), 30000);
    if (how == "kill")
        return;
    QCOMPARE(batch.exitStatus(), QProcess::NormalExit);
    QCOMPARE(batch.exitCode(), 0);
    QCOMPARE(ReportLines().size(), 3); // every unit's line, whole
}

void TestBatch::secondInterrupt_data()
{
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<int>("from"); // the exchange after which the workers are stopped
    QTest::addColumn<bool>("partial");
    // Only blocks that held what they were given had gone: the units hold their old images.
    QTest::newRow("before the first changed block") << QStringList{"--low", "10"} << 70 << false;
    // Another sensor's table cut after its first blocks: neither image.
    QTest::newRow("after some changed blocks") << QStringList{"--sensor", "1"} << 88 << true;
}

void TestBatch::secondInterrupt()
{
    // The first Ctrl+C lets the units in hand finish; a second stops at once, names every unit
    // that may now be torn with the way back, and the record knows those writes were cut and
    // what the units hold, as far as the blocks they acknowledged tell. The way back works as
    // printed: units without a fingerprint, in a record that is not the environment's.
    QFETCH(QStringList, settings);
    QFETCH(int, from);
    QFETCH(bool, partial);
    CSimulator sims[2];
    QByteArray before[2];
    for (int i = 0; i < 2; ++i)
    {
        QVERIFY(sims[i].Start());
        Erase(sims[i]);
        before[i] = Held(sims[i]);
        SlowWrite(sims[i], 300, 20, from - 2);
    }
    const QString strRecord = "sqlite:" + m_pFolder->FilePath("line.sqlite");
    QProcess batch;
    CInterrupt::NewGroup(batch);
    batch.start(Program(),
                QStringList{"set", "--ports", sims[0].SlavePath() + "," + sims[1].SlavePath(), "--backup-dir",
                            m_pFolder->FilePath("backups"), "--quiet", "--record", strRecord} +
                    settings);
    QVERIFY(batch.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(Exchanges(sims[0]) > from && Exchanges(sims[1]) > from, 30000);
    QVERIFY(CInterrupt::SendToGroup(batch.processId()));
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += batch.readAllStandardError()).contains("остановка"), 10000);
    QVERIFY(CInterrupt::SendToGroup(batch.processId()));
    // At once: well before the 20 late blocks (6 s) could have ended.
    QVERIFY(batch.waitForFinished(4000));
    QCOMPARE(batch.exitStatus(), QProcess::NormalExit);
    QCOMPARE(batch.exitCode(), 1);
    err += batch.readAllStandardError();
    QStringList held;
    for (CSimulator& sim : sims)
    {
        QVERIFY2(err.contains(sim.SlavePath().toUtf8() +
                              ": zint9: Вернуть прежний образ: zint9 restore --port " +
                              sim.SlavePath().toUtf8()),
                 err.constData());
        held << QCryptographicHash::hash(
                    CTestFolder::Bytes(sim.WithDevice([](CSimDevice& device) { return device.Image(); })),
                    QCryptographicHash::Sha256)
                    .toHex();
    }
    QCOMPARE(Run({"history", "--json", "--record", strRecord}), 0);
    const QString strResult = partial ? "interrupted partial" : "interrupted";
    int nWrites = 0;
    for (const QJsonValue& entry : QJsonDocument::fromJson(m_strOut.toUtf8()).array())
    {
        if (entry["operation"] != "write")
            continue;
        ++nWrites;
        QCOMPARE(entry["result"].toString() + (entry["partial"].toBool() ? " partial" : ""), strResult);
        QVERIFY(held.contains(entry["imageAfter"].toString()));
        QCOMPARE(entry["imageAfter"] == entry["imageBefore"], !partial);
    }
    QCOMPARE(nWrites, 2);
    for (int i = 0; i < 2; ++i)
    {
        // Once the line has carried the last answer of the cut write (a late one) out.
        QTRY_VERIFY_WITH_TIMEOUT(Run({"read", "--port", sims[i].SlavePath()}) == 0, 30000);
        RestoresAsPrinted(err, sims[i].SlavePath(), sims[i], before[i]);
    }
}

void TestBatch::workerDiesAtAStation_data()
{
    QTest::addColumn<bool>("writing"); // killed in the middle of a write, else between units
    QTest::newRow("between units") << false;
    QTest::newRow("in a write") << true;
}

void TestBatch::workerDiesAtAStation()
{
    // A station's worker killed: its port gets another, which knows what the run has configured
    // and takes the next unit. A unit cut in the middle of its write is recorded as the worker
    // left it, with its row and its way back (which works as printed), and is not taken for a
    // new unit before it has been pulled out.
    QFETCH(bool, writing);
    const QString strLink = m_pFolder->FilePath("station");
    const QString strRecord = "sqlite:" + m_pFolder->FilePath("station.sqlite");
    CSimulator first;
    QVERIFY(first.Start());
    if (writing)
        Erase(first);
    else
        first.WithDevice([](CSimDevice& device) { device.SetUnit(1); });
    const QByteArray before = Held(first);
    if (writing)
        SlowWrite(first, 300, 20, 86);
    QVERIFY(QFile::link(first.SlavePath(), strLink));
    QProcess station;
    CInterrupt::NewGroup(station);
    station.start(Program(), {"set", "--sensor", "1", "--port", strLink, "--repeat", "--json", "--backup-dir",
                              m_pFolder->FilePath("backups"), "--report", m_pFolder->FilePath("report.csv"),
                              "--record", strRecord});
    QByteArray err;
    auto said = [&](const QByteArray& text, int nTimes = 1)
    { return (err += station.readAllStandardError()).count("station: " + text) >= nTimes; };
    if (writing)
        QTRY_VERIFY_WITH_TIMEOUT(Exchanges(first) > 88, 30000);
    else
    {
        QTRY_COMPARE_WITH_TIMEOUT(ReportLines().size(), 2, 60000);
        QVERIFY(QFile::remove(strLink));
        QTRY_VERIFY_WITH_TIMEOUT(said("порт не найден"), 30000);
    }
    QVERIFY(KillWorker(station));
    QTRY_VERIFY_WITH_TIMEOUT(said("zint9: процесс порта запущен снова"), 30000);
    QVERIFY2(said("zint9: процесс порта завершился аварийно"), err.constData());
    if (writing)
    {
        QCOMPARE(ReportLines().size(), 2);
        QVERIFY2(ReportLines()[1].contains(",interrupted,"), qPrintable(ReportLines()[1]));
        LeftAsCut(first, [&](const QByteArray& text) { return said(text); });
        if (QTest::currentTestFailed())
            return;
        QVERIFY(QFile::remove(strLink));
    }
    else
    {
        // The unit configured before the kill, put back: the new worker knows it.
        QVERIFY(QFile::link(first.SlavePath(), strLink));
        QTRY_VERIFY_WITH_TIMEOUT(said("Прибор уже настроен"), 30000);
        QVERIFY(QFile::remove(strLink));
    }
    QTRY_VERIFY_WITH_TIMEOUT(said("ждёт прибор", writing ? 2 : 4), 30000);
    CSimulator next;
    QVERIFY(next.Start());
    next.WithDevice([](CSimDevice& device) { device.SetUnit(2); });
    QVERIFY(QFile::link(next.SlavePath(), strLink));
    QTRY_VERIFY_WITH_TIMEOUT(
        ReportLines().size() == 4 - int(writing) && ReportLines().last().contains(",done,"), 60000);
    QVERIFY2(StopStation(station, err) == (writing ? 1 : 0), err.constData());
    QCOMPARE(Outcomes(station.readAllStandardOutput()),
             writing ? QStringList({"interrupted", "done"}) : QStringList({"done", "already", "done"}));
    if (!writing)
        return;
    QVERIFY(QFile::remove(strLink) && QFile::link(first.SlavePath(), strLink));
    RestoresAsPrinted(err, strLink, first, before);
}

void TestBatch::portGivenUp_data()
{
    QTest::addColumn<QString>("worker"); // the workers' program; empty: none there
    QTest::newRow("no worker program") << QString();
    // The real worker for every port but one.
    QTest::newRow("one port's workers end at once")
        << "#!/bin/sh\nIFS= read -r job\ncase \"$job\" in *given-up*) exit 1;; esac\n"
           "{ printf '%s\\n' \"$job\"; exec cat; } | exec " +
               QCoreApplication::applicationDirPath() + "/zint9-worker\n";
}

void TestBatch::portGivenUp()
{
    // A station's port whose workers end, three in a row, before they reach a unit is given up,
    // loudly, and the run's status says so; the station's other ports go on.
    QFETCH(QString, worker);
    CTestFolder bin;
    QVERIFY(QFile::copy(Program(), bin.FilePath("zint9")));
    QVERIFY(QFile::setPermissions(bin.FilePath("zint9"), QFile::ReadOwner | QFile::ExeOwner));
    if (!worker.isEmpty())
    {
        bin.WriteFile("zint9-worker", worker.toUtf8());
        QVERIFY(QFile::setPermissions(bin.FilePath("zint9-worker"), QFile::ReadOwner | QFile::ExeOwner));
    }
    CSimulator sims[2];
    QVERIFY(sims[0].Start() && sims[1].Start());
    const QString strGivenUp = m_pFolder->FilePath("given-up");
    QVERIFY(QFile::link(sims[0].SlavePath(), strGivenUp));
    QProcess station;
    CInterrupt::NewGroup(station);
    QStringList arguments{"set",    "--low",    "10",           "--repeat",
                          "--port", strGivenUp, "--backup-dir", m_pFolder->FilePath("backups")};
    if (!worker.isEmpty())
        arguments << "--port" << sims[1].SlavePath();
    station.start(bin.FilePath("zint9"), arguments);
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += station.readAllStandardError()).contains(": zint9: порт не работает"),
                             30000);
    if (!worker.isEmpty())
    {
        QTRY_COMPARE_WITH_TIMEOUT(LowLimit(sims[1]), 10.0f, 60000);
        QVERIFY(CInterrupt::SendToGroup(station.processId()));
    }
    QTRY_COMPARE_WITH_TIMEOUT(station.state(), QProcess::NotRunning, 30000);
    err += station.readAllStandardError();
    QCOMPARE(station.exitCode(), 1);
    const QString strErr = QString::fromUtf8(err);
    QCOMPARE(strErr.count(strGivenUp + ": zint9: процесс порта запущен снова"), 2);
    const QString strWhy = worker.isEmpty() ? "не удалось запустить процесс порта" : "завершился с кодом 1";
    QVERIFY2(strErr.contains(QRegularExpression(QRegularExpression::escape(strGivenUp) +
                                                ": zint9: порт не работает: .*3 раза подряд.*" + strWhy)),
             qPrintable(strErr));
    QVERIFY2(strErr.contains("zint9: порт " + strGivenUp + " не работает: "), qPrintable(strErr));
    QCOMPARE(Exchanges(sims[0]), 0);
}

void TestBatch::portsNotThereYet()
{
    // A station's port that is not there is not an empty one, nor is one that opens and never
    // answers: each says so on its status line, and each probe looks again, so that a port that
    // appears later (an adapter plugged in) is taken.
    CPseudoTerminal terminal;
    QVERIFY(terminal.Open());
    CSimulator silent;
    QVERIFY(silent.Start());
    silent.WithDevice([](CSimDevice& device)
                      { device.AddLastingFault(EFault::NoAnswer, CSimDevice::ERequest::Versions); });
    const QString strLater = m_pFolder->FilePath("later");
    QProcess station;
    CInterrupt::NewGroup(station);
    station.setStandardErrorFile(terminal.SlavePath());
    station.start(Program(), {"set", "--low", "10", "--repeat", "--port", strLater, "--port",
                              silent.SlavePath(), "--backup-dir", m_pFolder->FilePath("backups"), "--report",
                              m_pFolder->FilePath("report.csv")});
    QByteArray seen;
    QTRY_VERIFY_WITH_TIMEOUT(Shown(terminal, seen, strLater.toUtf8() + "  порт не найден") &&
                                 Shown(terminal, seen, "  ждёт прибор: нет ответа"),
                             30000);
    CSimulator later;
    QVERIFY(later.Start());
    QVERIFY(QFile::link(later.SlavePath(), strLater));
    QTRY_VERIFY_WITH_TIMEOUT(Shown(terminal, seen, "") && ReportLines().size() == 2, 60000);
    QCOMPARE(LowLimit(later), 10.0f);
    QVERIFY(Shown(terminal, seen, strLater.toUtf8() + ": порт доступен"));
    QVERIFY(CInterrupt::SendToGroup(station.processId()));
    QTRY_VERIFY_WITH_TIMEOUT(Shown(terminal, seen, "") && station.state() == QProcess::NotRunning, 30000);
    QCOMPARE(station.exitCode(), 0);
}

void TestBatch::workerCannotStart()
{
    // Too few descriptors for all the ports: the ports that cannot start fail, the others are
    // written, and the run ends.
    CSimulator sims[6];
    QStringList ports;
    for (int i = 0; i < 6; ++i)
    {
        QVERIFY(sims[i].Start());
        // Units of their own: one that finished first would make a twin "already configured".
        sims[i].WithDevice([i](CSimDevice& device) { device.SetUnit(i + 1); });
        ports << sims[i].SlavePath();
    }
    QProcess batch;
    batch.start("prlimit", QStringList{"--nofile=28:28", Program(), "set", "--low", "10", "--ports",
                                       ports.join(','), "--backup-dir", m_pFolder->FilePath("backups")});
    QVERIFY(batch.waitForFinished(60000));
    QCOMPARE(batch.exitStatus(), QProcess::NormalExit);
    const QString strErr = QString::fromUtf8(batch.readAllStandardError());
    const int nWritten = int(std::count_if(std::begin(sims), std::end(sims),
                                           [](CSimulator& sim) { return LowLimit(sim) == 10.0f; }));
    QVERIFY2(nWritten > 0, qPrintable(strErr));
    QCOMPARE(batch.exitCode(), nWritten == 6 ? 0 : 1);
    QVERIFY2(strErr.count("не удалось запустить процесс порта") == 6 - nWritten, qPrintable(strErr));
}

void TestBatch::workersGetNoPassword()
{
    // A port's worker records into the local record only: the plant's address, and its password,
    // stay with the first process and the upload's own process. The workers here only keep the
    // jobs they are given.
    CTestFolder bin;
    QVERIFY(QFile::copy(Program(), bin.FilePath("zint9")));
    QVERIFY(QFile::setPermissions(bin.FilePath("zint9"), QFile::ReadOwner | QFile::ExeOwner));
    bin.WriteFile("zint9-worker", "#!/bin/sh\nhead -n 1 >> \"$(dirname \"$0\")/jobs\"\n");
    QVERIFY(QFile::setPermissions(bin.FilePath("zint9-worker"), QFile::ReadOwner | QFile::ExeOwner));
    CSimulator sims[2];
    QStringList ports;
    for (CSimulator& sim : sims)
    {
        QVERIFY(sim.Start());
        ports << sim.SlavePath();
    }
    QProcess batch;
    batch.start(bin.FilePath("zint9"),
                {"set", "--low", "10", "--ports", ports.join(','), "--backup-dir",
                 m_pFolder->FilePath("backups"), "--record",
                 "postgresql://station:Secret-5@/zint9?host=" + m_pFolder->FilePath("nowhere")});
    QVERIFY(batch.waitForFinished(60000));
    const QStringList jobs = QString::fromUtf8(bin.ReadFile("jobs")).split('\n', Qt::SkipEmptyParts);
    int nPorts = 0;
    for (const QString& strJob : jobs)
    {
        const QJsonObject job = QJsonDocument::fromJson(strJob.toUtf8()).object();
        if (job["command"] == "sync")
            continue;
        ++nPorts;
        QVERIFY2(!strJob.contains("Secret-5") && !strJob.contains("postgresql:"), qPrintable(strJob));
        QVERIFY2(job["record"].toString().endsWith("record.sqlite"), qPrintable(strJob));
    }
    QCOMPARE(nPorts, 2);
}

void TestBatch::reportOnAFullDisk()
{
    // A line that cannot be stored whole is not stored at all, and the run says so in its status.
    // The lines so far fill the file's last block: a further line needs room the disk has not.
    QByteArray header =
        "time,port,version,bootVersion,sensor,lowLimit,highLimit,unit,dacLow,dacHigh,result,backup\n";
    header += QByteArray(4095 - header.size(), '#') + '\n';
    QVERIFY(QDir(m_pFolder->Path()).mkpath("full"));
    m_pFolder->WriteFile("full/report.csv", header);
    CFullDisk disk(m_pFolder->FilePath("full"));
    if (!disk.IsFull())
        QSKIP(qPrintable(disk.Reason()));
    CSimulator sim;
    QVERIFY(sim.Start());
    QCOMPARE(Run({"set", "--low", "10", "--port", sim.SlavePath(), "--report",
                  m_pFolder->FilePath("full/report.csv"), "--backup-dir", m_pFolder->FilePath("backups")}),
             1);
    QVERIFY2(m_strErr.contains("не удалось дописать отчёт"), qPrintable(m_strErr));
    QCOMPARE(LowLimit(sim), 10.0f); // the unit itself was configured
    QCOMPARE(m_pFolder->ReadFile("full/report.csv"), header);
}

void TestBatch::traceOnAFullDisk()
{
    // Each port's traffic log on a disk that is full: the units are configured, and the run says
    // that the logs are lost in its status and in its words.
    QVERIFY(QDir(m_pFolder->Path()).mkpath("full"));
    CFullDisk disk(m_pFolder->FilePath("full"));
    if (!disk.IsFull())
        QSKIP(qPrintable(disk.Reason()));
    CSimulator first, second;
    QVERIFY(first.Start() && second.Start());
    QCOMPARE(Run({"set", "--low", "10", "--port", first.SlavePath(), "--port", second.SlavePath(), "--trace",
                  m_pFolder->FilePath("full"), "--backup-dir", m_pFolder->FilePath("backups")}),
             1);
    QCOMPARE(m_strErr.count("не удалось записать журнал обмена"), 2);
    QCOMPARE(LowLimit(first), 10.0f);
    QCOMPARE(LowLimit(second), 10.0f);
}

void TestBatch::onATerminal_data()
{
    QTest::addColumn<int>("ports");
    QTest::addColumn<int>("rows");          // the terminal's; 0: not known
    QTest::addColumn<QStringList>("shown"); // what the terminal must have been shown
    QTest::addColumn<QStringList>("never"); // and must not
    QTest::newRow("one port: a progress bar")
        << 1 << 0 << QStringList{"\r[", "100%", "Сверка записанного"} << QStringList{};
    // The verify named as the check it is; the counts under the lines; success in green.
    QTest::newRow("two ports: a status line each")
        << 2 << 24 << QStringList{"\033[", "pts", "сверка записанного", "настроено: 2", "\033[32mуспех"}
        << QStringList{"Чтение"};
    // Lines redrawn above the top of the screen would be printed again for ever.
    QTest::newRow("two ports on a terminal too short for them")
        << 2 << 3 << QStringList{"Новые настройки записаны"} << QStringList{"\033[", "настроено:"};
}

void TestBatch::onATerminal()
{
    // With its messages on a terminal, zint9 shows how far each port has come; what it prints
    // there also ends with the work done and the units configured.
    QFETCH(int, ports);
    QFETCH(int, rows);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, never);
    CPseudoTerminal terminal;
    QVERIFY(terminal.Open());
    if (rows > 0)
        QVERIFY2(terminal.SetSize(rows, 100), qPrintable(terminal.m_strError));
    CSimulator sims[2];
    QStringList arguments{"set", "--low", "10", "--backup-dir", m_pFolder->FilePath("backups")};
    for (int i = 0; i < ports; ++i)
    {
        QVERIFY(sims[i].Start());
        arguments << "--port" << sims[i].SlavePath();
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TERM", "xterm");
    environment.remove("NO_COLOR");
    process.setProcessEnvironment(environment);
    process.setStandardErrorFile(terminal.SlavePath());
    process.start(Program(), arguments);
    QByteArray seen;
    char buffer[4096];
    while (!process.waitForFinished(20))
        for (int n = terminal.Read(buffer, sizeof buffer, 0); n > 0;
             n = terminal.Read(buffer, sizeof buffer, 0))
            seen.append(buffer, n);
    for (int n = terminal.Read(buffer, sizeof buffer, 50); n > 0;
         n = terminal.Read(buffer, sizeof buffer, 50))
        seen.append(buffer, n);
    QCOMPARE(process.exitCode(), 0);
    const QString strSeen = QString::fromUtf8(seen);
    for (const QString& strShown : shown)
        QVERIFY2(strSeen.contains(strShown), qPrintable(strShown + " in:\n" + strSeen.right(2000)));
    for (const QString& strNever : never)
        QVERIFY2(!strSeen.contains(strNever), qPrintable(strNever + " in:\n" + strSeen.right(2000)));
    for (int i = 0; i < ports; ++i)
        QCOMPARE(LowLimit(sims[i]), 10.0f);
}

void TestBatch::serialsAtAStation_data()
{
    QTest::addColumn<bool>("scanned"); // typed into standard input as the units come, else a file
    QTest::newRow("a file") << false;
    QTest::newRow("a scanner on standard input") << true;
}

void TestBatch::serialsAtAStation()
{
    // Each unit of a shift gets a serial of its own: the one the record has for another unit is
    // refused, and its port waits on; one read twice is taken once.
    QFETCH(bool, scanned);
    const QString strRecord = "sqlite:" + m_pFolder->FilePath("station.sqlite");
    CSimulator earlier;
    QVERIFY(earlier.Start());
    earlier.WithDevice([](CSimDevice& device) { device.SetUnit(9); });
    QCOMPARE(Run({"read", "--port", earlier.SlavePath(), "--serial", "SN-0", "--record", strRecord}), 0);
    const QByteArray lines = "SN-0\nSN-1\n\n  SN-1\nSN-2\n";
    m_pFolder->WriteFile("serials.txt", scanned ? QByteArray() : lines);
    const QString strLinks[2] = {m_pFolder->FilePath("a"), m_pFolder->FilePath("b")};
    const QString strProtocols = m_pFolder->FilePath("protocols");
    QVERIFY(QDir().mkpath(strProtocols));
    QProcess station;
    CInterrupt::NewGroup(station);
    station.start(Program(), {"set", "--low", "10", "--port", strLinks[0], "--port", strLinks[1], "--repeat",
                              "--protocols", strProtocols, "--json", "--serials",
                              scanned ? "-" : m_pFolder->FilePath("serials.txt"), "--backup-dir",
                              m_pFolder->FilePath("backups"), "--report", m_pFolder->FilePath("report.csv"),
                              "--record", strRecord});
    QByteArray err;
    auto said = [&](const QByteArray& text)
    { return (err += station.readAllStandardError()).contains(text); };
    CSimulator units[2];
    for (int i = 0; i < 2; ++i)
    {
        QVERIFY(units[i].Start());
        units[i].WithDevice([i](CSimDevice& device) { device.SetUnit(i + 1); });
        if (scanned) // a write that lasts while the same serial is scanned again
            SlowWrite(units[i], 300, 20);
        QVERIFY(QFile::link(units[i].SlavePath(), strLinks[i]));
        if (scanned) // a unit found waits for its serial; the first found is given the first read
            QTRY_VERIFY_WITH_TIMEOUT(said(strLinks[i].toUtf8() + ": ждёт серийный номер"), 30000);
    }
    if (scanned) // the first two; the rest once the second is under way
        station.write(lines.left(10));
    else
        QTRY_VERIFY2_WITH_TIMEOUT(said("серийный номер SN-1 уже ждёт прибора; не принят"), err.constData(),
                                  30000);
    const QRegularExpression given("(^|\\n)(.*): серийный номер SN-1\\n");
    QTRY_VERIFY_WITH_TIMEOUT(said("") && given.match(QString::fromUtf8(err)).hasMatch(), 60000);
    if (scanned)
    {
        station.write(lines.mid(10));
        // Given once: not to another port while its port holds it.
        QTRY_VERIFY2_WITH_TIMEOUT(said("серийный номер SN-1 уже отдан порту " +
                                       given.match(QString::fromUtf8(err)).captured(2).toUtf8() +
                                       "; не принят"),
                                  err.constData(), 30000);
        QVERIFY2(said(strLinks[0].toUtf8() + ": серийный номер SN-0"), err.constData());
    }
    QTRY_COMPARE_WITH_TIMEOUT(ReportLines().size(), 3, 60000);
    QVERIFY2(said("серийный номер SN-0 уже записан за другим прибором"), err.constData());
    QVERIFY2(StopStation(station, err) == 0, err.constData());
    QStringList serials;
    for (const QJsonValue& result : QJsonDocument::fromJson(station.readAllStandardOutput()).array())
    {
        QCOMPARE(result["result"].toString(), QStringLiteral("done"));
        serials << result["serial"].toString();
        // The record knows the unit by the serial it was given.
        QCOMPARE(Run({"history", "--serial", serials.last(), "--latest", "--json", "--record", strRecord}),
                 0);
        const QJsonArray entries = QJsonDocument::fromJson(m_strOut.toUtf8()).array();
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0]["fingerprint"], result["fingerprint"]);
        QCOMPARE(entries[0]["operation"].toString(), QStringLiteral("write"));
        // Its protocol, named by its serial, is of that write.
        const QString strProtocol = result["protocol"].toString();
        QVERIFY2(QFileInfo(strProtocol).fileName().startsWith("protocol-" + serials.last() + "-"),
                 qPrintable(strProtocol));
        QVERIFY(CPoppler::Text(strProtocol).contains(entries[0]["id"].toString()));
    }
    QCOMPARE(QDir(strProtocols).entryList(QDir::Files).size(), 2);
    std::sort(serials.begin(), serials.end());
    QCOMPARE(serials, QStringList({"SN-1", "SN-2"}));
    QCOMPARE(ReportLines().filter(",SN-1,").size() + ReportLines().filter(",SN-2,").size(), 2);
    QCOMPARE(Run({"history", "--serial", "SN-0", "--json", "--record", strRecord}), 0);
    QCOMPARE(QJsonDocument::fromJson(m_strOut.toUtf8()).array().size(), 1); // the earlier unit's read
}

namespace
{
// Whether the terminal echoes what is typed; with bSet, it is made to, as a terminal emulator
// leaves it (the simulator's pty is a raw line).
bool Echoes(const QString& strPath, bool bSet = false)
{
    const int nFd = ::open(strPath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    struct termios mode = {};
    bool bEcho = nFd >= 0 && ::tcgetattr(nFd, &mode) == 0;
    if (bEcho && bSet)
    {
        mode.c_lflag |= ECHO | ICANON;
        bEcho = ::tcsetattr(nFd, TCSANOW, &mode) == 0 && ::tcgetattr(nFd, &mode) == 0;
    }
    if (nFd >= 0)
        ::close(nFd);
    return bEcho && (mode.c_lflag & ECHO) != 0;
}
} // namespace

void TestBatch::serialsFromATerminal()
{
    // A scanner types into the terminal the station shows its ports on: what it types is never
    // echoed among the status lines, and the unit gets it.
    CPseudoTerminal terminal;
    QVERIFY(terminal.Open());
    QVERIFY(Echoes(terminal.SlavePath(), true));
    auto pSim = std::make_unique<CSimulator>();
    CSimulator& sim = *pSim;
    QVERIFY(sim.Start());
    // Pulled, the unit's terminal may be a parallel test's at once: the station knows its name.
    const QString strLink = m_pFolder->FilePath("station");
    QVERIFY(QFile::link(sim.SlavePath(), strLink));
    QProcess station;
    CInterrupt::NewGroup(station);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TERM", "xterm");
    environment.remove("NO_COLOR");
    station.setProcessEnvironment(environment);
    station.setStandardInputFile(terminal.SlavePath());
    station.setStandardErrorFile(terminal.SlavePath());
    station.start(Program(),
                  {"set", "--low", "10", "--port", strLink, "--repeat", "--serials", "-", "--backup-dir",
                   m_pFolder->FilePath("backups"), "--report", m_pFolder->FilePath("report.csv")});
    QByteArray seen;
    char buffer[4096];
    auto shown = [&](const QByteArray& text)
    {
        for (int n = terminal.Read(buffer, sizeof buffer, 20); n > 0;
             n = terminal.Read(buffer, sizeof buffer, 0))
            seen.append(buffer, n);
        return seen.contains(text);
    };
    // The operator is awaited: in the colour that asks for attention.
    QTRY_VERIFY2_WITH_TIMEOUT(shown("\033[33mждёт серийный номер ← следующий номер"), seen.constData(),
                              30000);
    QVERIFY(terminal.Write("SN-7\n", 5));
    QTRY_COMPARE_WITH_TIMEOUT(ReportLines().size(), 2, 60000);
    QVERIFY2(ReportLines()[1].contains(",SN-7,"), qPrintable(ReportLines()[1]));
    QCOMPARE(LowLimit(sim), 10.0f);
    // The unit pulled: its result stays in sight until the next one comes.
    QVERIFY(QFile::remove(strLink));
    pSim.reset();
    QTRY_VERIFY2_WITH_TIMEOUT(shown("\033[32mуспех (SN-7) · ждёт прибор"), seen.right(3000).constData(),
                              30000);
    QVERIFY(shown("настроено: 1   уже настроены: 0   ошибки: 0"));
    QVERIFY(CInterrupt::SendToGroup(station.processId()));
    // Read as it ends: a terminal nobody reads would hold its last lines.
    QTRY_VERIFY_WITH_TIMEOUT(shown("") && station.state() == QProcess::NotRunning, 30000);
    QCOMPARE(station.exitCode(), 0);
    QVERIFY2(seen.count("SN-7") == seen.count("номер SN-7") + seen.count("(SN-7)"), seen.constData());
    QVERIFY(Echoes(terminal.SlavePath())); // as it was
}

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
