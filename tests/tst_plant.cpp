#include "cdelayproxy.h"
#include "colderrecord.h"
#include "cpgcluster.h"
#include "cquicktry.h"
#include "crecordrows.h"
#include "crecordschema.h"
#include "crecordstore.h"
#include "crecordupload.h"
#include "csimulator.h"
#include "ctestentries.h"
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

using EFault = CSimDevice::EFault;

namespace
{
CRecordEntry Entry(const QString& strId, const QString& strResult)
{
    CRecordEntry entry;
    entry.strId = strId;
    entry.timeStart = QDateTime::currentDateTimeUtc();
    entry.strStation = "line-1";
    entry.strOperator = "ivanov";
    entry.strOperation = "write";
    entry.strResult = strResult;
    entry.strFingerprint = QString(64, 'a');
    return entry;
}
} // namespace

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
    // The plant's ids, or those of the station's entries marked uploaded.
    QSet<QString> PlantIds()
    {
        const QStringList ids = m_pCluster->Query("SELECT id FROM entries").split('\n', Qt::SkipEmptyParts);
        return QSet<QString>(ids.begin(), ids.end());
    }
    QSet<QString> MarkedIds(const QString& strLocal)
    {
        QSet<QString> ids;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "marked");
            db.setDatabaseName(strLocal);
            QSqlQuery query(db);
            if (db.open() && query.exec("SELECT id FROM entries WHERE uploaded = 1"))
                while (query.next())
                    ids.insert(query.value(0).toString());
        }
        QSqlDatabase::removeDatabase("marked");
        return ids;
    }
    // The station's local record, as zint9 finds it in the test's folder.
    QString LocalRecord() const
    {
        return m_pFolder->FilePath("data/Trelm/Конфигуратор ЗИНТ-9/record.sqlite");
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
        QVERIFY2(m_pCluster->AddPasswordLogin("line2", "Other-42"), qPrintable(m_pCluster->m_strError));
        QVERIFY2(m_pCluster->AddPasswordLogin("bi", "Reader-42"), qPrintable(m_pCluster->m_strError));
        QVERIFY2(m_pCluster->AddPasswordLogin("spaced", "Two words 42"), qPrintable(m_pCluster->m_strError));
    }
    void init()
    {
        m_pFolder = std::make_unique<CTestFolder>();
        // Each test a plant of its own; the tables may not exist yet, and a tool's views on them go too.
        m_pCluster->Query(
            "DROP VIEW IF EXISTS unit_latest CASCADE; DROP TABLE IF EXISTS entries, images, meta");
        // The owner's step; the stations' login is a member of the role it grants to, no more.
        QCOMPARE(Run({"history", "--init", "--record", m_pCluster->Url()}), 0);
        QVERIFY(!m_pCluster->Query("GRANT zint9_station TO station, line2, spaced; GRANT zint9_reader TO bi")
                     .isNull());
    }
    void cleanupTestCase() { m_pCluster.reset(); }
    void stationsAtOnce();
    void databaseAwayAndBack();
    void databaseRefuses_data();
    void databaseRefuses();
    void uploadCutBeforeItsMark();
    void loginsKeepToTheirWork();
    void readsSeeWhatWaits();
    void waitingEntriesInHistory();
    void stationNeverMakesTables();
    void olderPlantUpgraded();
    void uploadKilledOverASlowLink();
    void manyRowsKeepTheConflictRule_data();
    void manyRowsKeepTheConflictRule();
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
    QTest::newRow("wrong password in the query") << "query"
                                                 << "password authentication failed";
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
    if (how == "query")
        strUrl = m_pCluster->Url().replace("postgres@", "station@") + "&password=Wrong-42";
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

