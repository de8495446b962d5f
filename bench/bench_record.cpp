// What keeping the record costs: the journal's work on the line path (one connect and one write
// entry, with their images) against the line time of a paced read and write, the history of
// one unit looked up in a record of 100 000 entries, and zint9 history of a record of 1 000 000
// entries in each format and with --latest (one row a unit).
// Targets: recording at most 1 % of a paced read or write; a unit's history in under 0.2 s;
// the whole history in at most 200 MB resident in each format.
#include "cbenchunit.h"
#include "cbenchusage.h"
#include "cchildrun.h"
#include "cfingerprint.h"
#include "crecordjournal.h"
#include "crecordschema.h"
#include "crecordstore.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
constexpr double kCharSeconds = 11.0 / 9600;
constexpr int kEntries = 100000;
constexpr int kUnits = 5000;
constexpr int kLargeEntries = 1000000;
constexpr double kLargePeakMb = 200;

bool Fill(CRecordStore& store)
{
    CRecordEntry entry;
    entry.strStation = "bench";
    entry.strOperator = "bench";
    entry.strOperation = "write";
    entry.strResult = "done";
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-30);
    for (int i = 0; i < kEntries; ++i)
    {
        const CParamZT01 image = BenchUnit(i % kUnits);
        entry.strId = QString::number(i);
        entry.timeStart = start.addSecs(i);
        entry.strFingerprint = CFingerprint::Of(image);
        entry.strImageAfter = CFingerprint::ImageHash(image);
        if (!store.Put(entry, {{entry.strImageAfter,
                                QByteArray(reinterpret_cast<const char*>(image.Image()), 512)}}))
            return false;
    }
    return true;
}

// An entry as a line's write leaves it, the nth of a large record: two at each start.
CRecordEntry LargeEntry(int n, const QDateTime& start, const QStringList& fingerprints)
{
    CRecordEntry entry;
    entry.strId = QStringLiteral("%1-4000-8000-bench").arg(n, 20, 10, QLatin1Char('0'));
    entry.timeStart = start.addMSecs(qint64(n / 2) * 700);
    entry.nDurationMs = 5800 + n % 300;
    entry.strStation = QStringLiteral("line-%1").arg(n % 8);
    entry.strOperator = QStringLiteral("Иванова");
    entry.strProgramVersion = QStringLiteral("1.4.0");
    entry.strPort = QStringLiteral("/dev/ttyUSB%1").arg(n % 4);
    entry.strFingerprint = fingerprints[n % kUnits];
    entry.strSerial = QStringLiteral("A-%1").arg(n % kUnits);
    entry.nVersion = 12;
    entry.nBootVersion = 3;
    entry.strOperation = QStringLiteral("write");
    entry.strResult = QStringLiteral("done");
    entry.verified = true;
    entry.strImageBefore = fingerprints[(n + 1) % kUnits];
    entry.strImageAfter = fingerprints[(n + 2) % kUnits];
    entry.strChanges = QStringLiteral("Границы преобразования: 0 ... 1000 °C → 0 ... 700 °C");
    return entry;
}

