#include "cbatchsummary.h"

#include <QFileInfo>

#include "cconsole.h"
#include "cfingerprint.h"
#include "ctransaction.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

QString CBatchSummary::ResultText(const QString& strResult, bool bPartial)
{
    using EResult = CTransaction::EResult;
    const QString strMaybe = bPartial ? QStringLiteral("; образ может быть частичным") : QString();
    switch (CTransaction::ResultOfKey(strResult))
    {
    case EResult::Done:
        return QStringLiteral("успех");
    case EResult::Already:
        return QStringLiteral("уже настроен");
    case EResult::Unverified:
        return QStringLiteral("записано без сверки");
    case EResult::Refused:
        return QStringLiteral("отклонено");
    case EResult::Interrupted:
        return QStringLiteral("прервано") + strMaybe;
    default:
        return QStringLiteral("ошибка") + strMaybe;
    }
}

QString CBatchSummary::Shortened(const QString& strText, qsizetype nMax, EKeep nKeep)
{
    if (strText.size() <= nMax)
        return strText;
    // A result reads from its start; a port's name differs in its end, a backup's too.
    const qsizetype nHead = nKeep == EKeep::Start ? nMax - 1 : nKeep == EKeep::End ? 0 : (nMax - 1) / 3;
    return strText.left(nHead) + QStringLiteral("…") + strText.right(nMax - 1 - nHead);
}

QString CBatchSummary::Table(const QJsonArray& results)
{
    // Widths that add up, with the gaps, to the columns a station's terminal has.
    QList<QStringList> rows = {
        {"Порт", "Версии", "Результат", "Адрес", "Отпечаток", "Серийный номер", "Резервная копия"}};
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
        QString strResult = ResultText(result["result"].toString(), result["partial"].toBool());
        if (result["ambiguous"].toBool())
            strResult += QStringLiteral(", неоднозначен");
        const QString strBackup =
            result["backup"].isNull() ? QStringLiteral("-") : QFileInfo(text("backup")).fileName();
        rows.append({Shortened(result["port"].toString(), 18), Versions(result),
                     Shortened(strResult, 30, EKeep::Start), strAddress,
                     CFingerprint::Short(result["fingerprint"].toString()), Shortened(text("serial"), 12),
                     Shortened(strBackup, 16, EKeep::End)});
    }
    return CConsole::Columns(rows);
}

QString CBatchSummary::Versions(const QJsonObject& result)
{
    const QString strVersion = result["version"].toString();
    if (strVersion.isEmpty())
        return QStringLiteral("-"); // the unit never answered
    return QString(strVersion + QLatin1Char('/') + result["bootVersion"].toString())
        .remove(QStringLiteral("0x"));
}

bool CBatchSummary::AllConfigured(const QJsonArray& results)
{
    for (const QJsonValue& result : results)
        if (!CTransaction::Configured(CTransaction::ResultOfKey(result["result"].toString())) ||
            result["traceLost"].toBool() || result["protocolLost"].toBool())
            return false;
    return true;
}

void CBatchSummary::Print(std::FILE* pOut, const QJsonArray& results, bool bJson)
{
    if (bJson)
        std::fputs(QJsonDocument(results).toJson(QJsonDocument::Indented).constData(), pOut);
    else
        std::fprintf(pOut, "%s\n", Table(results).toUtf8().constData());
    std::fflush(pOut);
}

QStringList CBatchSummary::MarkAmbiguous(QJsonArray& results, const QSet<QString>& ambiguous)
{
    QStringList ids;
    for (QJsonValueRef value : results)
    {
        QJsonObject result = value.toObject();
        result["ambiguous"] = ambiguous.contains(result["fingerprint"].toString());
        if (result["ambiguous"].toBool())
            for (const QJsonValue& id : result["entries"].toArray())
                ids << id.toString();
        result.remove("entries");
        value = result;
    }
    return ids;
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
