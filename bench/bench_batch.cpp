// One zint9 write over 1, 4, 8, 16 and 32 paced simulators (each a process of its own) against the
// same write on one device through the single-port path. Targets: 16 and 32 devices in at most
// 1.10 x the time of one, at most 2 % CPU per device (zint9 and its workers, not the
// simulators), and 32 within 1.10 x the CPU per device of 16.
#include "cbenchusage.h"
#include "cchildcputime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

namespace
{
struct SRun
{
    bool bOk = false;
    double dWall = 0;
    double dCpu = 0;
};

SRun Write(const QStringList& arguments)
{
    SRun run;
    QProcess zint9;
    const double dCpuStart = CChildCpuTime::Seconds();
    QElapsedTimer wall;
    wall.start();
    zint9.start(QCoreApplication::applicationDirPath() + QStringLiteral("/zint9"), arguments);
    run.bOk =
        zint9.waitForFinished(300000) && zint9.exitStatus() == QProcess::NormalExit && zint9.exitCode() == 0;
    run.dWall = double(wall.nsecsElapsed()) / 1e9;
    run.dCpu = CChildCpuTime::Seconds() - dCpuStart;
    if (!run.bOk)
        std::fprintf(stderr, "%s", zint9.readAllStandardError().constData());
    return run;
}

// nCount paced simulators, each in a process of its own, and the ports they answer on.
bool StartSimulators(int nCount, std::vector<std::unique_ptr<QProcess>>& sims, QStringList& ports)
{
    for (int i = 0; i < nCount; ++i)
    {
        auto pSim = std::make_unique<QProcess>();
        pSim->start(QCoreApplication::applicationDirPath() + QStringLiteral("/zint9-sim"), {"--pace"});
        if (!pSim->waitForStarted() || !pSim->waitForReadyRead(5000))
        {
            std::fprintf(stderr, "bench_batch: cannot start zint9-sim\n");
            return false;
        }
        ports << QString::fromLocal8Bit(pSim->readLine()).trimmed();
        sims.push_back(std::move(pSim));
    }
    return true;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (const int nExit =
            BenchUsage(argc, argv,
                       "Usage: bench_batch\nStarts 32 paced simulators and times one zint9 "
                       "write over 1, 4, 8, 16 and 32 of them against the single-port write.\n");
        nExit >= 0)
        return nExit;
    std::vector<std::unique_ptr<QProcess>> sims;
    QStringList ports;
    if (!StartSimulators(32, sims, ports))
        return 1;
    QTemporaryDir backups;
    // The runs keep a record as a station does, a record of their own.
    qputenv("ZINT9_RECORD", ("sqlite:" + backups.filePath("record.sqlite")).toUtf8());
    const QStringList common = {
        "write",        "--quiet",
        "--in",         QCoreApplication::applicationDirPath() + QStringLiteral("/ImgEEPROM/demo.dat"),
        "--backup-dir", backups.path()};

    const SRun one = Write(common + QStringList{"--port", ports.first()});
    std::printf("single port: %s  wall %.2f s  cpu %.3f s = %.2f %%\n\n", one.bOk ? "ok" : "FAILED",
                one.dWall, one.dCpu, 100 * one.dCpu / one.dWall);
    std::printf("devices  wall, s  x one  cpu/device, s  cpu/device, %%  result\n");
    bool bMet = one.bOk;
    double dCpuOf16 = 0;
    for (int nDevices : {1, 4, 8, 16, 32})
    {
        const SRun run = Write(common + QStringList{"--ports", ports.mid(0, nDevices).join(',')});
        const double dRatio = run.dWall / one.dWall;
        const double dCpu = run.dCpu / nDevices;
        const double dShare = 100 * dCpu / run.dWall;
        const bool bRowMet = run.bOk && dShare <= 2.0 && (nDevices < 16 || dRatio <= 1.10) &&
                             (nDevices < 32 || dCpu <= dCpuOf16 * 1.10);
        if (nDevices == 16)
            dCpuOf16 = dCpu;
        bMet = bMet && bRowMet;
        std::printf("%7d  %7.2f  %5.3f  %13.3f  %14.2f  %s\n", nDevices, run.dWall, dRatio, dCpu, dShare,
                    !run.bOk  ? "FAILED"
                    : bRowMet ? "met"
                              : "MISSED");
    }
    std::printf("\ntargets: 16 and 32 devices <= 1.10 x one, <= 2 %% CPU per device, 32 within 1.10 x the "
                "CPU per device of 16\n");
    for (auto& pSim : sims)
    {
        pSim->terminate();
        pSim->waitForFinished();
    }
    return bMet ? 0 : 1;
}
