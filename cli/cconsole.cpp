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

QString CConsole::Columns(const QList<QStringList>& rows)
{
    QList<qsizetype> widths(rows.isEmpty() ? 0 : rows.first().size(), 0);
    for (const QStringList& row : rows)
        for (qsizetype i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = qMax(widths[i], row[i].size());
    QStringList lines;
    for (const QStringList& row : rows)
    {
        QString strLine;
        for (qsizetype i = 0; i < row.size(); ++i)
            strLine += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        lines << strLine;
    }
    return lines.join(QLatin1Char('\n'));
}
