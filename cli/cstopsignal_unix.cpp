#include "cstopsignal.h"

#include <QProcess>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace
{
volatile std::sig_atomic_t s_nRaised = 0;

void OnSignal(int)
{
    s_nRaised = s_nRaised + 1;
}
} // namespace

void CStopSignal::Install()
{
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr); // the terminal or the ssh session closed
    IgnoreBrokenPipe();
}

void CStopSignal::IgnoreBrokenPipe()
{
    std::signal(SIGPIPE, SIG_IGN);
}

void CStopSignal::RaiseFileLimit()
{
    struct rlimit limit = {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max)
    {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int CStopSignal::Count()
{
    return int(s_nRaised);
}

void CStopSignal::Detach(QProcess& process)
{
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
}
