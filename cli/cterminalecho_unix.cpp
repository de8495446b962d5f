#include "cterminalecho.h"

#include <termios.h>
#include <unistd.h>

struct CTerminalEcho::SSaved
{
    struct termios mode;
};

CTerminalEcho::CTerminalEcho() = default;

CTerminalEcho::~CTerminalEcho()
{
    if (m_pSaved)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &m_pSaved->mode);
}

bool CTerminalEcho::IsTerminal()
{
    return ::isatty(STDIN_FILENO) != 0;
}

void CTerminalEcho::Off()
{
    auto pSaved = std::make_unique<SSaved>();
    if (!IsTerminal() || ::tcgetattr(STDIN_FILENO, &pSaved->mode) != 0)
        return;
    struct termios mode = pSaved->mode;
    // Lines stay lines (a scanner ends each with Enter); only their echo goes.
    mode.c_lflag &= tcflag_t(~(ECHO | ECHOE | ECHOK | ECHONL));
    if (::tcsetattr(STDIN_FILENO, TCSANOW, &mode) == 0)
        m_pSaved = std::move(pSaved);
}
