#include "cdevicefixture.h"
#include "cfingerprint.h"
#include "cpgcluster.h"
#include "crecordhistory.h"
#include "crecordjournal.h"
#include "crecordkeeper.h"
#include "crecordspool.h"
#include "crecordstore.h"
#include "csampleimages.h"
#include "cwritesession.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QUuid>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

using EFault = CSimDevice::EFault;

namespace
{
// A unit of its own: a device block that is neither erased nor another unit's.
CParamZT01 Unit(quint8 bySeed)
{
    CParamZT01 image = CTestFolder::Filled(0x00);
    for (int i = 0; i < CParamZT01::kImageSize; ++i)
        image.Image()[i] = quint8(i * 13 + bySeed);
    image.CopyFrom(CSampleImages::SensorImage(0), CParamZT01::kSensorData); // type K, its table whole
    image.fLowLimit = 0;
    image.fHighLimit = 500;
    image.fFailOutput = 3.5f;
    image.fPeakBand = 0;
    image.fFilterTime = 1;
    return image;
}

// The nth entry of a history over many pages: seven at each start, so that pages end inside a
// start; the operator says whose copy it is.
CRecordEntry HistoryEntry(int n, const QString& strWhose)
{
    static const QDateTime kStart = QDateTime::currentDateTimeUtc().addDays(-3);
    CRecordEntry entry;
    entry.strId = QUuid::createUuidV5(QUuid(), QString::number(n)).toString(QUuid::WithoutBraces);
    entry.timeStart = kStart.addSecs(n / 7);
    entry.strStation = n % 2 ? "line-a" : "line-b";
    entry.strOperator = strWhose;
    entry.strOperation = "read";
    entry.strResult = "done";
    return entry;
}
} // namespace

class TestRecord : public QObject
{
    Q_OBJECT

private:
    void PoisonedSpoolIsKeptAside(CDeviceFixture& f, CRecordStore& store, const QString& strSpool);

private slots:
    void fingerprint_data();
    void fingerprint();
    void concurrentWriters_data();
    void concurrentWriters();
    void tornWriteIsKnown_data();
    void tornWriteIsKnown();
    void storeMissingKeepsEntries();
    void plantAwayForQueries();
    void olderRecordUpgraded_data();
    void olderRecordUpgraded();
    void historyMerged_data();
    void historyMerged();

private:
    std::unique_ptr<CPgCluster> m_pCluster; // started by the first case that needs it
};

void TestRecord::fingerprint_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<bool>("identifies");
    // The device block is bytes 0-79, 120-127 and 140-141; nothing else counts.
    for (int nAddress : {0, 79, 120, 127, 140, 141})
        QTest::addRow("byte %d is the unit's", nAddress) << nAddress << true;
    for (int nAddress : {80, 119, 128, 139, 142, 511})
        QTest::addRow("byte %d is not", nAddress) << nAddress << false;
}

void TestRecord::fingerprint()
{
    QFETCH(int, address);
    QFETCH(bool, identifies);
    const CParamZT01 unit = Unit(1);
    CParamZT01 other = unit;
    other.Image()[address] ^= 0x40;
    QCOMPARE(CFingerprint::Of(unit).size(), 64);
    QCOMPARE(CFingerprint::Of(other) != CFingerprint::Of(unit), identifies);
    // An erased block identifies nothing, whatever the rest holds.
    for (quint8 byErased : {quint8(0x00), quint8(0xFF)})
    {
        CParamZT01 erased = CTestFolder::Filled(byErased);
        erased.Image()[address] = identifies ? byErased : quint8(0x5A);
        QCOMPARE(CFingerprint::Of(erased), QString());
        QCOMPARE(CFingerprint::Short(CFingerprint::Of(erased)), QStringLiteral("не определён"));
    }
    QCOMPARE(CFingerprint::Short(CFingerprint::Of(unit)), CFingerprint::Of(unit).left(12));
}

void TestRecord::concurrentWriters_data()
{
    QTest::addColumn<bool>("plant");
    QTest::newRow("the station's SQLite file") << false;
    QTest::newRow("a plant's PostgreSQL database") << true;
}

