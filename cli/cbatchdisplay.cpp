#include "cbatchdisplay.h"

namespace
{
// A status line never wraps, so that the cursor moves stay right on an 80-column terminal.
constexpr qsizetype kMaxColumns = 79;
} // namespace

CBatchDisplay::CBatchDisplay(std::FILE* pStream, bool bLive, const QStringList& ports)
    : m_pStream(pStream), m_bLive(bLive), m_ports(ports)
{
    for (const QString& strPort : ports)
    {
        m_status << QString();
        m_nWidth = qMax(m_nWidth, strPort.size());
    }
    if (!m_bLive)
        return;
    for (int i = 0; i < m_ports.size(); ++i)
        std::fprintf(m_pStream, "%s\n", Line(i).toUtf8().constData());
    std::fflush(m_pStream);
}

QString CBatchDisplay::Line(int nLine) const
{
    return (m_ports[nLine].leftJustified(m_nWidth) + QStringLiteral("  ") + m_status[nLine])
        .left(kMaxColumns);
}

void CBatchDisplay::SetStatus(int nLine, const QString& strText)
{
    if (m_status[nLine] == strText)
        return;
    m_status[nLine] = strText;
    if (!m_bLive)
        return;
    const int nUp = int(m_ports.size()) - nLine;
    std::fprintf(m_pStream, "\x1b[%dA\r\x1b[2K%s\r\x1b[%dB", nUp, Line(nLine).toUtf8().constData(), nUp);
    std::fflush(m_pStream);
}

void CBatchDisplay::Log(const QString& strText)
{
    if (m_bLive)
        std::fprintf(m_pStream, "\x1b[%dA\r\x1b[J", int(m_ports.size()));
    std::fprintf(m_pStream, "%s\n", strText.toUtf8().constData());
    if (m_bLive)
        for (int i = 0; i < m_ports.size(); ++i)
            std::fprintf(m_pStream, "%s\n", Line(i).toUtf8().constData());
    std::fflush(m_pStream);
}
