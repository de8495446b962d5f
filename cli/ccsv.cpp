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
    return value.toString();
}