void TestRecord::concurrentWriters()
{
    // Writers that each read before they write lose entries unless every transaction takes the
    // write lock at once; each thread has a connection of its own, as each process would. On a
    // plant database all of them also create the tables at once.
    QFETCH(bool, plant);
    CTestFolder folder;
    CPgCluster cluster;
    if (plant)
        QVERIFY2(cluster.Start(), qPrintable(cluster.m_strError));
    const QString strPath = plant ? cluster.Url() : "sqlite:" + folder.FilePath("record.sqlite");
    constexpr int kWriters = 8;
    constexpr int kEntries = 40;
    std::vector<std::thread> writers;
    std::atomic<int> nFailed{0};
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back(
            [&, w]
            {
                CRecordStore store;
                if (!store.Open(strPath))
                {
                    qWarning("%s", qPrintable(store.m_strLastError));
                    nFailed += kEntries;
                    return;
                }
                for (int i = 0; i < kEntries; ++i)
                {
                    bool bPartial = false;
                    CRecordEntry entry;
                    entry.strId = QStringLiteral("%1-%2").arg(w).arg(i);
                    entry.timeStart = QDateTime::currentDateTimeUtc();
                    entry.strOperation = "write";
                    entry.strResult = "done";
                    entry.strFingerprint = QString::number(w);
                    const CParamZT01 image = Unit(quint8(w * kEntries + i));
                    if (!store.IsPartialUnit(entry.strFingerprint, bPartial) ||
                        !store.Put(entry, {{CFingerprint::ImageHash(image), CTestFolder::Bytes(image)}}))
                    {
                        if (nFailed++ == 0)
                            qWarning("%s", qPrintable(store.m_strLastError));
                    }
                }
            });
    for (std::thread& writer : writers)
        writer.join();
    QCOMPARE(nFailed.load(), 0);
    CRecordStore store;
    QVERIFY(store.Open(strPath));
    QList<CRecordEntry> entries;
    QVERIFY2(store.Find({}, entries), qPrintable(store.m_strLastError));
    QCOMPARE(entries.size(), kWriters * kEntries);
    QByteArray bytes;
    QVERIFY(store.Image(CFingerprint::ImageHash(Unit(kEntries + 3)), bytes));
    QCOMPARE(bytes, CTestFolder::Bytes(Unit(kEntries + 3)));
}

void TestRecord::tornWriteIsKnown_data()
{
    QTest::addColumn<int>("cutAt");
    QTest::addColumn<bool>("partial");
    // The new limit is in block 14, the new filter time in block 18.
    QTest::newRow("cut between the changes") << 16 << true;
    QTest::newRow("cut after every change") << 20 << false;
}

void TestRecord::tornWriteIsKnown()
{
    QFETCH(int, cutAt);
    QFETCH(bool, partial);
    CDeviceFixture f;
    CRecordStore store;
    QVERIFY(store.Open(f.m_folder.FilePath("record.sqlite")));
    CRecordJournal journal(store, CRecordJournal::DefaultIdentity());
    const CParamZT01 before = Unit(7);
    f.SetDeviceImage(before);
    CWriteSession session(f.m_app, &journal);
    QVERIFY(session.Connect(f.m_sim.SlavePath()));
    QVERIFY(!journal.UnitPartial());
    const QString strUnit = CFingerprint::Of(before);
    QCOMPARE(journal.Last().strFingerprint, strUnit);

    // The adapter is pulled out while a block is on its way.
    f.AddFault(f.Fault(EFault::HangUp, cutAt, 1, CSimDevice::ERequest::Write));
    f.m_app.m_ParamEdit.fHighLimit = 700;
    f.m_app.m_ParamEdit.fFilterTime = 2;
    CWriteSession::SRequest request;
    request.strBackupDir = f.m_folder.FilePath("backups");
    QVERIFY(!session.Write(request));
    const CRecordEntry torn = journal.Last();
    QCOMPARE(torn.strResult, QStringLiteral("interrupted"));
    QCOMPARE(torn.nLastAcknowledged, (cutAt - 1) * 8);
    QCOMPARE(torn.strStep, QStringLiteral("write"));
    QCOMPARE(torn.bPartial, partial);
    QCOMPARE(torn.strImageBefore, CFingerprint::ImageHash(before));

    // Plugged in again, a torn unit is known as such until a write goes through; one that had
    // taken every changed byte holds a whole image.
    f.m_sim.Stop();
    QVERIFY(f.m_sim.Start());
    QVERIFY(session.Connect(f.m_sim.SlavePath()));
    QCOMPARE(journal.UnitPartial(), partial);
    bool bPartial = false;
    QVERIFY(store.IsPartialImage(journal.Last().strImageAfter, bPartial));
    QCOMPARE(bPartial, partial); // the image itself, as a backup of it would hold it
    f.m_app.m_ParamEdit.fHighLimit = 700;
    QVERIFY(session.Write(request));
    QCOMPARE(journal.Last().strResult, QStringLiteral("done"));
    QCOMPARE(journal.Last().verified, std::optional<bool>(true));
    QVERIFY(store.IsPartialUnit(strUnit, bPartial));
    QVERIFY(!bPartial);

    QList<CRecordEntry> history;
    CRecordStore::SQuery query;
    query.strFingerprint = CFingerprint::Short(strUnit);
    QVERIFY(store.Find(query, history));
    QStringList outcomes;
    for (const CRecordEntry& entry : history)
        outcomes << entry.strOperation + " " + entry.strResult;
    QCOMPARE(outcomes, QStringList({"write done", "read done", "write interrupted", "read done"}));

    // A read marks its unit as in doubt, never its image: a clone's write beside it tears nothing.
    CRecordEntry read;
    read.strId = "in-doubt";
    read.timeStart = QDateTime::currentDateTimeUtc();
    read.strOperation = "read";
    read.strResult = "done";
    read.bPartial = true;
    read.strImageAfter = CFingerprint::ImageHash(Unit(3));
    QVERIFY(store.Put(read, {}));
    QVERIFY(store.IsPartialImage(read.strImageAfter, bPartial));
    QVERIFY(!bPartial);
}

