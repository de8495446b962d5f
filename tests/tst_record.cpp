#include "cdevicefixture.h"
#include "cfingerprint.h"
#include "colderrecord.h"
#include "cpgcluster.h"
#include "crecordfacts.h"
#include "crecordhistory.h"
#include "crecordjournal.h"
#include "crecordkeeper.h"
#include "crecordschema.h"
#include "crecordspool.h"
#include "crecordstore.h"
#include "csampleimages.h"
#include "cwritesession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTest>
#include <QUuid>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <tuple>

#include <unistd.h>
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

CRecordEntry Entry(const QString& strId, const QString& strResult = "done",
                   const QString& strStation = "line-1")
{
    CRecordEntry entry;
    entry.strId = strId;
    entry.timeStart = QDateTime::currentDateTimeUtc();
    entry.strStation = strStation;
    entry.strOperator = "ivanov";
    entry.strOperation = "write";
    entry.strResult = strResult;
    return entry;
}

// A record file of two entries, closed.
bool TwoEntries(const QString& strPath)
{
    CRecordStore store;
    return store.Open(strPath) && store.Put(Entry("first"), {}) && store.Put(Entry("second"), {});
}

QStringList Ids(const QString& strPath)
{
    CRecordStore store;
    QList<CRecordEntry> entries;
    QStringList ids;
    if (store.Open(strPath, 3, CRecordStore::EAccess::Read) && store.Find({}, entries))
        for (const CRecordEntry& entry : entries)
            ids << entry.strId;
    return ids;
}

bool Execute(const QString& strPath, const QString& strSql)
{
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "direct");
    db.setDatabaseName(strPath);
    bool bOk = db.open() && QSqlQuery(db).exec(strSql);
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("direct");
    return bOk;
}

// The first column of the rows a query of a SQLite file gives, one a line, as psql prints them.
QString SqliteValue(const QString& strPath, const QString& strSql)
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "value");
        db.setDatabaseName(strPath);
        QSqlQuery query(db);
        if (db.open() && query.exec(strSql))
            while (query.next())
                rows << query.value(0).toString();
    }
    QSqlDatabase::removeDatabase("value");
    return rows.join('\n');
}
// How many of the openers, all let go at once, fail to open the record: a station's workers
// on its first run.
int FailedOpens(const QString& strLocation, int nOpeners, CRecordStore::EAccess nAccess)
{
    std::atomic<int> nReady{0};
    std::atomic<int> nFailed{0};
    std::vector<std::thread> openers;
    for (int i = 0; i < nOpeners; ++i)
        openers.emplace_back(
            [&]
            {
                ++nReady;
                while (nReady.load() < nOpeners)
                    std::this_thread::yield();
                CRecordStore store;
                if (!store.Open(strLocation, 3, nAccess) && nFailed++ == 0)
                    qWarning("%s", qPrintable(store.m_strLastError));
            });
    for (std::thread& opener : openers)
        opener.join();
    return nFailed.load();
}

// The same race held still: another connection holds a new file's write lock while a writer
// opens it. The writer must wait for it, not fail at once; the lock is kept until the writer is
// through or a second has passed.
bool OpensPastAHolder(const QString& strFile)
{
    bool bOpened = false;
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", "holder");
        holder.setDatabaseName(strFile);
        if (holder.open() && QSqlQuery(holder).exec("BEGIN IMMEDIATE"))
        {
            std::future<bool> opener =
                std::async(std::launch::async,
                           [&strFile]
                           {
                               CRecordStore store;
                               if (store.Open(strFile, 3, CRecordStore::EAccess::Write))
                                   return true;
                               qWarning("%s", qPrintable(store.m_strLastError));
                               return false;
                           });
            opener.wait_for(std::chrono::seconds(1));
            QSqlQuery(holder).exec("ROLLBACK");
            bOpened = opener.get();
        }
        holder.close();
    }
    QSqlDatabase::removeDatabase("holder");
    return bOpened;
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
    void readsAsItIs_data();
    void readsAsItIs();
    void writesWhereTheFileIs_data();
    void writesWhereTheFileIs();
    void storedEntriesStay();
    void unitLatest_data();
    void unitLatest();
    void historyMerged_data();
    void historyMerged();
    void historyFiltered_data();
    void historyFiltered();

