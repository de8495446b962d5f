#include "cconsoleprogress.h"

#include <sys/ioctl.h>
#include <unistd.h>

bool CConsoleProgress::IsTerminal(std::FILE* pStream)
{
    return ::isatty(::fileno(pStream)) != 0;
}

bool CConsoleProgress::TerminalSize(std::FILE* pStream, int& nRows, int& nColumns)
{
    struct winsize size = {};
    if (::ioctl(::fileno(pStream), TIOCGWINSZ, &size) != 0 || size.ws_row == 0 || size.ws_col == 0)
        return false;
    nRows = size.ws_row;
    nColumns = size.ws_col;
    return true;
}
