#include "clinelog.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <memory>

Q_LOGGING_CATEGORY(lcLine, "zint9.line", QtWarningMsg)

namespace
{
std::unique_ptr<QFile> s_pFile;
QString s_strWriteError; // the first write that failed
QtMessageHandler s_pfnPrevious = nullptr;
QLoggingCategory::CategoryFilter s_pfnPreviousFilter = nullptr;

void Filter(QLoggingCategory* pCategory)
{
    if (s_pfnPreviousFilter)
        s_pfnPreviousFilter(pCategory);
    if (qstrcmp(pCategory->categoryName(), "zint9.line") == 0)
        pCategory->setEnabled(QtDebugMsg, true);
}

void Handler(QtMsgType nType, const QMessageLogContext& context, const QString& strMessage)
{
    if (s_pFile && context.category && qstrcmp(context.category, lcLine().categoryName()) == 0)
    {
        const QByteArray line = strMessage.toUtf8() + '\n';
        // Flushed at once: a log that ends where the program stopped.
        if ((s_pFile->write(line) != line.size() || !s_pFile->flush()) && s_strWriteError.isEmpty())
            s_strWriteError = s_pFile->errorString();
        return;
    }
    if (s_pfnPrevious)
        s_pfnPrevious(nType, context, strMessage);
}
} // namespace

bool CLineLog::Start(const QString& strPath, QString& strError)
{
    Stop();
    // A FIFO would block the run, a device swallow the log: only a regular file (or "-").
    const QFileInfo info(strPath);
    if (strPath != QLatin1String("-") && info.exists() && !info.isFile())
    {
        strError = QStringLiteral("это не обычный файл");
        return false;
    }
    s_strWriteError.clear();
    auto pFile = std::make_unique<QFile>();
    const bool bOpen =
        strPath == QLatin1String("-")
            ? pFile->open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered)
            : (pFile->setFileName(strPath), pFile->open(QIODevice::WriteOnly | QIODevice::Truncate));
    if (!bOpen)
    {
        strError = pFile->errorString();
        return false;
    }
    s_pFile = std::move(pFile);
    s_pfnPrevious = qInstallMessageHandler(Handler);
    s_pfnPreviousFilter = QLoggingCategory::installFilter(Filter);
    return true;
}

bool CLineLog::Stop(QString* pError)
{
    if (!s_pFile)
        return true;
    QLoggingCategory::installFilter(s_pfnPreviousFilter);
    s_pfnPreviousFilter = nullptr;
    qInstallMessageHandler(s_pfnPrevious);
    s_pfnPrevious = nullptr;
    if (!s_pFile->flush() && s_strWriteError.isEmpty())
        s_strWriteError = s_pFile->errorString();
    s_pFile.reset();
    if (pError)
        *pError = s_strWriteError;
    return s_strWriteError.isEmpty();
}

QString CLineLog::Line(qint64 nMs, char cDirection, const QString& strMeaning, const QByteArray& raw)
{
    QString strLine = QString::asprintf("%7lld ms %c ", static_cast<long long>(nMs), cDirection) + strMeaning;
    if (!raw.isEmpty())
        strLine += QStringLiteral(": ") + QString::fromLatin1(raw);
    return strLine;
}

QByteArray CLineLog::Text(const void* pBuffer, int n)
{
    const auto* p = static_cast<const quint8*>(pBuffer);
    QByteArray text;
    text.reserve(n + 4);
    for (int i = 0; i < n; ++i)
    {
        if (p[i] == '\n')
            text += "\\n";
        else if (p[i] >= 0x20 && p[i] < 0x7F && p[i] != '\\')
            text += char(p[i]);
        else
            text += QByteArray("\\x") + QByteArray::number(p[i], 16).rightJustified(2, '0');
    }
    return text;
}

QByteArray CLineLog::Hex(const void* pBuffer, int n)
{
    return QByteArray(static_cast<const char*>(pBuffer), n).toHex(' ').toUpper();
}