void TestPlant::uploadKilledOverASlowLink()
{
    // A backlog of several chunks goes up over a link that adds 100 ms to each answer, and the
    // sync is killed once some of it is up: the plant holds whole chunks, the oldest; nothing is
    // marked here that the plant lacks, and at most a chunk it holds is not; a second sync brings
    // the rest up, every entry once.
    QCOMPARE(Run({"history", "--record", m_pCluster->Url()}), 0); // the tables exist
    constexpr int kBacklog = 3 * CRecordUpload::kChunk;
    CRecordStore::Images images;
    const QList<CRecordEntry> backlog = CTestEntries::Reads(kBacklog, "done", images);
    {
        CRecordStore local;
        QVERIFY2(local.Open(LocalRecord()) && local.PutAll(backlog, images),
                 qPrintable(local.m_strLastError));
    }
    CDelayProxy proxy(m_pCluster->SocketPath(), 100);
    QVERIFY2(proxy.Start(), qPrintable(proxy.m_strError));
    const QStringList sync{"history", "--sync", "--record", m_pCluster->TcpUrl(proxy.Port())};
    const auto pSync = Start(sync);
    // Killed in the middle of a chunk: the plant holds one, and the next one's transaction is open.
    auto midChunk = [this]
    {
        return m_pCluster->Query("SELECT EXISTS (SELECT 1 FROM entries) AND EXISTS (SELECT 1 FROM "
                                 "pg_stat_activity WHERE backend_type = 'client backend' AND xact_start IS "
                                 "NOT NULL AND pid <> pg_backend_pid())") == "t";
    };
    QTRY_VERIFY_WITH_TIMEOUT(midChunk() || pSync->state() == QProcess::NotRunning, 120000);
    if (pSync->state() != QProcess::NotRunning)
    {
        pSync->kill();
        QVERIFY(pSync->waitForFinished(30000));
    }
    const QSet<QString> plant = PlantIds();
    QVERIFY2(plant.size() > 0 && plant.size() < kBacklog, qPrintable(QString::number(plant.size())));
    QCOMPARE(plant.size() % CRecordUpload::kChunk, 0);
    for (qsizetype i = 0; i < backlog.size(); ++i)
        QVERIFY2(plant.contains(backlog[i].strId) == (i < plant.size()), qPrintable(backlog[i].strId));
    const QSet<QString> marked = MarkedIds(LocalRecord());
    QVERIFY(marked.size() > 0 || plant.size() == CRecordUpload::kChunk);
    QVERIFY(plant.contains(marked));
    // At most the chunk the plant committed last goes up again.
    QVERIFY(plant.size() - marked.size() <= CRecordUpload::kChunk);
    QVERIFY2(Run(sync) == 0, qPrintable(m_strErr));
    QVERIFY2(m_strErr.contains(QStringLiteral("Передано в базу записей: %1.").arg(kBacklog - marked.size())),
             qPrintable(m_strErr));
    QCOMPARE(PlantEntries(), kBacklog);
    QCOMPARE(MarkedIds(LocalRecord()).size(), kBacklog);
    QCOMPARE(m_pCluster->Query("SELECT count(*) FROM images"), QString::number(images.size()));
}

void TestPlant::manyRowsKeepTheConflictRule_data()
{
    QTest::addColumn<bool>("bPlant");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("given");
    QTest::addColumn<bool>("bReplaced");
    for (const bool bPlant : {true, false})
    {
        const QString strWhere = bPlant ? "plant" : "station";
        QTest::newRow(qPrintable(strWhere + ": a final entry stays")) << bPlant << "done"
                                                                      << "attempted" << false;
        QTest::newRow(qPrintable(strWhere + ": an attempted entry is completed")) << bPlant << "attempted"
                                                                                  << "done" << true;
    }
}

