#include "ccsv.h"

#include <QLocale>
#include <QRegularExpression>

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
    // A text that a spreadsheet would take for a formula (a serial "=1+1", an operator "@SUM"),
    // or for a number that loses its leading zeros or its last digits (a serial "007"), is
    // marked as text, as spreadsheets expect; the record keeps it as it was given.
    static const QRegularExpression kNumberLike(QStringLiteral("^(0[0-9]+|[0-9]{16,})$"));
    const QString strText = value.toString();
    if (!strText.isEmpty() &&
        (QStringLiteral("=+-@\t\r").contains(strText.front()) || kNumberLike.match(strText).hasMatch()))
        return QLatin1Char('\'') + strText;
    return strText;
}
