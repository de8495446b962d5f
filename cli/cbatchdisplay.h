#pragma once

#include <QStringList>

#include <cstdio>

// One status line per port, redrawn in place on a terminal, with messages scrolling above them.
// Elsewhere only the messages are written.
class CBatchDisplay
{
public:
    CBatchDisplay(std::FILE* pStream, bool bLive, const QStringList& ports);
    void SetStatus(int nLine, const QString& strText);
    void Log(const QString& strText);
    bool IsLive() const { return m_bLive; }

private:
    QString Line(int nLine) const;

    std::FILE* m_pStream;
    bool m_bLive;
    QStringList m_ports;
    QStringList m_status;
    qsizetype m_nWidth = 0;
};