void TestPlant::manyRowsKeepTheConflictRule()
{
    // More entries at once than one statement carries, half of them given again among as many
    // new ones: a stored entry is replaced only where the rule lets it; every new one is stored.
    QFETCH(bool, bPlant);
    QFETCH(QString, stored);
    QFETCH(QString, given);
    QFETCH(bool, bReplaced);
    const int nCount = CRecordRows::kMaxValues / int(CRecordSchema::Columns().split(", ").size()) + 100;
    CRecordStore store;
    QVERIFY2(store.Open(bPlant ? m_pCluster->Url() : m_pFolder->FilePath("station.sqlite")),
             qPrintable(store.m_strLastError));
    CRecordStore::Images images;
    const QList<CRecordEntry> entries = CTestEntries::Reads(nCount, stored, images);
    QVERIFY2(store.PutAll(entries, images), qPrintable(store.m_strLastError));
    QList<CRecordEntry> again = CTestEntries::Reads(nCount, given, images);
    for (int i = 0; i < nCount / 2; ++i)
    {
        again[2 * i].strId = entries[i].strId;
        again[2 * i].nDurationMs = 7; // which copy the record keeps
    }
    QVERIFY2(store.PutAll(again, images), qPrintable(store.m_strLastError));
    QList<CRecordEntry> found;
    QVERIFY(store.Find({}, found));
    QHash<QString, CRecordEntry> now;
    for (const CRecordEntry& entry : std::as_const(found))
        now.insert(entry.strId, entry);
    QCOMPARE(now.size(), nCount + nCount - nCount / 2);
    for (int i = 0; i < nCount; ++i)
    {
        const CRecordEntry& entry = now[entries[i].strId];
        const bool bGiven = i < nCount / 2 && bReplaced;
        QCOMPARE(entry.strResult, bGiven ? given : stored);
        QCOMPARE(entry.nDurationMs, bGiven ? 7 : 0);
    }
    for (const CRecordEntry& entry : std::as_const(again))
        QVERIFY(now.contains(entry.strId));
}

QTEST_GUILESS_MAIN(TestPlant)
void TestPlant::loginsKeepToTheirWork()
{
    // A station's login adds entries and completes its own "attempted" ones; whatever any login
    // sends, through zint9 or straight to the server, a final entry stays as it was made and
    // another login's entry is not changed at all. A reader's login reads the units' view only.
    const QString strOne = m_pCluster->Url().replace("postgres@", "station:Right-42@");
    const QString strTwo = m_pCluster->Url().replace("postgres@", "line2:Other-42@");
    const QString strReader = m_pCluster->Url().replace("postgres@", "bi:Reader-42@");
    CRecordStore one, two;
    QVERIFY2(one.Open(strOne), qPrintable(one.m_strLastError));
    QVERIFY2(two.Open(strTwo), qPrintable(two.m_strLastError));
    QVERIFY(one.Put(Entry("final", "done"), {}) && one.Put(Entry("open", "attempted"), {}));
    CRecordEntry forged = Entry("final", "done");
    forged.strOperator = "forger";
    forged.strSerial = "X-1";
    forged.bAmbiguous = true;
    forged.strImageAfter = QString(64, 'b');
    QVERIFY2(two.Put(forged, {}), qPrintable(two.m_strLastError));
    QVERIFY(two.Put(Entry("open", "done"), {})); // the same station's name, another login
    QVERIFY(m_pCluster->QueryAs(strTwo, "UPDATE entries SET operator = 'forger', serial = 'X-2'"));
    // No image goes in under another's key, before its station uploads it.
    QVERIFY(!m_pCluster->QueryAs(strTwo, "INSERT INTO images VALUES ('" + QString(64, 'c') + "', '\\x00')"));
    const QString strRow = "SELECT operator || '/' || coalesce(serial, '') || '/' || ambiguous || '/' || "
                           "coalesce(image_after, '') || '/' || result FROM entries WHERE id = ";
    QCOMPARE(m_pCluster->Query(strRow + "'final'"), QStringLiteral("ivanov//0//done"));
    QCOMPARE(m_pCluster->Query(strRow + "'open'"), QStringLiteral("ivanov//0//attempted"));
    // Not as the role either: the login, not a role it sets, is who made an entry.
    QVERIFY(m_pCluster->QueryAs(
        strOne, "SET ROLE zint9_station; INSERT INTO entries (id, started, duration_ms, station, operator, "
                "program_version, operation, result, demo, partial, ambiguous) VALUES ('roled', "
                "'2026-12-10T10:00:00.000Z', 0, 'line-1', 'ivanov', '1', 'write', 'attempted', 0, 0, 0)"));
    QVERIFY(m_pCluster->QueryAs(strTwo, "SET ROLE zint9_station; UPDATE entries SET operator = 'forger'"));
    QCOMPARE(m_pCluster->Query(strRow + "'roled'"), QStringLiteral("ivanov//0//attempted"));
    // Its own final entry only takes a later doubt; its own attempted one is completed.
    QVERIFY(m_pCluster->QueryAs(strOne,
                                "UPDATE entries SET operator = 'forger', ambiguous = 1 WHERE id = 'final'"));
    QCOMPARE(m_pCluster->Query(strRow + "'final'"), QStringLiteral("ivanov//1//done"));
    QVERIFY(one.Put(Entry("open", "done"), {}));
    QCOMPARE(m_pCluster->Query(strRow + "'open'"), QStringLiteral("ivanov//0//done"));
    for (const char* pszRefused : {"DELETE FROM entries", "DELETE FROM images", "UPDATE meta SET value = '1'",
                                   "CREATE TABLE mine (a INTEGER)", "DROP VIEW unit_latest"})
        QVERIFY2(!m_pCluster->QueryAs(strTwo, pszRefused), pszRefused);
    QVERIFY(m_pCluster->QueryAs(strReader, "SELECT count(*) FROM unit_latest"));
    // A password with a space, given in the query, is the password whole.
    CRecordStore spaced;
    QVERIFY2(
        spaced.Open(m_pCluster->Url().replace("postgres@", "") + "&user=spaced&password=Two%20words%2042"),
        qPrintable(spaced.m_strLastError));
    for (const char* pszRefused :
         {"SELECT count(*) FROM entries", "DELETE FROM entries", "INSERT INTO images VALUES ('x', '')"})
        QVERIFY2(!m_pCluster->QueryAs(strReader, pszRefused), pszRefused);
}

