#include "cbatchdisplay.h"

#include "cconsoleprogress.h"
#include "cprogress.h"

namespace
{
// Escape sequences for the tones; plain has none.
const char* const kColours[] = {"", "\x1b[32m", "\x1b[1;31m", "\x1b[33m"};
} // namespace

CBatchDisplay::CBatchDisplay(std::FILE* pStream, bool bTerminal, const QStringList& ports)
    : m_pStream(pStream), m_bLive(bTerminal), m_ports(ports)
{
    for (const QString& strPort : ports)
    {
        m_status << QString();
        m_tones << ETone::Plain;
        m_nWidth = qMax(m_nWidth, strPort.size());
    }
    int nRows = 0, nColumns = 0;
    if (m_bLive && CConsoleProgress::TerminalSize(pStream, nRows, nColumns))
    {
        // Lines that do not fit would be redrawn out of sight for ever: the messages alone then.
        m_bLive = nRows >= int(ports.size()) + 2;
        m_nColumns = qMax(40, nColumns - 1);
    }
    const QByteArray term = qgetenv("TERM");
    m_bColour = m_bLive && qEnvironmentVariableIsEmpty("NO_COLOR") && term != "dumb" && !term.isEmpty();
    if (m_bLive)
        DrawAll();
}

QString CBatchDisplay::Progress(int nPercent, const QString& strText)
{
    // The verify is a check of what was written, though it reads.
    QString strPhase = strText;
    if (strText.startsWith(QStringLiteral("Сверка")))
        strPhase = QStringLiteral("сверка записанного");
    else if (strText.startsWith(QStringLiteral("Запись")))
        strPhase = QStringLiteral("запись");
    else if (strText.startsWith(QStringLiteral("Чтение")))
        strPhase = QStringLiteral("чтение");
    return QStringLiteral("[%1] %2% %3").arg(CProgress::Bar(nPercent, 16)).arg(nPercent, 3).arg(strPhase);
}

QString CBatchDisplay::Line(int nLine) const
{
    const QString strText =
        (m_ports[nLine].leftJustified(m_nWidth) + QStringLiteral("  ") + m_status[nLine]).left(m_nColumns);
    if (!m_bColour || m_tones[nLine] == ETone::Plain)
        return strText;
    // The port's name stays plain; its status takes the tone.
    const qsizetype nName = qMin(m_nWidth + 2, strText.size());
    return strText.left(nName) + QLatin1String(kColours[int(m_tones[nLine])]) + strText.mid(nName) +
           QStringLiteral("\x1b[0m");
}

QString CBatchDisplay::CountsLine() const
{
    return QStringLiteral("настроено: %1   уже настроены: %2   ошибки: %3")
        .arg(m_nCounts[0])
        .arg(m_nCounts[1])
        .arg(m_nCounts[2])
        .left(m_nColumns);
}

void CBatchDisplay::DrawAll()
{
    for (int i = 0; i < m_ports.size(); ++i)
        std::fprintf(m_pStream, "%s\n", Line(i).toUtf8().constData());
    std::fprintf(m_pStream, "%s\n", CountsLine().toUtf8().constData());
    std::fflush(m_pStream);
}

void CBatchDisplay::SetStatus(int nLine, const QString& strText, ETone nTone)
{
    if (m_status[nLine] == strText && m_tones[nLine] == nTone)
        return;
    m_status[nLine] = strText;
    m_tones[nLine] = nTone;
    if (!m_bLive)
        return;
    const int nUp = int(m_ports.size()) + 1 - nLine;
    std::fprintf(m_pStream, "\x1b[%dA\r\x1b[2K%s\r\x1b[%dB", nUp, Line(nLine).toUtf8().constData(), nUp);
    std::fflush(m_pStream);
}

void CBatchDisplay::SetCounts(int nDone, int nAlready, int nFailed)
{
    m_nCounts[0] = nDone;
    m_nCounts[1] = nAlready;
    m_nCounts[2] = nFailed;
    if (!m_bLive)
        return;
    std::fprintf(m_pStream, "\x1b[1A\r\x1b[2K%s\n", CountsLine().toUtf8().constData());
    std::fflush(m_pStream);
}

void CBatchDisplay::Log(const QString& strText)
{
    if (m_bLive)
        std::fprintf(m_pStream, "\x1b[%dA\r\x1b[J", int(m_ports.size()) + 1);
    std::fprintf(m_pStream, "%s\n", strText.toUtf8().constData());
    if (m_bLive)
        DrawAll();
}
