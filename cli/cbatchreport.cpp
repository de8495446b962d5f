#include "cbatchreport.h"

#include "cimagefile.h"

#include <QJsonArray>

namespace
{
QString Field(const QString& strText)
{
    if (!strText.contains(QLatin1Char(',')) && !strText.contains(QLatin1Char('"')) &&
        !strText.contains(QLatin1Char('\n')) && !strText.contains(QLatin1Char('\r')))
        return strText;
    QString strQuoted = strText;
    return QLatin1Char('"') + strQuoted.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString Text(const QJsonValue& value)
{
    return value.isDouble() ? QString::number(value.toDouble(), 'g', 6) : value.toString();
}
} // namespace

bool CBatchReport::Open(const QString& strPath)
{
    // A FIFO or a device would block the run or swallow the lines.
    CImageFile file;
    if (!file.CheckRegular(strPath))
    {
        m_strError = file.m_strLastError;
        return false;
    }
    m_file.setFileName(strPath);
    // Unbuffered: each line goes out in one write() on a file opened for appending.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
    {
        m_strError = m_file.errorString();
        return false;
    }
    if (m_file.size() > 0)
        return true;
    return WriteLine({"time", "port", "version", "bootVersion", "sensor", "lowLimit", "highLimit", "unit",
                      "dacLow", "dacHigh", "result", "backup"});
}

bool CBatchReport::Append(const QJsonObject& result)
{
    const QJsonObject dac = result["dacCalibration"].toObject();
    return WriteLine({Text(result["time"]), Text(result["port"]), Text(result["version"]),
                      Text(result["bootVersion"]), Text(result["sensor"]), Text(result["lowLimit"]),
                      Text(result["highLimit"]), Text(result["unit"]), Text(dac["low"]), Text(dac["high"]),
                      Text(result["result"]), Text(result["backup"])});
}

bool CBatchReport::WriteLine(const QStringList& fields)
{
    QStringList quoted;
    for (const QString& strField : fields)
        quoted << Field(strField);
    const QByteArray line = (quoted.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8();
    const qint64 nBefore = m_file.size();
    if (m_file.write(line) == line.size())
        return true;
    // A cut line would join the next run's: the file goes back to where it was.
    m_strError = m_file.errorString();
    m_file.resize(nBefore);
    return false;
}