void TestRecord::storeMissingKeepsEntries()
{
    CDeviceFixture f;
    const QString strSpool = f.m_folder.FilePath("spool.jsonl");
    f.SetDeviceImage(Unit(9));
    QString strId;
    {
        // A record in a folder that cannot be made: the work goes on, and the user hears once.
        f.m_folder.WriteFile("file", "");
        CRecordStore store;
        QVERIFY(!store.Open(f.m_folder.FilePath("file/record.sqlite")));
        CRecordJournal journal(store, CRecordJournal::DefaultIdentity(), strSpool);
        CWriteSession session(f.m_app, &journal);
        QVERIFY(session.Connect(f.m_sim.SlavePath()));
        QVERIFY(session.Connect(f.m_sim.SlavePath()));
        QVERIFY(!journal.TakeTrouble().isEmpty());
        QVERIFY(journal.TakeTrouble().isEmpty());
        strId = journal.Last().strId;
    }
    // Another record never takes them: they wait for their own.
    QList<CRecordEntry> entries;
    {
        CRecordStore other;
        QVERIFY(other.Open(f.m_folder.FilePath("other.sqlite")));
        CRecordJournal journal(other, CRecordJournal::DefaultIdentity(), strSpool);
        QVERIFY(other.Find({}, entries));
        QVERIFY(entries.isEmpty());
    }
    // The next run that reaches their record stores what waited, with its own times and ids.
    QVERIFY(QFile::remove(f.m_folder.FilePath("file")));
    QVERIFY(QDir(f.m_folder.Path()).mkdir("file"));
    CRecordStore store;
    QVERIFY(store.Open("sqlite:" + f.m_folder.FilePath("file/record.sqlite")));
    CRecordJournal journal(store, CRecordJournal::DefaultIdentity(), strSpool);
    QVERIFY(journal.TakeTrouble().isEmpty());
    QVERIFY(store.Find({}, entries));
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.first().strId, strId);
    QCOMPARE(entries.first().strFingerprint, CFingerprint::Of(Unit(9)));
    QByteArray image;
    QVERIFY(store.Image(entries.first().strImageAfter, image));
    QCOMPARE(image, CTestFolder::Bytes(Unit(9)));
    // Stored once: a second run finds nothing more waiting.
    CRecordJournal again(store, CRecordJournal::DefaultIdentity(), strSpool);
    QVERIFY(store.Find({}, entries));
    QCOMPARE(entries.size(), 2);
    PoisonedSpoolIsKeptAside(f, store, strSpool);
}

