// What a plant's PostgreSQL record costs a station, against a throwaway cluster of its own: the
// journal's work a transaction when the plant is the store (the station records locally first,
// see bench_record), the upload rate of 10 000 waiting entries, straight and over a link that
// adds 50 ms to each answer, and 32 processes recording at once into the station's local record
// and into the plant's.
// Targets: one transaction's entries under 1 % of a paced write; the slow link's upload within
// 30 s, no chunk of it over 2 s; none lost or doubled.
#include "cbenchunit.h"
#include "cbenchusage.h"
#include "cdelayproxy.h"
#include "cfingerprint.h"
#include "cpgcluster.h"
#include "crecordjournal.h"
#include "crecordstore.h"
#include "crecordupload.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
constexpr double kCharSeconds = 11.0 / 9600;
constexpr int kProcesses = 32;
constexpr int kEach = 50;

// One process of many: kEach connects and writes recorded, as a worker records its units.
int Writer(const QString& strLocation, int nWriter)
{
    CRecordStore store;
    if (!store.Open(strLocation, 10))
        return 1;
    CZTAppDevice app;
    app.m_bConnected = true;
    CWriteSession session(app);
    CRecordJournal journal(store, CRecordJournal::DefaultIdentity(), QString());
    for (int i = 0; i < kEach; ++i)
    {
        app.m_ParamDevice = BenchUnit(nWriter * kEach + i);
        journal.Connected(session);
        if (!journal.TakeTrouble().isEmpty())
            return 1;
    }
    return 0;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Many writer processes at once; the seconds they take, or -1.
double Crowd(const QString& strLocation)
{
    std::vector<std::unique_ptr<QProcess>> writers;
    QElapsedTimer timer;
    timer.start();
    for (int w = 0; w < kProcesses; ++w)
    {
        writers.push_back(std::make_unique<QProcess>());
        writers.back()->start(QCoreApplication::applicationFilePath(),
                              {"--writer", strLocation, QString::number(w)});
    }
    bool bOk = true;
    for (const auto& pWriter : writers)
        bOk = pWriter->waitForFinished(120000) && pWriter->exitCode() == 0 && bOk;
    return bOk ? double(timer.elapsed()) / 1000 : -1;
}

int Count(const QString& strLocation)
{
    CRecordStore store;
    QList<CRecordEntry> entries;
    if (!store.Open(strLocation) || !store.Find({}, entries))
        return -1;
    return int(entries.size());
}
// A transaction's entries straight into the plant: a connect, then a write before and after.
// Their share of a paced write, or -1.
double Transactions(CRecordStore& plant)
{
    CZTAppDevice app;
    app.m_bConnected = true;
    CWriteSession session(app);
    CRecordJournal journal(plant, CRecordJournal::DefaultIdentity(), QString());
    std::vector<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < 50; ++i)
    {
        app.m_ParamDevice = BenchUnit(100000 + i);
        timer.start();
        journal.Connected(session);
        journal.WriteStarting(session);
        journal.WriteFinished(session);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        const QString strTrouble = journal.TakeTrouble();
        if (!strTrouble.isEmpty())
        {
            std::fprintf(stderr, "bench_plant: %s\n", qPrintable(strTrouble));
            return -1;
        }
    }
    const double dWriteFloor = 64 * (53 + 1) * kCharSeconds * 1000;
    const double dShare = 100 * Median(times) / dWriteFloor;
    std::printf("a connect and a write recorded in the plant: %.2f ms = %.3f %% of a paced write (<= 1 %%)\n",
                Median(times), dShare);
    return dShare;
}

// nCount entries waiting on the station.
void MakeWaiting(CRecordStore& local, int nCount)
{
    CZTAppDevice app;
    app.m_bConnected = true;
    CWriteSession session(app);
    CRecordJournal waiting(local, CRecordJournal::DefaultIdentity(), QString());
    for (int i = 0; i < nCount; ++i)
    {
        app.m_ParamDevice = BenchUnit(i % 2000);
        waiting.Connected(session);
    }
}

// What waits, uploaded (the plant opened first where strPlant is given, as a sync does): the
// seconds it takes and the longest a chunk took, or -1.
struct SUpload
{
    int nUploaded = 0;
    double dSeconds = -1;
    double dLongestChunk = 0;
};