private:
    // An empty plant's record of the case's own: a file in folder, or the shared cluster's
    // database emptied (the cluster started at first use); empty when the cluster cannot start.
    QString EmptyPlant(bool bPostgres, const CTestFolder& folder, const QString& strFile);

    std::unique_ptr<CPgCluster> m_pCluster; // started by the first case that needs it
};

QString TestRecord::EmptyPlant(bool bPostgres, const CTestFolder& folder, const QString& strFile)
{
    if (!bPostgres)
        return "sqlite:" + folder.FilePath(strFile);
    if (!m_pCluster)
    {
        m_pCluster = std::make_unique<CPgCluster>();
        if (!m_pCluster->Start())
        {
            qWarning("%s", qPrintable(m_pCluster->m_strError));
            m_pCluster.reset();
            return QString();
        }
    }
    m_pCluster->Query("DROP VIEW IF EXISTS unit_latest; DROP TABLE IF EXISTS entries, images, meta");
    return m_pCluster->Url();
}

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
    // A new file's first openers race to make it a write-ahead log; each round a file of its own.
    for (int nRound = 0; !plant && nRound < 40; ++nRound)
        QCOMPARE(FailedOpens(folder.FilePath(QStringLiteral("new-%1.sqlite").arg(nRound)), 2 * kWriters,
                             CRecordStore::EAccess::Write),
                 0);
    QVERIFY(plant || OpensPastAHolder(folder.FilePath("held.sqlite")));
    std::vector<std::thread> writers;
    std::atomic<int> nFailed{0};
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back(
            [&, w]
            {
                CRecordStore store;
                // On a plant's database the owner's step, here taken by all at once.
                if (!store.Open(strPath, 3,
                                plant ? CRecordStore::EAccess::Init : CRecordStore::EAccess::Write))
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
                    if (!CRecordFacts::IsPartialUnit(store, entry.strFingerprint, bPartial) ||
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
    QVERIFY(CRecordFacts::IsPartialImage(store, journal.Last().strImageAfter, bPartial));
    QCOMPARE(bPartial, partial); // the image itself, as a backup of it would hold it
    f.m_app.m_ParamEdit.fHighLimit = 700;
    QVERIFY(session.Write(request));
    QCOMPARE(journal.Last().strResult, QStringLiteral("done"));
    QCOMPARE(journal.Last().verified, std::optional<bool>(true));
    QVERIFY(CRecordFacts::IsPartialUnit(store, strUnit, bPartial));
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
    QVERIFY(CRecordFacts::IsPartialImage(store, read.strImageAfter, bPartial));
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
    QCOMPARE(keeper.LocalReader(), keeper.Local());
}

QTEST_MAIN(TestRecord)
void TestRecord::olderRecordUpgraded_data()
{
    QTest::addColumn<bool>("plant");
    QTest::addColumn<int>("version");
    QTest::newRow("station's file, schema 2") << false << 2;
    QTest::newRow("plant's database, schema 2") << true << 2;
    QTest::newRow("station's file, schema 4") << false << 4;
    QTest::newRow("plant's database, schema 4") << true << 4;
    QTest::newRow("station's file, schema 5") << false << 5;
    QTest::newRow("plant's database, schema 5") << true << 5;
}

void TestRecord::olderRecordUpgraded()
{
    // A record made before failures had keys, before the units' view told a unit's latest write
    // apart, or before entries named their backups: its entries stay, new ones carry the keys
    // and the backup, and the view has its new columns.
    QFETCH(bool, plant);
    QFETCH(int, version);
    CTestFolder folder;
    CPgCluster cluster;
    if (plant)
        QVERIFY2(cluster.Start(), qPrintable(cluster.m_strError));
    const QStringList older = COlderRecord::Schema(version, plant);
    const QString strPath = plant ? cluster.Url() : "sqlite:" + folder.FilePath("record.sqlite");
    if (plant)
        QVERIFY(!cluster.Query(older.join("; ")).isNull());
    else
        for (const QString& strStatement : older)
            QVERIFY2(Execute(folder.FilePath("record.sqlite"), strStatement), qPrintable(strStatement));
    CRecordStore store;
    if (plant)
    {
        // A station never changes a plant's tables: it is told who does, with both versions.
        QVERIFY(!store.Open(strPath));
        QVERIFY2(
            store.m_strLastError.contains(QStringLiteral("схемы %1").arg(version)) &&
                store.m_strLastError.contains(QStringLiteral("схемой %1").arg(CRecordSchema::kVersion)) &&
                store.m_strLastError.contains("history --init"),
            qPrintable(store.m_strLastError));
        QVERIFY2(store.Open(strPath, 3, CRecordStore::EAccess::Init), qPrintable(store.m_strLastError));
    }
    QVERIFY2(store.Open(strPath), qPrintable(store.m_strLastError));
    CRecordEntry entry;
    entry.strId = "new";
    entry.timeStart = QDateTime::currentDateTimeUtc();
    entry.strFingerprint = QString(64, 'c');
    entry.strOperation = "write";
    entry.strResult = "failed";
    entry.strStep = "verify";
    entry.strReasonKey = "mismatch";
    entry.nAddress = 112;
    entry.nReceived = 0x01;
    entry.nExpected = 0x00;
    entry.strBackup = "/backups/zint9-20260105-100000-000-v1555.bin";
    QVERIFY2(store.Put(entry, {}), qPrintable(store.m_strLastError));
    QList<CRecordEntry> entries;
    QVERIFY(store.Find({}, entries));
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].strReasonKey, QStringLiteral("mismatch"));
    QCOMPARE(entries[0].nReceived, 1);
    QCOMPARE(entries[0].nExpected, 0);
    QCOMPARE(entries[0].strBackup, entry.strBackup);
    QCOMPARE(entries[1].strId, QStringLiteral("old"));
    QCOMPARE(entries[1].strReason, QStringLiteral("прибор отказал"));
    QVERIFY(entries[1].strReasonKey.isEmpty());
    QCOMPARE(entries[1].nReceived, -1);
    // Opened again, nothing is added twice.
    CRecordStore again;
    QVERIFY2(again.Open(strPath), qPrintable(again.m_strLastError));
    const QString strUnit = "SELECT result || '/' || last_write_result || '/' || configured FROM unit_latest";
    const QString strSchema = "SELECT value FROM meta WHERE key = 'schema'";
    if (plant)
    {
        QCOMPARE(cluster.Query(strUnit), QStringLiteral("failed/failed/0"));
        QCOMPARE(cluster.Query(strSchema), QString::number(CRecordSchema::kVersion));
        return;
    }
    QCOMPARE(SqliteValue(folder.FilePath("record.sqlite"), strUnit), QStringLiteral("failed/failed/0"));
    QCOMPARE(SqliteValue(folder.FilePath("record.sqlite"), strSchema),
             QString::number(CRecordSchema::kVersion));
}

