#include "cconsole.h"

#include "cfailuretext.h"

void CConsole::Out(const QString& strText)
{
    if (!Write(strText.toUtf8() + '\n') || std::fflush(m_pOut) != 0)
        m_bOutFailed = true;
}

bool CConsole::Write(const QByteArray& text)
{
    // Written whole: a value's NUL must not end the output there.
    if (std::fwrite(text.constData(), 1, size_t(text.size()), m_pOut) != size_t(text.size()))
        m_bOutFailed = true;
    return !m_bOutFailed && std::ferror(m_pOut) == 0;
}

int CConsole::Checked(int nExit)
{
    // What the stream's buffer still holds may fail only now.
    if (std::fflush(m_pOut) != 0)
        m_bOutFailed = true;
    if (!m_bOutFailed && std::ferror(m_pOut) == 0)
        return nExit;
    m_bOutFailed = false;
    Error(nExit, QStringLiteral("не удалось записать вывод целиком"));
    return nExit == 0 ? 1 : nExit;
}

QString CConsole::Printable(const QString& strText)
{
    QString strOut;
    strOut.reserve(strText.size());
    for (const QChar ch : strText)
    {
        const char16_t c = ch.unicode();
        if (c >= 0x20 && c != 0x7F && (c < 0x80 || c > 0x9F))
            strOut += ch;
        else if (c == u'\n')
            strOut += QStringLiteral("\\n");
        else if (c == u'\r')
            strOut += QStringLiteral("\\r");
        else if (c == u'\t')
            strOut += QStringLiteral("\\t");
        else if (c == 0x1B)
            strOut += QStringLiteral("\\e");
        else
            strOut += QStringLiteral("\\x%1").arg(unsigned(c), 2, 16, QLatin1Char('0'));
    }
    return strOut;
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
