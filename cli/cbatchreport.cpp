#include "cbatchreport.h"

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
    if (m_file.write(line) != line.size())
    {
        m_strError = m_file.errorString();
        return false;
    }
    return true;
}
