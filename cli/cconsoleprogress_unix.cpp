#include "cconsoleprogress.h"

#include <unistd.h>

bool CConsoleProgress::IsTerminal(std::FILE* pStream)
{
    return ::isatty(::fileno(pStream)) != 0;
}