void TestRecord::readsAsItIs_data()
{
    QTest::addColumn<QString>("condition");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("said");
    QTest::newRow("another process writing") << "locked" << 0 << "";
    QTest::newRow("a file that cannot be written") << "file" << 0 << "";
    QTest::newRow("a folder that cannot be written") << "folder" << 0 << "";
    QTest::newRow("a newer program's record") << "newer" << 0 << "";
    QTest::newRow("a damaged file") << "damaged" << 1 << "повреждён (file is not a database)";
    // Never the file as it stands when another holds it whole: its last entries are elsewhere.
    QTest::newRow("another process holding it whole") << "exclusive" << 1 << "database is locked";
}

void TestRecord::readsAsItIs()
{
    // history only reads: it waits for no writer, needs no right to write, makes and changes
    // nothing, and says once what is wrong.
    QFETCH(QString, condition);
    QFETCH(int, exit);
    QFETCH(QString, said);
    CTestFolder folder;
    const QString strFolder = folder.FilePath("record");
    const QString strPath = strFolder + "/record.sqlite";
    QVERIFY(QDir().mkpath(strFolder));
    QVERIFY(TwoEntries(strPath));
    // Another process's writing transaction, held while history reads; in every other case no
    // connection is left open, so that SQLite's files beside the record are gone too.
    QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", "holder");
    holder.setDatabaseName(strPath);
    QSqlQuery hold;
    if (condition == "locked" || condition == "exclusive")
    {
        QVERIFY(holder.open());
        hold = QSqlQuery(holder);
        if (condition == "exclusive")
            QVERIFY(hold.exec("PRAGMA locking_mode=EXCLUSIVE"));
        QVERIFY(hold.exec("BEGIN IMMEDIATE") && hold.exec("DELETE FROM entries WHERE id = 'none'"));
        if (condition == "exclusive")
            QVERIFY(hold.exec("COMMIT") && hold.exec("BEGIN EXCLUSIVE") &&
                    hold.exec("DELETE FROM entries WHERE id = 'none'"));
    }
    if (condition == "newer")
        QVERIFY(Execute(strPath, "UPDATE meta SET value = '99' WHERE key = 'schema'"));
    if (condition == "damaged")
        folder.WriteFile("record/record.sqlite", QByteArray(8192, 'x'));
    const QFile::Permissions readable = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    const QFile::Permissions open = readable | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    if (condition == "file" || condition == "folder")
        QVERIFY(QFile::setPermissions(strPath, readable));
    QVERIFY(QFile::setPermissions(folder.Path(), open));
    QVERIFY(QFile::setPermissions(
        strFolder,
        condition == "folder" ? open : open | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));
    // SQLite's own files beside it come and go with its readers.
    const QStringList files{"*.sqlite", "*.damaged-*"};
    const QStringList before = QDir(strFolder).entryList(files, QDir::Files);

    // Root may write anything: the rights are seen only as another user.
    QStringList command{QCoreApplication::applicationDirPath() + "/zint9", "history", "--json", "--record",
                        "sqlite:" + strPath};
    if (::geteuid() == 0)
    {
        const QString strSetpriv = QStandardPaths::findExecutable("setpriv");
        if (strSetpriv.isEmpty())
            QSKIP("running as root and setpriv is missing: no user without the right to write");
        command = QStringList{strSetpriv, "--reuid=65534", "--regid=65534", "--clear-groups"} + command;
    }
    QProcess history;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", folder.FilePath("nobody-data"));
    environment.insert("XDG_CONFIG_HOME", folder.FilePath("nobody-config"));
    history.setProcessEnvironment(environment);
    history.start(command.takeFirst(), command);
    QVERIFY(history.waitForFinished(60000));
    hold.exec("ROLLBACK");
    hold = QSqlQuery();
    holder.close();
    holder = QSqlDatabase();
    QSqlDatabase::removeDatabase("holder");
    const QString strErr = QString::fromUtf8(history.readAllStandardError()).trimmed();
    QCOMPARE(history.exitCode(), exit);
    if (said.isEmpty())
        QVERIFY2(strErr.isEmpty(), qPrintable(strErr));
    else
        QVERIFY2(strErr.contains(said) && !strErr.contains('\n'), qPrintable(strErr));
    if (exit == 0)
    {
        const QJsonArray json = QJsonDocument::fromJson(history.readAllStandardOutput()).array();
        QCOMPARE(json.size(), 2);
    }
    QCOMPARE(QDir(strFolder).entryList(files, QDir::Files), before);
    if (condition == "newer")
    {
        // What a newer program keeps is not written by an older one; the user hears both versions.
        CRecordStore writer;
        QVERIFY(!writer.Open(strPath));
        QVERIFY2(writer.m_strLastError.contains(
                     QStringLiteral("схема 99, эта версия знает схемы до %1").arg(CRecordSchema::kVersion)),
                 qPrintable(writer.m_strLastError));
    }
}