void TestRecord::PoisonedSpoolIsKeptAside(CDeviceFixture& f, CRecordStore& store, const QString& strSpool)
{
    // A forged entry whose image is not what its key says, a line cut short, one not UTF-8, and
    // an honest one: only the honest one is taken, the others are kept aside, said once.
    CRecordEntry forged;
    forged.strId = "forged";
    forged.timeStart = QDateTime::fromString("2099-01-01T00:00:00Z", Qt::ISODate);
    forged.strOperation = "write";
    forged.strResult = "done";
    forged.strImageBefore = CFingerprint::ImageHash(Unit(1));
    CRecordSpool spool(strSpool);
    QVERIFY(spool.Append(forged, {{forged.strImageBefore, CTestFolder::Bytes(Unit(2))}}));
    CRecordEntry honest = forged;
    honest.strId = "honest";
    QVERIFY(spool.Append(honest, {{forged.strImageBefore, CTestFolder::Bytes(Unit(1))}}));
    QFile file(strSpool);
    QVERIFY(file.open(QIODevice::Append));
    file.write("{\"entry\": {\"id\": \"cut\"\n{\"entry\": {\"id\": \"\xff\xfe\"}}\n");
    file.close();
    CRecordJournal journal(store, CRecordJournal::DefaultIdentity(), strSpool);
    const QString strTrouble = journal.TakeTrouble();
    QVERIFY2(strTrouble.contains("не принято строк: 3") && strTrouble.contains(spool.AsidePath()),
             qPrintable(strTrouble));
    QCOMPARE(f.m_folder.ReadFile("spool.jsonl"), QByteArray());
    QCOMPARE(f.m_folder.ReadFile("spool.jsonl.rejected").count('\n'), 3);
    CRecordEntry entry;
    QVERIFY(!store.Entry("forged", entry));
    QVERIFY(store.Entry("honest", entry));
    QByteArray bytes;
    QVERIFY(store.Image(forged.strImageBefore, bytes)); // the honest image under its key
    QCOMPARE(bytes, CTestFolder::Bytes(Unit(1)));
    CRecordJournal next(store, CRecordJournal::DefaultIdentity(), strSpool);
    QVERIFY(next.TakeTrouble().isEmpty());
    // A spool that is a link leads where nobody meant: nothing is written through it.
    const QString strLink = f.m_folder.FilePath("linked.jsonl");
    QVERIFY(QFile::link(f.m_folder.FilePath("elsewhere.jsonl"), strLink));
    CRecordSpool linked(strLink);
    QVERIFY(!linked.Append(honest, {}));
    QVERIFY(linked.m_strLastError.contains("символическая ссылка"));
    QVERIFY(!QFile::exists(f.m_folder.FilePath("elsewhere.jsonl")));

    // An image changed in the file behind the record's back is refused when it is read.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "tamper");
        db.setDatabaseName(f.m_folder.FilePath("file/record.sqlite"));
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.prepare("UPDATE images SET bytes = ? WHERE hash = ?"));
        query.addBindValue(CTestFolder::Bytes(Unit(2)));
        query.addBindValue(forged.strImageBefore);
        QVERIFY(query.exec());
        db.close();
    }
    QSqlDatabase::removeDatabase("tamper");
    QVERIFY(!store.Image(forged.strImageBefore, bytes));
    QVERIFY2(store.m_strLastError.startsWith("образ в записях повреждён: " + forged.strImageBefore.left(12)),
             qPrintable(store.m_strLastError));
}

void TestRecord::plantAwayForQueries()
{
    // A plant that cannot be reached: the unit's history is this machine's, said so, and the
    // password of the plant's address is never in what is said.
    CTestFolder folder;
    const QString strLocal = folder.FilePath("local.sqlite");
    CRecordKeeper keeper("postgresql://station:Secret-7@/zint9?host=" + folder.FilePath("nowhere"), strLocal);
    QVERIFY(keeper.HasPlant());
    CRecordEntry entry;
    entry.strId = "here";
    entry.timeStart = QDateTime::currentDateTimeUtc();
    entry.strOperation = "read";
    entry.strResult = "done";
    entry.strFingerprint = CFingerprint::Of(Unit(4));
    QVERIFY(keeper.Local() && keeper.Local()->Put(entry, {}));
    CRecordStore::SQuery query;
    query.strFingerprint = entry.strFingerprint;
    QList<CRecordEntry> entries;
    QString strNote, strError;
    QVERIFY(keeper.UnitEntries(query, entries, strNote, strError));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().strId, QStringLiteral("here"));
    QVERIFY2(strNote.contains("недоступна") && strNote.contains("показаны записи этой машины") &&
                 !strNote.contains("Secret-7"),
             qPrintable(strNote));
    QCOMPARE(keeper.ForQueries(strNote, strError), keeper.Local());
}