SUpload Upload(CRecordStore& local, CRecordStore& plant, const QString& strPlant, const char* pszHow)
{
    SUpload upload;
    QString strError;
    QElapsedTimer timer, chunk;
    timer.start();
    bool bUploaded = strPlant.isEmpty() || plant.Open(strPlant);
    if (!bUploaded)
        strError = plant.m_strLastError;
    chunk.start();
    bUploaded = bUploaded && CRecordUpload::Run(local, plant, upload.nUploaded, strError,
                                                [&](int, int)
                                                {
                                                    const double dChunk = double(chunk.restart()) / 1000;
                                                    upload.dLongestChunk =
                                                        std::max(upload.dLongestChunk, dChunk);
                                                });
    const double dUpload = double(timer.elapsed()) / 1000;
    std::printf("upload of %d waiting entries%s: %.2f s = %.0f entries/s, longest chunk %.2f s%s\n",
                upload.nUploaded, pszHow, dUpload, upload.nUploaded / std::max(dUpload, 1e-3),
                upload.dLongestChunk, bUploaded ? "" : qPrintable(" " + strError));
    if (bUploaded)
        upload.dSeconds = dUpload;
    return upload;
}

// The same over a link that adds kDelayMs to each answer of the plant's server, its connect
// included: at most kSlowSeconds, and no chunk near the seconds an uploader is given after a
// command (6).
constexpr int kDelayMs = 50;
constexpr double kSlowSeconds = 30;
constexpr double kChunkSeconds = 2;

SUpload SlowUpload(CPgCluster& cluster, const QString& strLocal)
{
    CDelayProxy proxy(cluster.SocketPath(), kDelayMs);
    CRecordStore local, plant;
    if (!cluster.CreateDatabase(QStringLiteral("slow")) ||
        !plant.Open(cluster.Url(QStringLiteral("slow")), 3, CRecordStore::EAccess::Init) || !proxy.Start() ||
        !local.Open(strLocal))
    {
        std::fprintf(stderr, "bench_plant: %s%s%s%s\n", qPrintable(cluster.m_strError),
                     qPrintable(plant.m_strLastError), qPrintable(proxy.m_strError),
                     qPrintable(local.m_strLastError));
        return SUpload();
    }
    MakeWaiting(local, 10000);
    return Upload(local, plant, cluster.TcpUrl(proxy.Port(), QStringLiteral("slow")),
                  qPrintable(QStringLiteral(" with %1 ms an answer").arg(kDelayMs)));
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--writer") == 0)
        return Writer(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    if (const int nExit = BenchUsage(argc, argv,
                                     "Usage: bench_plant\nStarts a throwaway PostgreSQL cluster and measures "
                                     "what a plant's record costs a station.\n");
        nExit >= 0)
        return nExit;
    CPgCluster cluster;
    if (!cluster.Start())
    {
        std::fprintf(stderr, "bench_plant: %s\n", qPrintable(cluster.m_strError));
        return 1;
    }
    QTemporaryDir folder;
    CRecordStore plant, local;
    // The owner makes the tables; the stations only write into them.
    if (!plant.Open(cluster.Url(), 3, CRecordStore::EAccess::Init) ||
        !local.Open(folder.filePath("local.sqlite")))
    {
        std::fprintf(stderr, "bench_plant: %s%s\n", qPrintable(plant.m_strLastError),
                     qPrintable(local.m_strLastError));
        return 1;
    }
    const double dShare = Transactions(plant);
    SUpload upload;
    if (dShare >= 0)
    {
        MakeWaiting(local, 10000);
        upload = Upload(local, plant, QString(), "");
    }
    const SUpload slow = SlowUpload(cluster, folder.filePath("slow.sqlite"));
    const double dLocal = Crowd(folder.filePath("crowd.sqlite"));
    const int nLocal = Count(folder.filePath("crowd.sqlite"));
    const int nBefore = Count(cluster.Url());
    const double dPlant = Crowd(cluster.Url());
    const int nPlant = Count(cluster.Url()) - nBefore;
    std::printf("%d processes x %d entries at once: local SQLite %.2f s, %d of %d kept; plant %.2f s, %d of "
                "%d kept\n",
                kProcesses, kEach, dLocal, nLocal, kProcesses * kEach, dPlant, nPlant, kProcesses * kEach);
    const bool bMet = dShare >= 0 && dShare <= 1.0 && upload.dSeconds >= 0 && upload.nUploaded == 10000 &&
                      slow.dSeconds >= 0 && slow.dSeconds <= kSlowSeconds && slow.nUploaded == 10000 &&
                      slow.dLongestChunk <= kChunkSeconds && nLocal == kProcesses * kEach &&
                      nPlant == kProcesses * kEach && dLocal > 0 && dPlant > 0;
    std::printf("%s\n", bMet ? "met" : "MISSED");
    return bMet ? 0 : 1;
}
