#include "cbatchreport.h"

#include "ccsv.h"
#include "cimagefile.h"

#include <QJsonArray>

namespace
{
// New columns go at the end: a spreadsheet or script that reads the older ones by position
// keeps working.
const char* const kColumns[] = {"time",       "port",         "version",     "bootVersion", "sensor",
                                "lowLimit",   "highLimit",    "unit",        "dacLow",      "dacHigh",
                                "result",     "backup",       "fingerprint", "serial",      "station",
                                "operator",   "start",        "duration",    "sourceHash",  "verified",
                                "reason",     "partial",      "step",        "reasonKey",   "ambiguous",
                                "failOutput", "coldJunction", "peakBand",    "filterTime"};
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
    m_columns.clear();
    for (const char* pszColumn : kColumns)
        m_columns << QString::fromLatin1(pszColumn);
    if (m_file.size() == 0)
        return WriteLine(m_columns);
    // A report begun by an earlier version keeps its own columns.
    QFile existing(strPath);
    if (existing.open(QIODevice::ReadOnly))
    {
        const QString strHeader = QString::fromUtf8(existing.readLine()).trimmed();
        if (strHeader.startsWith(QLatin1String("time,port,")))
            m_columns = strHeader.split(QLatin1Char(','));
    }
    return true;
}

bool CBatchReport::Append(const QJsonObject& result)
{
    const QJsonObject dac = result["dacCalibration"].toObject();
    QStringList fields;
    for (const QString& strColumn : m_columns)
    {
        if (strColumn == QLatin1String("dacLow"))
            fields << CCsv::Text(dac["low"]);
        else if (strColumn == QLatin1String("dacHigh"))
            fields << CCsv::Text(dac["high"]);
        else
            fields << CCsv::Text(result[strColumn]);
    }
    return WriteLine(fields);
}

bool CBatchReport::WriteLine(const QStringList& fields)
{
    const QByteArray line = (CCsv::Line(fields) + QLatin1Char('\n')).toUtf8();
    const qint64 nBefore = m_file.size();
    if (m_file.write(line) == line.size())
        return true;
    // A cut line would join the next run's: the file goes back to where it was.
    m_strError = m_file.errorString();
    m_file.resize(nBefore);
    return false;
}
