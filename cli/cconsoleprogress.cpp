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
    constexpr int kWidth = 32;
    const int nSpan = m_nMax > m_nMin ? m_nMax - m_nMin : 1;
    const int nDone = qBound(0, m_nPos - m_nMin, nSpan);
    const int nFilled = nDone * kWidth / nSpan;
    const QString strBar = QString(nFilled, QLatin1Char('#')) + QString(kWidth - nFilled, QLatin1Char('.'));
    std::fprintf(m_pStream, "\r[%s] %3d%% %s", qPrintable(strBar), nDone * 100 / nSpan,
                 m_strText.toUtf8().constData());
    std::fflush(m_pStream);
    m_bDrawn = true;
}