QTEST_MAIN(TestRecord)
void TestRecord::olderRecordUpgraded_data()
{
    QTest::addColumn<bool>("plant");
    QTest::newRow("station's file") << false;
    QTest::newRow("plant's database") << true;
}

void TestRecord::olderRecordUpgraded()
{
    // A record made before failures had keys: its entries stay, new ones carry the keys.
    QFETCH(bool, plant);
    CTestFolder folder;
    CPgCluster cluster;
    if (plant)
        QVERIFY2(cluster.Start(), qPrintable(cluster.m_strError));
    const QStringList older = {
        "CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
        "INSERT INTO meta VALUES ('schema', '2')",
        "CREATE TABLE entries (id TEXT PRIMARY KEY, started TEXT NOT NULL, duration_ms INTEGER NOT NULL, "
        "station TEXT NOT NULL, operator TEXT NOT NULL, program_version TEXT NOT NULL, port TEXT, "
        "fingerprint "
        "TEXT, serial TEXT, version INTEGER, boot_version INTEGER, operation TEXT NOT NULL, result TEXT NOT "
        "NULL, step TEXT, address INTEGER, reason TEXT, verified INTEGER, image_before TEXT, image_after "
        "TEXT, "
        "source TEXT, source_hash TEXT, last_acknowledged INTEGER, demo INTEGER NOT NULL, partial INTEGER "
        "NOT "
        "NULL, ambiguous INTEGER NOT NULL, changes TEXT, uploaded INTEGER NOT NULL DEFAULT 0)",
        "INSERT INTO entries (id, started, duration_ms, station, operator, program_version, operation, "
        "result, step, address, reason, demo, partial, ambiguous) VALUES ('old', '2026-01-05T10:00:00.000Z', "
        "100, 'line-1', 'ivanov', '1.0', 'write', 'failed', 'write', 112, 'прибор отказал', 0, 0, 0)"};
    const QString strPath = plant ? cluster.Url() : "sqlite:" + folder.FilePath("record.sqlite");
    if (plant)
        QVERIFY(!cluster.Query(older.join("; ")).isNull());
    else
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "older");
        db.setDatabaseName(folder.FilePath("record.sqlite"));
        QVERIFY(db.open());
        QSqlQuery query(db);
        for (const QString& strStatement : older)
            QVERIFY2(query.exec(strStatement), qPrintable(strStatement));
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase("older");
    CRecordStore store;
    QVERIFY2(store.Open(strPath), qPrintable(store.m_strLastError));
    CRecordEntry entry;
    entry.strId = "new";
    entry.timeStart = QDateTime::currentDateTimeUtc();
    entry.strOperation = "write";
    entry.strResult = "failed";
    entry.strStep = "verify";
    entry.strReasonKey = "mismatch";
    entry.nAddress = 112;
    entry.nReceived = 0x01;
    entry.nExpected = 0x00;
    QVERIFY2(store.Put(entry, {}), qPrintable(store.m_strLastError));
    QList<CRecordEntry> entries;
    QVERIFY(store.Find({}, entries));
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].strReasonKey, QStringLiteral("mismatch"));
    QCOMPARE(entries[0].nReceived, 1);
    QCOMPARE(entries[0].nExpected, 0);
    QCOMPARE(entries[1].strId, QStringLiteral("old"));
    QCOMPARE(entries[1].strReason, QStringLiteral("прибор отказал"));
    QVERIFY(entries[1].strReasonKey.isEmpty());
    QCOMPARE(entries[1].nReceived, -1);
    // Opened again, nothing is added twice.
    CRecordStore again;
    QVERIFY2(again.Open(strPath), qPrintable(again.m_strLastError));
    if (plant)
        QCOMPARE(cluster.Query("SELECT value FROM meta WHERE key = 'schema'"), QStringLiteral("3"));
}

