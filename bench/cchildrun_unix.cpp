#include "cchildrun.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <vector>

extern char** environ;

bool CChildRun::Run(const QString& strProgram, const QStringList& arguments)
{
    std::vector<QByteArray> texts{strProgram.toLocal8Bit()};
    for (const QString& strArgument : arguments)
        texts.push_back(strArgument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int nError = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (nError != 0)
        return false;
    // wait4 gives this child's own usage; RUSAGE_CHILDREN would give the largest child's so far.
    int nStatus = 0;
    rusage usage = {};
    if (::wait4(pid, &nStatus, 0, &usage) != pid)
        return false;
    m_dSeconds = double(timer.nsecsElapsed()) / 1e9;
    m_dPeakMb = double(usage.ru_maxrss) / 1024; // kilobytes on Linux
    return WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
}
