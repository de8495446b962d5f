#include "cpgcluster.h"
#include "crecordstore.h"
#include "csimulator.h"
#include "ctestfolder.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QUuid>

#include <memory>

// Stations that record into one plant's PostgreSQL database, run as a line would run them: zint9
// processes against simulated units and a cluster of the test's own.
class TestPlant : public QObject
{
    Q_OBJECT

private:
    // zint9 with its local record in the test's folder, as a station's user would have it.
    std::unique_ptr<QProcess> Start(const QStringList& arguments) const
    {
        auto pProcess = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", m_pFolder->FilePath("data"));
        environment.remove("ZINT9_RECORD");
        pProcess->setProcessEnvironment(environment);
        pProcess->start(QCoreApplication::applicationDirPath() + QStringLiteral("/zint9"),
                        arguments + QStringList{"--backup-dir", m_pFolder->FilePath("backups"), "--quiet"});
        return pProcess;
    }
    int Run(const QStringList& arguments)
    {
        const auto pProcess = Start(arguments);
        if (!pProcess->waitForFinished(120000) || pProcess->exitStatus() != QProcess::NormalExit)
            return -1;
        m_strOut = QString::fromUtf8(pProcess->readAllStandardOutput());
        m_strErr = QString::fromUtf8(pProcess->readAllStandardError());
        return pProcess->exitCode();
    }
    // The plant's entries: every id once, and how many.
    int PlantEntries()
    {
        const QString strCount =
            m_pCluster->Query("SELECT count(*) || '/' || count(DISTINCT id) FROM entries");
        const QStringList counts = strCount.split('/');
        if (counts.size() != 2 || counts[0] != counts[1])
            return -1;
        return counts[0].toInt();
    }
    QStringList Ports(CSimulator* pSims, int nCount) const
    {
        QStringList ports;
        for (int i = 0; i < nCount; ++i)
            ports << pSims[i].SlavePath();
        return {"--ports", ports.join(',')};
    }

    std::unique_ptr<CTestFolder> m_pFolder;
    std::unique_ptr<CPgCluster> m_pCluster;
    QString m_strOut, m_strErr;

private slots:
    void initTestCase()
    {
        m_pCluster = std::make_unique<CPgCluster>();
        QVERIFY2(m_pCluster->Start(), qPrintable(m_pCluster->m_strError));
        QVERIFY2(m_pCluster->AddPasswordLogin("station", "Right-42"), qPrintable(m_pCluster->m_strError));
    }
    void init()
    {
        m_pFolder = std::make_unique<CTestFolder>();
        // Each test a plant of its own; the tables may not exist yet.
        m_pCluster->Query("DROP VIEW IF EXISTS unit_latest; DROP TABLE IF EXISTS entries, images, meta");
    }
    void cleanupTestCase() { m_pCluster.reset(); }
    void stationsAtOnce();
    void databaseAwayAndBack();
    void databaseRefuses_data();
    void databaseRefuses();
    void uploadCutBeforeItsMark();
    void waitingEntriesInHistory();
};

void TestPlant::stationsAtOnce()
{
    // Four stations of two ports each, all at once, each unit a device block of its own: every
    // entry reaches the plant once, and its view gives one row a unit.
    constexpr int kStations = 4, kPorts = 2;
    CSimulator sims[kStations * kPorts];
    for (int i = 0; i < kStations * kPorts; ++i)
    {
        QVERIFY(sims[i].Start());
        sims[i].WithDevice([i](CSimDevice& device) { device.SetUnit(10 + i); });
    }
    std::vector<std::unique_ptr<QProcess>> stations;
    for (int s = 0; s < kStations; ++s)
        stations.push_back(Start(QStringList{"set", "--low", "10", "--record", m_pCluster->Url(), "--station",
                                             QStringLiteral("line-%1").arg(s)} +
                                 Ports(sims + s * kPorts, kPorts)));
    for (const auto& pStation : stations)
    {
        QVERIFY(pStation->waitForFinished(120000));
        const QString strErr = QString::fromUtf8(pStation->readAllStandardError());
        QVERIFY2(pStation->exitCode() == 0 && !strErr.contains("записи ведутся"), qPrintable(strErr));
    }
    QCOMPARE(PlantEntries(), kStations * kPorts * 2); // a read and a write a unit
    QCOMPARE(m_pCluster->Query("SELECT count(*) FROM unit_latest WHERE operation = 'write' AND result = "
                               "'done' AND image_hash IS NOT NULL"),
             QString::number(kStations * kPorts));
    QCOMPARE(m_pCluster->Query("SELECT count(DISTINCT station) FROM entries"), QString::number(kStations));
    // The plant answers history with the filters of a station's own record.
    QCOMPARE(Run({"history", "--station", "line-2", "--json", "--record", m_pCluster->Url()}), 0);
    QCOMPARE(QJsonDocument::fromJson(m_strOut.toUtf8()).array().size(), kPorts * 2);
}

