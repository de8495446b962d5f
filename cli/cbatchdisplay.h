#pragma once

#include <QList>
#include <QStringList>

#include <cstdio>

// One status line per port, redrawn in place on a terminal, with the run's counts under them and
// messages scrolling above; in colour where the terminal has it. A terminal too short for the
// lines, and anything that is no terminal, gets only the messages.
class CBatchDisplay
{
public:
    enum class ETone
    {
        Plain,
        Good,   // a unit configured
        Bad,    // a unit failed, a port that no longer works
        Notice, // the operator is awaited
    };

    CBatchDisplay(std::FILE* pStream, bool bTerminal, const QStringList& ports);
    void SetStatus(int nLine, const QString& strText, ETone nTone = ETone::Plain);
    // Units configured, found configured already, and failed, this run.
    void SetCounts(int nDone, int nAlready, int nFailed);
    void Log(const QString& strText);
    bool IsLive() const { return m_bLive; }
    // A worker's progress as its status line shows it: the phase in a word or two.
    static QString Progress(int nPercent, const QString& strText);

private:
    QString Line(int nLine) const;
    QString CountsLine() const;
    void DrawAll();

    std::FILE* m_pStream;
    bool m_bLive;
    bool m_bColour = false;
    QStringList m_ports;
    QStringList m_status;
    QList<ETone> m_tones;
    qsizetype m_nWidth = 0;    // of the port names
    qsizetype m_nColumns = 79; // a line never wraps, so that the cursor moves stay right
    int m_nCounts[3] = {0, 0, 0};
};