void TestRecord::writesWhereTheFileIs_data()
{
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("deleted while open") << "deleted"
                                        << "заменён или удалён во время работы" << QStringList{"after"};
    QTest::newRow("replaced while open")
        << "replaced"
        << "заменён или удалён во время работы" << QStringList{"after", "other"};
    QTest::newRow("replaced while another process keeps the old one")
        << "held"
        << "заменён или удалён во время работы" << QStringList{"after", "other"};
    QTest::newRow("no database") << "garbage"
                                 << "повреждён (file is not a database): он сохранён как"
                                 << QStringList{"after"};
    QTest::newRow("damaged pages") << "pages"
                                   << "повреждён (database disk image is malformed): он сохранён как"
                                   << QStringList{"after"};
}

void TestRecord::writesWhereTheFileIs()
{
    // An entry goes into the file that is under the record's name when it is made, or the user
    // hears why not; a damaged file is kept aside whole, once, and a new one begun.
    QFETCH(QString, condition);
    QFETCH(QString, said);
    QFETCH(QStringList, kept);
    CTestFolder folder;
    const QString strPath = folder.FilePath("record.sqlite");
    QVERIFY(TwoEntries(strPath));
    QByteArray damaged;
    if (condition == "garbage")
        folder.WriteFile("record.sqlite", QByteArray(8192, 'x'));
    if (condition == "pages")
    {
        QVERIFY(Execute(strPath, "PRAGMA wal_checkpoint(TRUNCATE)"));
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.size() > 4096 && file.seek(4096));
        file.write(QByteArray(int(file.size()) - 4096, 'U'));
    }
    damaged = folder.ReadFile("record.sqlite");
    CRecordStore store;
    QVERIFY2(store.Open(strPath), qPrintable(store.m_strLastError));
    if (condition == "deleted")
        for (const char* pszSuffix : {"", "-wal", "-shm"})
            QFile::remove(strPath + pszSuffix);
    auto holder = std::make_unique<CRecordStore>();
    if (condition == "held")
    {
        // Only the file is replaced: the old one's journal stays beside it while the holder runs.
        QVERIFY(holder->Open(strPath) && holder->Put(Entry("held"), {}));
        CRecordStore other;
        QVERIFY(other.Open(folder.FilePath("other.sqlite")) && other.Put(Entry("other"), {}));
        QVERIFY(Execute(folder.FilePath("other.sqlite"), "PRAGMA wal_checkpoint(TRUNCATE)"));
        QVERIFY(QFile::exists(strPath + "-wal"));
        QVERIFY(QFile::remove(strPath) && QFile::copy(folder.FilePath("other.sqlite"), strPath));
        // Its journal, the old file's, is kept aside, not poured into the new one.
    }
    if (condition == "replaced")
    {
        QVERIFY(Ids(strPath).size() == 2);
        CRecordStore other;
        QVERIFY(other.Open(folder.FilePath("other.sqlite")) && other.Put(Entry("other"), {}));
        QVERIFY(Execute(folder.FilePath("other.sqlite"), "PRAGMA wal_checkpoint(TRUNCATE)"));
        for (const char* pszSuffix : {"", "-wal", "-shm"})
            QFile::remove(strPath + pszSuffix);
        QVERIFY(QFile::copy(folder.FilePath("other.sqlite"), strPath));
    }
    QVERIFY2(store.Put(Entry("after"), {}), qPrintable(store.m_strLastError));
    holder.reset();
    if (condition == "held")
        QCOMPARE(QDir(folder.Path()).entryList({"record.sqlite.replaced-*-wal"}, QDir::Files).size(), 1);
    const QString strNotice = store.TakeNotice();
    QVERIFY2(strNotice.contains(said), qPrintable(strNotice));
    QVERIFY(store.TakeNotice().isEmpty());
    QCOMPARE(Ids(strPath), kept);
    const QStringList aside = QDir(folder.Path()).entryList({"record.sqlite.damaged-*"}, QDir::Files);
    QCOMPARE(aside.size(), condition == "garbage" || condition == "pages" ? 1 : 0);
    if (!aside.isEmpty())
        QCOMPARE(folder.ReadFile(aside.first()), damaged);
}