void TestPlant::databaseAwayAndBack()
{
    // The database goes away in the middle of a station's run and comes back: the run's work is
    // done, the station says once that it keeps the record locally, and a sync then brings every
    // entry up once, none lost, none doubled.
    CSimulator sims[2];
    for (int i = 0; i < 2; ++i)
    {
        QVERIFY(sims[i].Start());
        sims[i].WithDevice([i](CSimDevice& device) { device.SetUnit(30 + i); });
    }
    const QStringList set = QStringList{"set", "--record", m_pCluster->Url()} + Ports(sims, 2);
    QVERIFY2(Run(set + QStringList{"--low", "10"}) == 0, qPrintable(m_strErr + m_strOut));
    QCOMPARE(PlantEntries(), 4);
    for (CSimulator& sim : sims)
    {
        // Ten blocks' acknowledgements a little late, from the fourth: the write lasts a while.
        CSimDevice::SFault slow;
        slow.nKind = CSimDevice::EFault::Late;
        slow.nOn = CSimDevice::ERequest::Write;
        slow.nFromExchange = 68;
        slow.nCount = 10;
        slow.nDelayMs = 30;
        sim.WithDevice([&](CSimDevice& device) { device.AddFault(slow); });
    }
    const auto pStation = Start(set + QStringList{"--low", "20"});
    auto exchanges = [](CSimulator& sim)
    { return sim.WithDevice([](CSimDevice& device) { return device.Exchanges(); }); };
    QTRY_VERIFY_WITH_TIMEOUT(exchanges(sims[0]) > 70 && exchanges(sims[1]) > 70, 30000);
    m_pCluster->Stop();
    QVERIFY(pStation->waitForFinished(60000));
    const QString strErr = QString::fromUtf8(pStation->readAllStandardError());
    QVERIFY2(pStation->exitCode() == 0, qPrintable(strErr));
    QCOMPARE(strErr.count("записи ведутся на этой машине"), 1);
    QVERIFY(m_pCluster->Resume());
    QCOMPARE(PlantEntries(), 4);
    QCOMPARE(Run({"history", "--sync", "--json", "--record", m_pCluster->Url()}), 0);
    QVERIFY2(m_strErr.contains("Передано в базу записей: 4."), qPrintable(m_strErr));
    QCOMPARE(PlantEntries(), 8);
    QCOMPARE(QJsonDocument::fromJson(m_strOut.toUtf8()).array().size(), 8);
    QCOMPARE(
        m_pCluster->Query("SELECT count(*) FROM entries WHERE operation = 'write' AND result = 'done' AND "
                          "changes LIKE '%→ 20 ...%'"),
        QStringLiteral("2"));
    QCOMPARE(Run({"history", "--sync", "--record", m_pCluster->Url()}), 0);
    QVERIFY2(m_strErr.contains("Передано в базу записей: 0."), qPrintable(m_strErr));
}

void TestPlant::databaseRefuses_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong password") << "password"
                                    << "password authentication failed";
    QTest::newRow("no such host") << "host"
                                  << "No such file or directory";
}

void TestPlant::databaseRefuses()
{
    // A plant's database that refuses the station: one clear line, the unit configured, the
    // entries kept here and never the password on the screen.
    QFETCH(QString, how);
    QFETCH(QString, reason);
    QString strUrl = m_pCluster->Url().replace("postgres@", "station:Wrong-42@");
    if (how == "host")
        strUrl = m_pCluster->Url().replace("/sock", "/nowhere");
    CSimulator sim;
    QVERIFY(sim.Start());
    QCOMPARE(Run({"set", "--low", "10", "--port", sim.SlavePath(), "--record", strUrl}), 0);
    QCOMPARE(sim.WithDevice([](CSimDevice& device) { return float(device.Image().fLowLimit); }), 10.0f);
    const QStringList lines = m_strErr.split('\n').filter("записи ведутся на этой машине");
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].contains(reason), qPrintable(lines[0]));
    QVERIFY2(!m_strErr.contains("Wrong-42"), qPrintable(m_strErr));
    // With the right password the entries go up, once.
    strUrl = m_pCluster->Url().replace("postgres@", "station:Right-42@");
    QCOMPARE(Run({"history", "--sync", "--record", strUrl}), 0);
    QVERIFY2(m_strErr.contains("Передано в базу записей: 2."), qPrintable(m_strErr));
    QCOMPARE(PlantEntries(), 2);
}

