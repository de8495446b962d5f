#pragma once

#include <memory>

// Standard input's echo turned off while a station reads serials from the terminal a scanner
// types into, so that a scanned line never lands in the status lines; put back as it was
// (cterminalecho_unix.cpp, cterminalecho_win.cpp). Nothing happens where the input is no terminal.
class CTerminalEcho
{
public:
    CTerminalEcho();
    ~CTerminalEcho();
    CTerminalEcho(const CTerminalEcho&) = delete;
    CTerminalEcho& operator=(const CTerminalEcho&) = delete;
    // The input is a terminal.
    static bool IsTerminal();
    void Off();

private:
    struct SSaved;
    std::unique_ptr<SSaved> m_pSaved;
};