// A record of kLargeEntries entries, made in one transaction, many rows a statement.
bool FillLarge(const QString& strPath, QString& strError)
{
    {
        CRecordStore store; // the tables
        if (!store.Open(strPath))
        {
            strError = store.m_strLastError;
            return false;
        }
    }
    // As many values a row as the record has columns, and rows within any SQLite's 999 values.
    const qsizetype nColumns = CRecordSchema::Columns().split(QLatin1Char(',')).size();
    const int nRows = int(999 / nColumns);
    QStringList fingerprints;
    for (int i = 0; i < kUnits; ++i)
        fingerprints << CFingerprint::Of(BenchUnit(i));
    const QDateTime start = QDateTime::currentDateTimeUtc().addYears(-2);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    db.setDatabaseName(strPath);
    bool bOk = db.open();
    {
        QSqlQuery query(db);
        const QString strRow =
            QStringLiteral("(%1)").arg(QStringList(nColumns, QStringLiteral("?")).join(','));
        bOk = bOk && query.exec(QStringLiteral("BEGIN")) &&
              query.prepare(QStringLiteral("INSERT INTO entries (%1) VALUES %2")
                                .arg(CRecordSchema::Columns(), QStringList(nRows, strRow).join(',')));
        for (int n = 0; bOk && n < kLargeEntries; n += nRows)
        {
            for (int i = 0; i < nRows; ++i)
                for (const QVariant& value : CRecordSchema::Values(LargeEntry(n + i, start, fingerprints)))
                    query.addBindValue(value);
            bOk = query.exec();
        }
        bOk = bOk && query.exec(QStringLiteral("COMMIT"));
        if (!bOk)
            strError = query.lastError().text() + db.lastError().text();
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return bOk;
}

// zint9 history of the large record in each format, its output thrown away; false where one
// fails or takes more than kLargePeakMb.
bool LargeHistory(const QString& strPath)
{
    qputenv("ZINT9_RECORD", ("sqlite:" + strPath).toUtf8());
    bool bMet = true;
    for (const char* pszFormat : {"", "--json", "--csv", "--latest"})
    {
        QStringList arguments{QStringLiteral("history")};
        if (*pszFormat)
            arguments << QString::fromLatin1(pszFormat);
        CChildRun run;
        const bool bOk =
            run.Run(QCoreApplication::applicationDirPath() + QStringLiteral("/zint9"), arguments);
        const bool bWithin = bOk && run.m_dPeakMb <= kLargePeakMb;
        bMet = bMet && bWithin;
        std::printf("zint9 history %s of %d entries: %.1f s, %.0f MB resident at most (<= %.0f MB)  %s\n",
                    *pszFormat ? pszFormat : "(text)", kLargeEntries, run.m_dSeconds, run.m_dPeakMb,
                    kLargePeakMb,
                    !bOk      ? "FAILED"
                    : bWithin ? "met"
                              : "MISSED");
    }
    return bMet;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
// The journal's work a transaction, and one unit's history, in the record of kEntries; bMet
// says whether both are within their targets. False when the history lost entries.
bool JournalAndHistory(CRecordStore& store, bool& bMet)
{
    QElapsedTimer timer;
    CZTAppDevice app;
    app.m_bConnected = true;
    CWriteSession session(app);
    CRecordJournal journal(store, CRecordJournal::DefaultIdentity());
    std::vector<double> journal_ms, history_ms;
    for (int i = 0; i < 50; ++i)
    {
        app.m_ParamDevice = BenchUnit(i);
        timer.restart();
        journal.Connected(session);
        journal.WriteStarting(session);
        journal.WriteFinished(session);
        journal_ms.push_back(double(timer.nsecsElapsed()) / 1e6);

        CRecordStore::SQuery query;
        query.strFingerprint = CFingerprint::Short(CFingerprint::Of(BenchUnit(i * 97 % kUnits)));
        QList<CRecordEntry> entries;
        timer.restart();
        store.Find(query, entries);
        history_ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (entries.size() < kEntries / kUnits)
        {
            std::fprintf(stderr, "bench_record: the history lost entries\n");
            return false;
        }
    }
    const double dRecord = Median(journal_ms);
    const double dReadFloor = 64 * (37 + 53) * kCharSeconds * 1000;
    const double dWriteFloor = 64 * (53 + 1) * kCharSeconds * 1000;
    const double dShare = 100 * dRecord / std::min(dReadFloor, dWriteFloor);
    const double dHistory = Median(history_ms);
    bMet = dShare <= 1.0 && dHistory < 200;
    std::printf("recording a connect and a write: %.2f ms = %.3f %% of a paced write (<= 1 %%)\n", dRecord,
                dShare);
    std::printf("history of one unit among %d entries: %.2f ms (< 200 ms)  %s\n", kEntries, dHistory,
                bMet ? "met" : "MISSED");
    return true;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (const int nExit = BenchUsage(argc, argv,
                                     "Usage: bench_record\nFills a record of 100000 entries in a temporary "
                                     "folder, then measures the journal's work a transaction and the history "
                                     "of one unit; then fills one of 1000000 entries and measures zint9 "
                                     "history of it in each format and with --latest (time and peak resident "
                                     "size).\n");
        nExit >= 0)
        return nExit;
    QTemporaryDir folder;
    CRecordStore store;
    QElapsedTimer timer;
    timer.start();
    if (!store.Open(folder.filePath("record.sqlite")) || !Fill(store))
    {
        std::fprintf(stderr, "bench_record: %s\n", qPrintable(store.m_strLastError));
        return 1;
    }
    std::printf("record of %d entries filled in %.1f s\n", kEntries, double(timer.elapsed()) / 1000);

    bool bMet = false;
    if (!JournalAndHistory(store, bMet))
        return 1;

    const QString strLarge = folder.filePath("large.sqlite");
    QString strError;
    timer.restart();
    if (!FillLarge(strLarge, strError))
    {
        std::fprintf(stderr, "bench_record: %s\n", qPrintable(strError));
        return 1;
    }
    std::printf("record of %d entries filled in %.1f s\n", kLargeEntries, double(timer.elapsed()) / 1000);
    bMet = LargeHistory(strLarge) && bMet;
    std::printf("%s\n", bMet ? "met" : "MISSED");
    return bMet ? 0 : 1;
}