void TestRecord::historyMerged_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("station");
    QTest::addColumn<int>("since"); // the first entry's number that may be shown; 0 all
    QTest::newRow("whole") << false << -1 << QString() << 0;
    QTest::newRow("limit 1") << false << 1 << QString() << 0;
    QTest::newRow("limit over pages") << false << 1234 << QString() << 0;
    QTest::newRow("station since") << false << -1 << "line-b" << 700;
    QTest::newRow("plant's database, whole") << true << -1 << QString() << 0;
    QTest::newRow("plant's database, limit, station") << true << 777 << "line-a" << 0;
}

void TestRecord::historyMerged()
{
    // This station's record and the plant's, read a page at a time: every entry of either once,
    // newest first, this station's copy where both hold one, the limit over both together.
    QFETCH(bool, postgres);
    QFETCH(int, limit);
    QFETCH(QString, station);
    QFETCH(int, since);
    CTestFolder folder;
    QString strPlant = "sqlite:" + folder.FilePath("plant.sqlite");
    if (postgres)
    {
        if (!m_pCluster)
        {
            m_pCluster = std::make_unique<CPgCluster>();
            QVERIFY2(m_pCluster->Start(), qPrintable(m_pCluster->m_strError));
        }
        m_pCluster->Query("DROP VIEW IF EXISTS unit_latest; DROP TABLE IF EXISTS entries, images, meta");
        strPlant = m_pCluster->Url();
    }
    // The plant holds four of five, this station one of three: every fifteenth waits here only.
    constexpr int kEntries = 3000;
    QList<CRecordEntry> plantEntries, localEntries;
    QMap<QString, CRecordEntry> expected;
    for (int n = 0; n < kEntries; ++n)
    {
        if (n % 5 != 0)
            plantEntries << HistoryEntry(n, "plant");
        if (n % 3 == 0)
            localEntries << HistoryEntry(n, "local");
        const bool bShown =
            (station.isEmpty() || HistoryEntry(n, "").strStation == station) && n >= since / 7 * 7;
        if (bShown && (n % 5 != 0 || n % 3 == 0))
            expected.insert(HistoryEntry(n, "").strId, HistoryEntry(n, n % 3 == 0 ? "local" : "plant"));
    }
    CRecordStore local, plant;
    QVERIFY2(local.Open(folder.FilePath("local.sqlite")) && local.PutAll(localEntries, {}),
             qPrintable(local.m_strLastError));
    QVERIFY2(plant.Open(strPlant) && plant.PutAll(plantEntries, {}), qPrintable(plant.m_strLastError));
    QList<CRecordEntry> order = expected.values();
    std::sort(order.begin(), order.end(),
              [](const CRecordEntry& a, const CRecordEntry& b)
              { return a.timeStart != b.timeStart ? a.timeStart > b.timeStart : a.strId > b.strId; });
    QStringList want;
    for (const CRecordEntry& entry : std::as_const(order))
        if (limit < 0 || want.size() < limit)
            want << entry.strId + " " + entry.strOperator;

    CRecordStore::SQuery query;
    query.nLimit = limit;
    query.strStation = station;
    if (since > 0)
        query.since = HistoryEntry(since, "").timeStart;
    CRecordHistory history(&local, &plant, query);
    QStringList got;
    for (CRecordEntry entry; history.Next(entry);)
        got << entry.strId + " " + entry.strOperator;
    QVERIFY(!history.LocalFailed() && !history.PlantFailed());
    QCOMPARE(got.size(), want.size());
    QCOMPARE(got, want);
    if (!postgres)
        return;
    // The wizard's history of a unit reads the same way.
    CRecordKeeper keeper(strPlant, folder.FilePath("local.sqlite"));
    QList<CRecordEntry> entries;
    QString strNote, strError;
    QVERIFY(keeper.UnitEntries(query, entries, strNote, strError));
    QVERIFY2(strNote.isEmpty() && strError.isEmpty(), qPrintable(strNote + strError));
    got.clear();
    for (const CRecordEntry& entry : std::as_const(entries))
        got << entry.strId + " " + entry.strOperator;
    QCOMPARE(got, want);
}

#include "tst_record.moc"
