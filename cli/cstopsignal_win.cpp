#include "cstopsignal.h"

#include <QProcess>

#include <atomic>
#include <windows.h>

namespace
{
std::atomic<int> s_nRaised{0};

BOOL WINAPI OnControl(DWORD dwType)
{
    if (dwType != CTRL_C_EVENT && dwType != CTRL_BREAK_EVENT && dwType != CTRL_CLOSE_EVENT)
        return FALSE;
    ++s_nRaised;
    return TRUE;
}
} // namespace

void CStopSignal::Install()
{
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

void CStopSignal::IgnoreBrokenPipe()
{
    // Windows raises no signal for a broken pipe: the write fails.
}

void CStopSignal::RaiseFileLimit()
{
    // Handles are not limited per process as descriptors are.
}

int CStopSignal::Count()
{
    return s_nRaised;
}

void CStopSignal::Detach(QProcess& process)
{
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* pArguments)
                                              { pArguments->flags |= CREATE_NEW_PROCESS_GROUP; });
}