void TestRecord::storedEntriesStay()
{
    // A stored entry changes only as it may: its own station completes an "attempted" one, a later
    // doubt marks a final one, and nothing else is taken, from an honest run or a forged spool.
    CTestFolder folder;
    CRecordStore store;
    QVERIFY(store.Open(folder.FilePath("record.sqlite")));
    QVERIFY(store.Put(Entry("final"), {}) && store.Put(Entry("open", "attempted"), {}));
    CRecordEntry forged = Entry("final");
    forged.strOperator = "forger";
    forged.strSerial = "X-1";
    forged.bAmbiguous = true;
    QVERIFY(store.Put(forged, {}));
    CRecordEntry entry;
    QVERIFY(store.Entry("final", entry));
    QCOMPARE(entry.strOperator, QStringLiteral("ivanov"));
    QVERIFY(entry.strSerial.isEmpty());
    QVERIFY(entry.bAmbiguous);
    QVERIFY(store.Put(Entry("open", "done", "line-2"), {}));
    QVERIFY(store.Entry("open", entry));
    QCOMPARE(entry.strResult, QStringLiteral("attempted"));
    QVERIFY(store.Put(Entry("open", "done", "line-1"), {}));
    QVERIFY(store.Entry("open", entry));
    QCOMPARE(entry.strResult, QStringLiteral("done"));
}

