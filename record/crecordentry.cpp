#include "crecordentry.h"

namespace
{
QJsonValue Text(const QString& strValue)
{
    return strValue.isEmpty() ? QJsonValue() : QJsonValue(strValue);
}

QJsonValue Version(int nVersion)
{
    return nVersion < 0 ? QJsonValue()
                        : QJsonValue(QStringLiteral("0x%1").arg(nVersion, 4, 16, QLatin1Char('0')));
}
} // namespace

QJsonObject CRecordEntry::Json() const
{
    return {{"id", strId},
            {"time", timeStart.toString(Qt::ISODateWithMs)},
            {"duration", double(nDurationMs) / 1000},
            {"station", strStation},
            {"operator", strOperator},
            {"port", Text(strPort)},
            {"fingerprint", Text(strFingerprint)},
            {"serial", Text(strSerial)},
            {"version", Version(nVersion)},
            {"bootVersion", Version(nBootVersion)},
            {"operation", strOperation},
            {"result", strResult},
            {"step", Text(strStep)},
            {"address", nAddress < 0 ? QJsonValue() : QJsonValue(nAddress)},
            {"reason", Text(strReason)},
            {"verified", verified ? QJsonValue(*verified) : QJsonValue()},
            {"imageBefore", Text(strImageBefore)},
            {"imageAfter", Text(strImageAfter)},
            {"source", Text(strSource)},
            {"sourceHash", Text(strSourceHash)},
            {"demo", bDemo},
            {"partial", bPartial},
            {"ambiguous", bAmbiguous},
            {"changes", Text(strChanges)}};
}
