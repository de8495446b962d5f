// What keeping the record costs: the journal's work on the line path (one connect and one write
// entry, with their images) against the line time of a paced read and write, and the history of
// one unit looked up in a record of 100 000 entries.
// Targets: recording at most 1 % of a paced read or write; a unit's history in under 0.2 s.
#include "cbenchunit.h"
#include "cbenchusage.h"
#include "cfingerprint.h"
#include "crecordjournal.h"
#include "crecordstore.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (const int nExit = BenchUsage(argc, argv,
                                     "Usage: bench_record\nFills a record of 100000 entries in a temporary "
                                     "folder, then measures the journal's work a transaction and the history "
                                     "of one unit.\n");
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
            return 1;
        }
    }
    const double dRecord = Median(journal_ms);
    const double dReadFloor = 64 * (37 + 53) * kCharSeconds * 1000;
    const double dWriteFloor = 64 * (53 + 1) * kCharSeconds * 1000;
    const double dShare = 100 * dRecord / std::min(dReadFloor, dWriteFloor);
    const double dHistory = Median(history_ms);
    const bool bMet = dShare <= 1.0 && dHistory < 200;
    std::printf("recording a connect and a write: %.2f ms = %.3f %% of a paced write (<= 1 %%)\n", dRecord,
                dShare);
    std::printf("history of one unit among %d entries: %.2f ms (< 200 ms)  %s\n", kEntries, dHistory,
                bMet ? "met" : "MISSED");
    return bMet ? 0 : 1;
}