void TestPlant::stationNeverMakesTables()
{
    // Before the owner's step a station's run makes nothing in the plant's database and keeps its
    // entries here, saying who makes the tables; it reads its own meanwhile.
    m_pCluster->Query("DROP VIEW unit_latest; DROP TABLE entries, images, meta");
    const QString strUrl = m_pCluster->Url().replace("postgres@", "station:Right-42@");
    CSimulator sim;
    QVERIFY(sim.Start());
    QCOMPARE(Run({"read", "--port", sim.SlavePath(), "--record", strUrl}), 0);
    QVERIFY2(m_strErr.contains("нет таблиц записей: их создаёт её владелец командой zint9 history --init"),
             qPrintable(m_strErr));
    QCOMPARE(Run({"history", "--json", "--record", strUrl}), 0);
    QCOMPARE(QJsonDocument::fromJson(m_strOut.toUtf8()).array().size(), 1);
    QCOMPARE(m_pCluster->Query("SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"),
             QStringLiteral("0"));
    QCOMPARE(Run({"history", "--init", "--record", m_pCluster->Url()}), 0);
    QCOMPARE(Run({"history", "--sync", "--record", strUrl}), 0);
    QCOMPARE(PlantEntries(), 1);
}

void TestPlant::olderPlantUpgraded()
{
    // A plant whose tables an earlier version made, with a tool's view built on its units' view:
    // a station keeps its entries here and names both versions; the owner's history --init
    // upgrades it in place, the tool's view and the readers' grant kept; then the view tells a
    // unit read after a refused write from a configured one.
    const QString strDrop = "DROP VIEW unit_latest; ";
    QVERIFY(!m_pCluster
                 ->Query(strDrop + COlderRecord::UnitView4() +
                         "; UPDATE meta SET value = '4' WHERE key = 'schema'; GRANT SELECT ON unit_latest TO "
                         "zint9_reader; CREATE VIEW bi_units AS SELECT serial, result FROM unit_latest")
                 .isNull());
    const QString strStation = m_pCluster->Url().replace("postgres@", "station:Right-42@");
    const QString strReader = m_pCluster->Url().replace("postgres@", "bi:Reader-42@");
    CSimulator sim;
    QVERIFY(sim.Start());
    sim.WithDevice([](CSimDevice& device) { device.SetUnit(60); });
    const QStringList set{"set", "--port", sim.SlavePath(), "--record", strStation, "--low"};
    QCOMPARE(Run(set + QStringList{"10"}), 0);
    QVERIFY2(m_strErr.contains("схемы 4") &&
                 m_strErr.contains(QStringLiteral("схемой %1").arg(CRecordSchema::kVersion)) &&
                 m_strErr.contains("history --init"),
             qPrintable(m_strErr));
    QCOMPARE(PlantEntries(), 0);
    QCOMPARE(Run({"history", "--init", "--record", m_pCluster->Url()}), 0);
    QVERIFY2(m_strErr.contains(QStringLiteral("(схема %1)").arg(CRecordSchema::kVersion)),
             qPrintable(m_strErr));
    QCOMPARE(Run({"history", "--sync", "--record", strStation}), 0);
    QCOMPARE(PlantEntries(), 2);
    const QString strUnit =
        "SELECT operation || '/' || result || '/' || last_write_result || '/' || configured "
        "FROM unit_latest";
    QCOMPARE(m_pCluster->Query(strUnit), QStringLiteral("write/done/done/1"));
    QCOMPARE(m_pCluster->Query("SELECT coalesce(serial, '-') || '/' || result FROM bi_units"),
             QStringLiteral("-/done"));
    QVERIFY(m_pCluster->QueryAs(strReader, "SELECT configured, last_write_time FROM unit_latest"));
    sim.WithDevice([](CSimDevice& device)
                   { device.AddLastingFault(EFault::Refusal, CSimDevice::ERequest::Write); });
    QCOMPARE(Run(set + QStringList{"20"}), 1);
    QVERIFY2(Run({"read", "--port", sim.SlavePath(), "--record", strStation}) == 0, qPrintable(m_strErr));
    QCOMPARE(m_pCluster->Query(strUnit), QStringLiteral("read/done/refused/0"));
}

