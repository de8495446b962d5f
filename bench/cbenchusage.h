#pragma once

#include <cstdio>
#include <cstring>

// A benchmark takes no arguments: --help (or -h) prints what it does, anything else is refused.
// Returns the exit status where the program is to end, -1 where it is to run.
inline int BenchUsage(int argc, char* argv[], const char* pszUsage)
{
    if (argc < 2)
        return -1;
    const bool bHelp = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0;
    std::fputs(pszUsage, bHelp ? stdout : stderr);
    return bHelp ? 0 : 2;
}
