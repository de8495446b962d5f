#include "cconsoleprogress.h"

#include <io.h>

bool CConsoleProgress::IsTerminal(std::FILE* pStream)
{
    return _isatty(_fileno(pStream)) != 0;
}
