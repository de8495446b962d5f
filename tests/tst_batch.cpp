#include "cinterrupt.h"
#include "csimulator.h"
#include "ctestfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

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

    std::unique_ptr<CTestFolder> m_pFolder;
    QString m_strOut;
    QString m_strErr;

private slots:
    void init() { m_pFolder = std::make_unique<CTestFolder>(); }
    void oneFailingAmongSeveral_data();
    void oneFailingAmongSeveral();
    void refusedBeforeAnyPort();
    void stationRepeats();
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
    QVERIFY(rows[1].startsWith(sims[0].SlavePath()) && rows[1].contains("0x1555  0x0008     успех"));
    QVERIFY2(rows[2].startsWith(sims[1].SlavePath()) && rows[2].contains("ошибка"), qPrintable(m_strOut));
    QVERIFY(rows[3].contains("успех"));
    QVERIFY(m_strErr.contains(sims[0].SlavePath() + ": Новые настройки записаны в прибор."));
    // Backups of the devices that were read, none overwriting another though made at once.
    QCOMPARE(Backups().size(), versions ? 3 : 2);

    QCOMPARE(
        Run(common + QStringList{"--json", "--port", sims[1].SlavePath(), "--port", sims[2].SlavePath()}), 1);
    const QJsonArray results = QJsonDocument::fromJson(m_strOut.toUtf8()).array();
    QCOMPARE(results.size(), 2);
    QCOMPARE(results[0]["port"].toString(), sims[1].SlavePath());
    QCOMPARE(results[0]["result"].toString(), QStringLiteral("failed"));
    QCOMPARE(results[0]["version"].isNull(), !versions);
    QCOMPARE(results[0]["backup"].isNull(), !versions);
    QCOMPARE(results[1]["result"].toString(), QStringLiteral("ok"));
    QCOMPARE(results[1]["version"].toString(), QStringLiteral("0x1555"));
    QCOMPARE(results[1]["lowLimit"].toDouble(), 10.0);
    QCOMPARE(results[1]["dacCalibration"]["high"].toDouble(), 19.987);
    QVERIFY(QFile::exists(results[1]["backup"].toString()));

    // The record: a header once, then a line a device of both runs.
    const QStringList report = ReportLines();
    QCOMPARE(report.size(), 1 + 3 + 2);
    QVERIFY(report[0].startsWith("time,port,version,bootVersion,sensor,lowLimit,highLimit"));
    QCOMPARE(report.filter(",ok,").size(), 3);
    QCOMPARE(report.filter(",failed,").size(), 2);
    QVERIFY2(report[1].contains(",Термопара ТХА (K),10,1000,°C,4.0123,19.987,"), qPrintable(report[1]));
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
    const QString strLink = m_pFolder->FilePath("station");
    auto plugIn = [&](CSimulator& sim) { return sim.Start() && QFile::link(sim.SlavePath(), strLink); };
    auto first = std::make_unique<CSimulator>();
    QVERIFY(plugIn(*first));
    QProcess station;
    CInterrupt::NewGroup(station);
    station.start(Program(), {"set", "--low", "10", "--port", strLink, "--repeat", "--json", "--backup-dir",
                              m_pFolder->FilePath("backups"), "--report", m_pFolder->FilePath("report.csv")});
    QVERIFY(station.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(ReportLines().size(), 2, 60000);
    QCOMPARE(LowLimit(*first), 10.0f);
    // Unplugged, and the next device plugged in where it was.
    first.reset();
    QVERIFY(QFile::remove(strLink));
    // The station says when it has seen the line silent and waits for the next device.
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += station.readAllStandardError()).count(": ждёт прибор") == 2, 30000);
    auto second = std::make_unique<CSimulator>();
    QVERIFY(plugIn(*second));
    QTRY_COMPARE_WITH_TIMEOUT(ReportLines().size(), 3, 60000);
    QCOMPARE(LowLimit(*second), 10.0f);
    // Ctrl+C as the terminal sends it, to zint9 and everything in its group.
    QVERIFY(CInterrupt::SendToGroup(station.processId()));
    QVERIFY(station.waitForFinished(30000));
    QCOMPARE(station.exitStatus(), QProcess::NormalExit);
    QCOMPARE(station.exitCode(), 0);
    const QJsonArray results = QJsonDocument::fromJson(station.readAllStandardOutput()).array();
    QCOMPARE(results.size(), 2);
    for (const QJsonValue& result : results)
        QCOMPARE(result["result"].toString(), QStringLiteral("ok"));
    QCOMPARE(Backups().size(), 2);
}

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
