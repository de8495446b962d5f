#include "cconsole.h"

#include "cfailuretext.h"

void CConsole::Out(const QString& strText)
{
    std::fprintf(m_pOut, "%s\n", strText.toUtf8().constData());
    std::fflush(m_pOut);
}

void CConsole::Err(const QString& strText)
{
    if (m_pfnErrorSink)
    {
        m_pfnErrorSink(strText);
        return;
    }
    std::fprintf(m_pErr, "%s\n", strText.toUtf8().constData());
    std::fflush(m_pErr);
}

int CConsole::Error(int nExit, const QString& strText)
{
    Err(QStringLiteral("zint9: ") + strText);
    return nExit;
}

void CConsole::Reason(const CFailure& failure)
{
    if (failure.IsSet())
        Err(QStringLiteral("Причина: ") + CFailureText::Describe(failure));
}
