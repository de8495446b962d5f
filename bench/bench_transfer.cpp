// Reads and writes the whole image against the paced simulator (a separate process, so that
// only the host's work is counted) and compares with the line-time floor at 9600 baud.
// Targets: wall time at most 1.02 x the floor, CPU time at most 2 % of the wall time; the
// wizard's write with its read-back likewise against the floor of both.
#include "cbenchusage.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>

#include <cstdio>
#include <ctime>

namespace
{
constexpr double kCharSeconds = 11.0 / 9600;

bool Measure(const char* pszName, double dFloorChars, const std::function<bool()>& fnRun)
{
    QElapsedTimer wall;
    const std::clock_t nCpuStart = std::clock();
    wall.start();
    const bool bOk = fnRun();
    const double dWall = double(wall.nsecsElapsed()) / 1e9;
    const double dCpu = double(std::clock() - nCpuStart) / CLOCKS_PER_SEC;
    const double dFloor = dFloorChars * kCharSeconds;
    const double dRatio = dWall / dFloor;
    const double dShare = 100 * dCpu / dWall;
    const bool bMet = bOk && dRatio <= 1.02 && dShare <= 2.0;
    std::printf(
        "%-11s %s  wall %.3f s  floor %.3f s  ratio %.4f (<= 1.02)  cpu %.3f s = %.2f %% (<= 2 %%)  %s\n",
        pszName, bOk ? "ok    " : "FAILED", dWall, dFloor, dRatio, dCpu, dShare, bMet ? "met" : "MISSED");
    return bMet;
}
// The wizard's write: the whole image, then read back and compared byte for byte.
bool WriteAndCheck(CZTAppDevice& app)
{
    CWriteSession session(app);
    CWriteSession::SRequest request;
    request.strBackupDir = QDir::tempPath();
    return session.Write(request) && session.Verified();
}

// A paced simulator with the given options; its port, or empty after saying why.
QString StartSim(QProcess& sim, const QStringList& options)
{
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/zint9-sim"), options);
    if (!sim.waitForStarted() || !sim.waitForReadyRead(5000))
    {
        std::fprintf(stderr, "bench_transfer: cannot start zint9-sim\n");
        return QString();
    }
    return QString::fromLocal8Bit(sim.readLine()).trimmed();
}

// A unit whose answers do not name their blocks: before the write the device block's twelve
// blocks are read again, which the floor includes.
bool BareUnit(CZTAppDevice& app)
{
    QProcess sim;
    const QString strPort = StartSim(sim, {QStringLiteral("--pace"), QStringLiteral("--bare")});
    CWriteSession session(app);
    const bool bConnected = !strPort.isEmpty() && session.Connect(strPort);
    std::printf("a unit whose answers name no block, its device block read again before the write:\n");
    const bool bMet = bConnected && Measure("Write+check", 12 * (37 + 53) + 64 * (53 + 1) + 64 * (37 + 53),
                                            [&] { return WriteAndCheck(app); });
    app.m_Port.Close();
    sim.terminate();
    sim.waitForFinished();
    return bMet;
}

// A set of one setting, verified: the whole image written and read back, against only the block
// that changed. Target: the changed-only set in at most 0.45 of the time of the full one.
bool ChangedOnly(CZTAppDevice& app, const QString& strPort)
{
    app.LoadSensorCatalogue();
    double dSeconds[2] = {};
    for (int i = 0; i < 2; ++i)
    {
        QElapsedTimer wall;
        wall.start();
        CWriteSession session(app);
        CWriteSession::SRequest request;
        request.bChangedOnly = i == 1;
        request.strBackupDir = QDir::tempPath();
        bool bOk = session.Connect(strPort);
        app.m_ParamEdit.fLowLimit = float(i + 1);
        bOk = bOk && session.Write(request) && session.Verified();
        app.m_Port.Close();
        if (!bOk)
        {
            std::printf("set of one setting: FAILED at step %d\n", int(session.Failure().m_nStep));
            return false;
        }
        dSeconds[i] = double(wall.nsecsElapsed()) / 1e9;
    }
    const double dRatio = dSeconds[1] / dSeconds[0];
    std::printf("set of one setting, verified: %.2f s; --changed-only %.2f s = %.3f (<= 0.45)  %s\n",
                dSeconds[0], dSeconds[1], dRatio, dRatio <= 0.45 ? "met" : "MISSED");
    return dRatio <= 0.45;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (const int nExit = BenchUsage(argc, argv,
                                     "Usage: bench_transfer\nReads and writes the whole image against the "
                                     "paced simulator and compares the time with the line's floor.\n");
        nExit >= 0)
        return nExit;
    QProcess sim;
    const QString strPort = StartSim(sim, {QStringLiteral("--pace")});
    if (strPort.isEmpty())
        return 1;

    CZTAppDevice app;
    app.m_Hooks.m_pfnPageExchange = [](bool) { return true; };
    if (!app.m_Port.Open(strPort) || !app.ReadVersions())
    {
        std::fprintf(stderr, "bench_transfer: no device on %s\n", qPrintable(strPort));
        return 1;
    }
    bool bMet = Measure("ReadImage", 64 * (37 + 53), [&] { return app.ReadImage(app.m_ParamDevice); });
    const CParamZT01 image = app.m_ParamDevice;
    bMet = Measure("WriteImage", 64 * (53 + 1), [&] { return app.WriteImage(image); }) && bMet;
    app.LoadSensorCatalogue();
    bMet = Measure("Write+check", 64 * (53 + 1) + 64 * (37 + 53), [&] { return WriteAndCheck(app); }) && bMet;
    app.m_Port.Close();
    bMet = ChangedOnly(app, strPort) && bMet;
    sim.terminate();
    sim.waitForFinished();
    return BareUnit(app) && bMet ? 0 : 1;
}