void TestRecord::unitLatest_data()
{
    // A unit's transactions, oldest first, each operation:result:image[:partial]; then what the
    // units' view says of its latest write and whether it is configured.
    QTest::addColumn<QString>("transactions");
    QTest::addColumn<QString>("lastWrite");
    QTest::addColumn<int>("configured");
    const QList<std::tuple<const char*, const char*, const char*, int>> rows = {
        {"its write", "write:done:a", "done", 1},
        {"read after its write", "write:done:a read:done:a", "done", 1},
        {"read after a refused write", "write:done:a write:refused:a read:done:a", "refused", 0},
        {"read of another image", "write:done:a read:done:b", "done", 0},
        {"never written", "read:done:a", "", 0},
        {"written without the check", "write:unverified:a read:done:a", "unverified", 0},
        {"written again after a failure", "write:failed:b write:done:a read:done:a", "done", 1},
        {"cut, then restored", "write:done:a write:interrupted:b:partial restore:done:a", "interrupted", 0},
        {"a restore that failed", "write:done:a restore:failed:a", "done", 0},
        {"a write that never ended", "write:done:a write:attempted:b", "attempted", 0},
        {"read as partial", "write:done:a read:done:a:partial", "done", 0},
        {"restored to an older image", "write:done:a write:done:b restore:done:a", "done", 0},
        {"a whole write's image, doubted since", "write:done:a write:done:a:partial", "done", 0},
    };
    for (const bool bPostgres : {false, true})
        for (const auto& [pszName, pszTransactions, pszLastWrite, nConfigured] : rows)
            QTest::newRow(qPrintable(QStringLiteral("%1%2").arg(pszName, bPostgres ? ", plant" : "")))
                << QString(pszTransactions) << QString(pszLastWrite) << nConfigured;
}