void TestPlant::readsSeeWhatWaits()
{
    // A write made while the plant was away is this station's newest word on the unit until it
    // goes up: restore undoes that write, not the one before it, and diff finds its images.
    CSimulator sim;
    QVERIFY(sim.Start());
    sim.WithDevice([](CSimDevice& device) { device.SetUnit(50); });
    const QStringList set{"set", "--port", sim.SlavePath(), "--record", m_pCluster->Url(), "--low"};
    QCOMPARE(Run(set + QStringList{"10"}), 0);
    QCOMPARE(PlantEntries(), 2);
    m_pCluster->Stop();
    QCOMPARE(Run(set + QStringList{"20"}), 0);
    QVERIFY(m_pCluster->Resume());
    QCOMPARE(PlantEntries(), 2);
    QString strWrite;
    {
        CRecordStore local;
        QList<CRecordEntry> waiting;
        QVERIFY(local.Open(LocalRecord(), 3, CRecordStore::EAccess::Read) && local.Waiting(10, waiting));
        for (const CRecordEntry& entry : std::as_const(waiting))
            if (entry.strOperation == "write")
                strWrite = entry.strId;
    }
    QVERIFY(!strWrite.isEmpty());
    QCOMPARE(Run({"diff", "@" + strWrite + "^", "@" + strWrite, "--record", m_pCluster->Url()}), 1);
    QVERIFY2(m_strOut.contains("10 ... 1000") && m_strOut.contains("20 ... 1000"),
             qPrintable(m_strOut + m_strErr));
    QCOMPARE(Run({"restore", "--port", sim.SlavePath(), "--record", m_pCluster->Url()}), 0);
    QVERIFY2(m_strErr.contains(strWrite), qPrintable(m_strErr));
    QCOMPARE(sim.WithDevice([](CSimDevice& device) { return float(device.Image().fLowLimit); }), 10.0f);
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

#include "tst_plant.moc"
