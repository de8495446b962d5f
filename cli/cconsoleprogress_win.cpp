#include "cconsoleprogress.h"

#include <io.h>
#include <windows.h>

bool CConsoleProgress::IsTerminal(std::FILE* pStream)
{
    return _isatty(_fileno(pStream)) != 0;
}

bool CConsoleProgress::TerminalSize(std::FILE* pStream, int& nRows, int& nColumns)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    const HANDLE hOutput = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(pStream)));
    if (!::GetConsoleScreenBufferInfo(hOutput, &info))
        return false;
    nRows = info.srWindow.Bottom - info.srWindow.Top + 1;
    nColumns = info.srWindow.Right - info.srWindow.Left + 1;
    return true;
}
