#include "ccsv.h"

#include <QLocale>

QString CCsv::Line(const QStringList& fields)
{
    QStringList quoted;
    for (const QString& strField : fields)
    {
        if (!strField.contains(QLatin1Char(',')) && !strField.contains(QLatin1Char('"')) &&
            !strField.contains(QLatin1Char('\n')) && !strField.contains(QLatin1Char('\r')))
        {
            quoted << strField;
            continue;
        }
        QString strCopy = strField;
        quoted << QLatin1Char('"') + strCopy.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                      QLatin1Char('"');
    }
    return quoted.join(QLatin1Char(','));
}

QString CCsv::Text(const QJsonValue& value)
{
    if (value.isBool())
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    // A text that a spreadsheet would take for a formula (a serial "=1+1", an operator "@SUM")
    // is marked as text, as spreadsheets expect; the record keeps it as it was given.
    const QString strText = value.toString();
    if (!strText.isEmpty() && QStringLiteral("=+-@\t\r").contains(strText.front()))
        return QLatin1Char('\'') + strText;
    return strText;
}