void TestRecord::unitLatest()
{
    // What a quality engineer asks of the units' view, in both dialects: besides the latest
    // transaction, the latest write and whether the unit holds what its last verified write gave
    // it with nothing gone wrong since. Another unit's newer failure and a demonstration entry
    // under the same fingerprint change nothing of it.
    QFETCH(QString, transactions);
    QFETCH(QString, lastWrite);
    QFETCH(int, configured);
    const bool bPostgres = QString(QTest::currentDataTag()).endsWith(", plant");
    CTestFolder folder;
    const QString strPath = EmptyPlant(bPostgres, folder, "record.sqlite");
    QVERIFY2(!strPath.isEmpty(), "the test cluster did not start");
    const QString strUnit(64, '1'), strOther(64, '2');
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
    QList<CRecordEntry> entries;
    auto add = [&](const QString& strTransaction, const QString& strFingerprint)
    {
        const QStringList parts = strTransaction.split(':');
        CRecordEntry entry = Entry(QUuid::createUuid().toString(QUuid::WithoutBraces), parts[1]);
        entry.timeStart = start.addSecs(entries.size());
        entry.strFingerprint = strFingerprint;
        entry.strOperation = parts[0];
        entry.strImageAfter = QString(64, parts[2][0]);
        entry.bPartial = parts.size() > 3;
        entries << entry;
    };
    for (const QString& strTransaction : transactions.split(' '))
        add(strTransaction, strUnit);
    const CRecordEntry latest = entries.last();
    add("write:done:c", strOther);
    add("write:failed:c", strOther);
    add("write:failed:d", strUnit);
    entries.last().bDemo = true;
    CRecordStore store;
    QVERIFY2(store.Open(strPath, 3, bPostgres ? CRecordStore::EAccess::Init : CRecordStore::EAccess::Write) &&
                 store.PutAll(entries, {}),
             qPrintable(store.m_strLastError));
    auto value = [&](const QString& strSql)
    { return bPostgres ? m_pCluster->Query(strSql) : SqliteValue(folder.FilePath("record.sqlite"), strSql); };
    const QString strRow =
        "SELECT time || '/' || operation || '/' || result || '/' || partial || '/' || coalesce(image_hash, "
        "'-') || '/' || coalesce(last_write_result, '') || '/' || configured FROM unit_latest WHERE "
        "fingerprint = '%1'";
    // The columns a plant's tools read already stay as they were.
    const QString strWant = QStringLiteral("%1/%2/%3/%4/%5/%6/%7")
                                .arg(CRecordSchema::UtcText(latest.timeStart), latest.strOperation,
                                     latest.strResult, QString::number(int(latest.bPartial)),
                                     latest.strResult == "attempted" ? "-" : latest.strImageAfter, lastWrite,
                                     QString::number(configured));
    QCOMPARE(value(strRow.arg(strUnit)), strWant);
    QVERIFY(value(strRow.arg(strOther)).endsWith("/failed/0"));
    QCOMPARE(value("SELECT count(*) FROM unit_latest"), QStringLiteral("2"));
    // Its latest write's time, NULL where there is none.
    QString strWriteTime;
    for (const CRecordEntry& entry : std::as_const(entries))
        if (entry.strFingerprint == strUnit && entry.strOperation == "write" && !entry.bDemo)
            strWriteTime = CRecordSchema::UtcText(entry.timeStart);
    QCOMPARE(value(QStringLiteral("SELECT coalesce(last_write_time, '') FROM unit_latest WHERE fingerprint = "
                                  "'%1'")
                       .arg(strUnit)),
             strWriteTime);
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
    const QString strPlant = EmptyPlant(postgres, folder, "plant.sqlite");
    QVERIFY2(!strPlant.isEmpty(), "the test cluster did not start");
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
    // The plant's owner makes its tables; its entries come from other stations.
    QVERIFY2(plant.Open(strPlant, 3, postgres ? CRecordStore::EAccess::Init : CRecordStore::EAccess::Write) &&
                 plant.PutAll(plantEntries, {}),
             qPrintable(plant.m_strLastError));
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

void TestRecord::historyFiltered_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("since"); // the number of the entry it falls on; -1 none
    QTest::addColumn<int>("until"); // the same, the bound left out
    QTest::addColumn<bool>("latest");
    QTest::addColumn<int>("limit");
    struct SRow
    {
        const char* pszName;
        const char *pszOperation, *pszResult, *pszSource;
        int nSince, nUntil;
        bool bLatest;
        int nLimit;
    };
    const SRow rows[] = {
        {"result, a plant's copy completed here", "", "attempted", "", -1, -1, false, -1},
        {"operation and result", "write", "done", "", -1, -1, false, -1},
        {"source, since, until", "", "", "aa", 403, 997, false, -1},
        {"latest", "", "", "", -1, -1, true, -1},
        {"latest of a result", "", "failed", "", -1, -1, true, -1},
        {"latest, limited", "", "", "", -1, -1, true, 2},
        {"latest read until", "read", "", "", -1, 600, true, -1},
    };
    for (const char* pszPlant : {"", ", plant's database"})
        for (const SRow& row : rows)
            QTest::newRow(qPrintable(QString(row.pszName) + pszPlant))
                << QString(row.pszOperation) << QString(row.pszResult) << QString(row.pszSource) << row.nSince
                << row.nUntil << row.bLatest << row.nLimit;
}

