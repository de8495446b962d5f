#pragma once

#include "cprogress.h"

#include <cstdio>

// A progress bar on a terminal: "[#####.....]  37% text", redrawn in place.
class CConsoleProgress : public CProgress
{
public:
    explicit CConsoleProgress(std::FILE* pStream) : m_pStream(pStream) {}
    ~CConsoleProgress() override;
    void SetText(const QString& strText) override;
    void SetRange(int nMin, int nMax) override;
    void SetStep(int nStep) override { m_nStep = nStep; }
    void SetPos(int nPos) override;
    void StepIt() override { SetPos(m_nPos + m_nStep); }
    // Clears the bar's line, for a line that says the same when done.
    void Erase();

    // True when the stream is a terminal (cconsoleprogress_unix.cpp, cconsoleprogress_win.cpp).
    static bool IsTerminal(std::FILE* pStream);
    // The terminal's rows and columns; false where they are not known.
    static bool TerminalSize(std::FILE* pStream, int& nRows, int& nColumns);

private:
    void Draw();

    std::FILE* m_pStream;
    QString m_strText;
    int m_nMin = 0;
    int m_nMax = 100;
    int m_nStep = 1;
    int m_nPos = 0;
    bool m_bDrawn = false;
};
