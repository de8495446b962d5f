#include "cconsoleprogress.h"

CConsoleProgress::~CConsoleProgress()
{
    if (m_bDrawn)
        std::fputs("\n", m_pStream);
}

void CConsoleProgress::SetText(const QString& strText)
{
    m_strText = strText.section(QLatin1Char('\n'), -1); // the last line says what is being done
}

void CConsoleProgress::SetRange(int nMin, int nMax)
{
    m_nMin = nMin;
    m_nMax = nMax;
}

void CConsoleProgress::SetPos(int nPos)
{
    m_nPos = nPos;
    Draw();
}

void CConsoleProgress::Draw()
{
    const int nPercent = qBound(0, Percent(m_nPos, m_nMin, m_nMax), 100);
    // The rest of the line is cleared: a shorter text may follow a longer one in one bar.
    std::fprintf(m_pStream, "\r[%s] %3d%% %s\033[K", qPrintable(Bar(nPercent, 32)), nPercent,
                 m_strText.toUtf8().constData());
    std::fflush(m_pStream);
    m_bDrawn = true;
}

void CConsoleProgress::Erase()
{
    if (!m_bDrawn)
        return;
    std::fputs("\r\033[K", m_pStream);
    std::fflush(m_pStream);
    m_bDrawn = false;
}
