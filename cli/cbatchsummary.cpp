#include "cbatchsummary.h"

#include "cconsole.h"
#include "cfingerprint.h"

#include <QJsonObject>

#include <algorithm>

QString CBatchSummary::ResultText(const QString& strResult, bool bPartial)
{
    if (strResult == QLatin1String("ok"))
        return QStringLiteral("успех");
    if (strResult == QLatin1String("already"))
        return QStringLiteral("уже настроен");
    if (strResult == QLatin1String("unverified"))
        return QStringLiteral("записано без сверки");
    if (strResult == QLatin1String("refused"))
        return QStringLiteral("отклонено");
    if (strResult == QLatin1String("interrupted"))
        return bPartial ? QStringLiteral("прервано; образ может быть частичным") : QStringLiteral("прервано");
    return bPartial ? QStringLiteral("ошибка; образ может быть частичным") : QStringLiteral("ошибка");
}

QString CBatchSummary::Table(const QJsonArray& results)
{
    QList<QStringList> rows = {
        {"Порт", "Версия", "Загрузчик", "Результат", "Адрес", "Отпечаток", "Резервная копия"}};
    for (const QJsonValue& value : results)
    {
        const QJsonObject result = value.toObject();
        auto text = [&](const char* pszKey)
        { return result[pszKey].isNull() ? QStringLiteral("-") : result[pszKey].toString(); };
        QString strAddress = QStringLiteral("-");
        if (!result["address"].isNull())
        {
            const int nAddress = result["address"].toInt();
            strAddress = QStringLiteral("%1 (0x%2)").arg(nAddress).arg(nAddress, 3, 16, QLatin1Char('0'));
        }
        QString strUnit = CFingerprint::Short(result["fingerprint"].toString());
        if (result["ambiguous"].toBool())
            strUnit += QStringLiteral(" (неоднозначен)");
        rows.append({result["port"].toString(), text("version"), text("bootVersion"),
                     ResultText(result["result"].toString(), result["partial"].toBool()), strAddress, strUnit,
                     text("backup")});
    }
    return CConsole::Columns(rows);
}

QJsonArray CBatchSummary::InPortOrder(const QJsonArray& results, const QStringList& ports)
{
    QList<QJsonValue> sorted(results.begin(), results.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&ports](const QJsonValue& a, const QJsonValue& b)
                     { return ports.indexOf(a["port"].toString()) < ports.indexOf(b["port"].toString()); });
    QJsonArray ordered;
    for (const QJsonValue& result : sorted)
        ordered.append(result);
    return ordered;
}