void TestPlant::uploadCutBeforeItsMark()
{
    // Nothing counts as uploaded that the plant has not committed: a plant that refuses every
    // entry leaves them all waiting here. An upload whose marks were lost after the plant's
    // commit (the process killed between the two) is done again, and the plant holds each entry
    // once.
    QCOMPARE(Run({"history", "--record", m_pCluster->Url()}), 0); // the tables exist
    m_pCluster->Query(
        "CREATE FUNCTION refuse() RETURNS trigger AS $$ BEGIN RAISE EXCEPTION 'refused'; END $$ "
        "LANGUAGE plpgsql; CREATE TRIGGER refuse BEFORE INSERT ON entries FOR EACH ROW EXECUTE "
        "FUNCTION refuse()");
    CSimulator sim;
    QVERIFY(sim.Start());
    sim.WithDevice([](CSimDevice& device) { device.SetUnit(40); });
    QCOMPARE(Run({"set", "--low", "10", "--port", sim.SlavePath(), "--record", m_pCluster->Url()}), 0);
    QVERIFY2(m_strErr.contains("записи ведутся на этой машине"), qPrintable(m_strErr));
    QCOMPARE(PlantEntries(), 0);
    m_pCluster->Query("DROP TRIGGER refuse ON entries; DROP FUNCTION refuse()");
    QCOMPARE(Run({"history", "--sync", "--record", m_pCluster->Url()}), 0);
    QVERIFY2(m_strErr.contains("Передано в базу записей: 2."), qPrintable(m_strErr));
    QCOMPARE(PlantEntries(), 2);
    // The local marks lost, as if the upload had been killed right after the plant's commit.
    const QString strLocal = m_pFolder->FilePath("data/Trelm/Конфигуратор ЗИНТ-9/record.sqlite");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "marks");
        db.setDatabaseName(strLocal);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("UPDATE entries SET uploaded = 0"));
        QCOMPARE(query.numRowsAffected(), 2);
        db.close();
    }
    QSqlDatabase::removeDatabase("marks");
    QCOMPARE(Run({"history", "--sync", "--record", m_pCluster->Url()}), 0);
    QVERIFY2(m_strErr.contains("Передано в базу записей: 2."), qPrintable(m_strErr));
    QCOMPARE(PlantEntries(), 2);
    CRecordStore local;
    QVERIFY(local.Open(strLocal));
    QList<CRecordEntry> waiting;
    QVERIFY(local.Waiting(10, waiting));
    QCOMPARE(waiting.size(), 0);
}

void TestPlant::waitingEntriesInHistory()
{
    // W1 made with the plant up, W2 with it down: the history shows W2, the other stations'
    // entries and W1, newest first, each once, this station's copy where the plant holds one
    // too, and its limit over them all.
    CSimulator sim;
    QVERIFY(sim.Start());
    const QStringList read{"read", "--port", sim.SlavePath(), "--record", m_pCluster->Url()};
    QCOMPARE(Run(read), 0);
    QCOMPARE(PlantEntries(), 1);
    m_pCluster->Stop();
    QCOMPARE(Run(read), 0);
    QVERIFY2(m_strErr.contains("записи ведутся на этой машине"), qPrintable(m_strErr));
    QVERIFY(m_pCluster->Resume());
    QCOMPARE(PlantEntries(), 1);
    QList<CRecordEntry> local;
    {
        CRecordStore store;
        QVERIFY(store.Open(m_pFolder->FilePath("data/Trelm/Конфигуратор ЗИНТ-9/record.sqlite")));
        QVERIFY(store.Find({}, local));
    }
    QCOMPARE(local.size(), 2);
    const QString strW2 = local[0].strId, strW1 = local[1].strId;
    // Another station's entry between the two, and the plant's copy of W1 unlike this station's.
    CRecordEntry other = local[1];
    other.strId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    other.strStation = "line-9";
    other.timeStart = local[1].timeStart.addMSecs(local[1].timeStart.msecsTo(local[0].timeStart) / 2);
    {
        CRecordStore plant;
        QVERIFY(plant.Open(m_pCluster->Url()) && plant.Put(other, {}));
    }
    m_pCluster->Query("UPDATE entries SET operator = 'plant copy' WHERE id = '" + strW1 + "'");
    auto ids = [](const QJsonArray& json)
    {
        QStringList shown;
        for (const QJsonValue& entry : json)
            shown << entry["id"].toString();
        return shown;
    };
    const QStringList history{"history", "--json", "--record", m_pCluster->Url()};
    QCOMPARE(Run(history), 0);
    QVERIFY2(m_strErr.isEmpty(), qPrintable(m_strErr));
    const QJsonArray json = QJsonDocument::fromJson(m_strOut.toUtf8()).array();
    QCOMPARE(ids(json), QStringList({strW2, other.strId, strW1}));
    QCOMPARE(json[2]["operator"].toString(), local[1].strOperator);
    QCOMPARE(Run({"history", "--record", m_pCluster->Url()}), 0);
    const QStringList lines = m_strOut.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[0].endsWith(strW2) && lines[1].endsWith(other.strId) && lines[2].endsWith(strW1),
             qPrintable(m_strOut));
    QVERIFY2(!m_strOut.contains("plant copy"), qPrintable(m_strOut));
    QCOMPARE(Run(history + QStringList{"--limit", "2"}), 0);
    QCOMPARE(ids(QJsonDocument::fromJson(m_strOut.toUtf8()).array()), QStringList({strW2, other.strId}));
    // The plant away: this station's entries, said so.
    m_pCluster->Stop();
    QCOMPARE(Run(history), 0);
    QVERIFY(m_pCluster->Resume());
    QVERIFY2(m_strErr.contains("недоступна") && m_strErr.contains("показаны записи этой машины"),
             qPrintable(m_strErr));
    QCOMPARE(ids(QJsonDocument::fromJson(m_strOut.toUtf8()).array()), QStringList({strW2, strW1}));
}

QTEST_GUILESS_MAIN(TestPlant)
#include "tst_plant.moc"
