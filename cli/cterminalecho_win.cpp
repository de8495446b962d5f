#include "cterminalecho.h"

#include <windows.h>

struct CTerminalEcho::SSaved
{
    DWORD dwMode;
};

CTerminalEcho::CTerminalEcho() = default;

CTerminalEcho::~CTerminalEcho()
{
    if (m_pSaved)
        ::SetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), m_pSaved->dwMode);
}

bool CTerminalEcho::IsTerminal()
{
    DWORD dwMode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &dwMode) != 0;
}

void CTerminalEcho::Off()
{
    auto pSaved = std::make_unique<SSaved>();
    const HANDLE hInput = ::GetStdHandle(STD_INPUT_HANDLE);
    if (!::GetConsoleMode(hInput, &pSaved->dwMode))
        return;
    if (::SetConsoleMode(hInput, pSaved->dwMode & ~DWORD(ENABLE_ECHO_INPUT)))
        m_pSaved = std::move(pSaved);
}