void TestRecord::historyFiltered()
{
    // The filters pick entries of both records together, this station's copy being the word
    // where both hold one; --latest then gives each unit's newest of them.
    const bool postgres = QString(QTest::currentDataTag()).endsWith(", plant's database");
    QFETCH(QString, operation);
    QFETCH(QString, result);
    QFETCH(QString, source);
    QFETCH(int, since);
    QFETCH(int, until);
    QFETCH(bool, latest);
    QFETCH(int, limit);
    CTestFolder folder;
    const QString strPlant = EmptyPlant(postgres, folder, "plant.sqlite");
    QVERIFY2(!strPlant.isEmpty(), "the test cluster did not start");
    // Over pages: units 1 to 3, entries of no unit and demonstration ones; the plant holds three of
    // four, this station one of three, and where both do the plant's copy may still be attempted.
    const QStringList operations = CRecordEntry::Operations(), results = CRecordEntry::Results();
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-30).addMSecs(-7);
    QList<CRecordEntry> plantEntries, localEntries, truth;
    for (int n = 0; n < 1100; ++n)
    {
        CRecordEntry entry = HistoryEntry(n, "local");
        entry.timeStart = start.addSecs(n * 900);
        entry.strOperation = operations[n % 3];
        entry.strResult = results[n / 3 % 6];
        entry.strFingerprint = n % 5 == 4 ? QString() : QString(64, QChar('1' + n % 4));
        entry.bDemo = n % 7 == 6;
        entry.strSourceHash = entry.strOperation == "write" ? QString(64, n % 2 ? 'a' : 'b') : QString();
        if (n % 3 == 0)
            localEntries << entry;
        if (n % 4 != 0)
        {
            CRecordEntry copy = entry;
            copy.strOperator = "plant";
            if (n % 3 == 0 && n % 2 == 0)
                copy.strResult = "attempted";
            plantEntries << copy;
        }
        if (n % 3 == 0 || n % 4 != 0)
            truth << (n % 3 == 0 ? entry : plantEntries.last());
    }
    CRecordStore local, plant;
    QVERIFY2(local.Open(folder.FilePath("local.sqlite")) && local.PutAll(localEntries, {}),
             qPrintable(local.m_strLastError));
    QVERIFY2(plant.Open(strPlant, 3, postgres ? CRecordStore::EAccess::Init : CRecordStore::EAccess::Write) &&
                 plant.PutAll(plantEntries, {}),
             qPrintable(plant.m_strLastError));
    CRecordStore::SQuery query;
    query.strOperation = operation;
    query.strResult = result;
    query.strSourceHash = source;
    query.since = since < 0 ? QDateTime() : start.addSecs(since * 900);
    query.until = until < 0 ? QDateTime() : start.addSecs(until * 900);
    query.bLatest = latest;
    query.nLimit = limit;
    std::reverse(truth.begin(), truth.end());
    QStringList want, units;
    for (const CRecordEntry& entry : std::as_const(truth))
    {
        if ((!operation.isEmpty() && entry.strOperation != operation) ||
            (!result.isEmpty() && entry.strResult != result) ||
            (!source.isEmpty() && !entry.strSourceHash.startsWith(source)) ||
            (query.since.isValid() && entry.timeStart < query.since) ||
            (query.until.isValid() && entry.timeStart >= query.until))
            continue;
        if (latest && (entry.strFingerprint.isEmpty() || entry.bDemo || units.contains(entry.strFingerprint)))
            continue;
        units << entry.strFingerprint;
        if (limit < 0 || want.size() < limit)
            want << entry.strId + " " + entry.strOperator + " " + entry.strResult;
    }
    QVERIFY(!want.isEmpty());
    CRecordHistory history(&local, &plant, query);
    QStringList got;
    for (CRecordEntry entry; history.Next(entry);)
        got << entry.strId + " " + entry.strOperator + " " + entry.strResult;
    QVERIFY(!history.LocalFailed() && !history.PlantFailed());
    QCOMPARE(got, want);
}

#include "tst_record.moc"
