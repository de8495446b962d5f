#include "cinterrupt.h"

#include <QProcess>

#include <csignal>
#include <unistd.h>

void CInterrupt::NewGroup(QProcess& process)
{
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
}

bool CInterrupt::SendToGroup(qint64 nLeader)
{
    return ::kill(-pid_t(nLeader), SIGINT) == 0;
}

bool CInterrupt::HangUpGroup(qint64 nLeader)
{
    return ::kill(-pid_t(nLeader), SIGHUP) == 0;
}
