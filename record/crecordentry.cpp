#include "crecordentry.h"

namespace
{
constexpr double kMaxDurationS = 86400;

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
            {"changes", Text(strChanges)},
            {"programVersion", strProgramVersion},
            {"lastAcknowledged", nLastAcknowledged < 0 ? QJsonValue() : QJsonValue(nLastAcknowledged)},
            {"reasonKey", Text(strReasonKey)},
            {"received", nReceived < 0 ? QJsonValue() : QJsonValue(nReceived)},
            {"expected", nExpected < 0 ? QJsonValue() : QJsonValue(nExpected)},
            {"backup", Text(strBackup)}};
}

QStringList CRecordEntry::Keys()
{
    return {"id",
            "time",
            "duration",
            "station",
            "operator",
            "port",
            "fingerprint",
            "serial",
            "version",
            "bootVersion",
            "operation",
            "result",
            "step",
            "address",
            "reason",
            "verified",
            "imageBefore",
            "imageAfter",
            "source",
            "sourceHash",
            "demo",
            "partial",
            "ambiguous",
            "changes",
            "programVersion",
            "lastAcknowledged",
            "reasonKey",
            "received",
            "expected",
            "backup"};
}

QStringList CRecordEntry::Operations()
{
    return {"read", "write", "restore"};
}

QStringList CRecordEntry::Results()
{
    return {"done", "unverified", "failed", "refused", "interrupted", "attempted"};
}

CRecordEntry CRecordEntry::FromJson(const QJsonObject& json)
{
    auto version = [&json](const char* pszKey)
    {
        bool bOk = false;
        const int nVersion = json[pszKey].toString().toInt(&bOk, 16);
        return bOk && nVersion >= 0 && nVersion <= 0xFFFF ? nVersion : -1;
    };
    auto address = [&json](const char* pszKey)
    {
        const int nAddress = json[pszKey].toInt(-1);
        return nAddress >= 0 && nAddress < 512 ? nAddress : -1;
    };
    CRecordEntry entry;
    entry.strId = json["id"].toString();
    entry.timeStart = QDateTime::fromString(json["time"].toString(), Qt::ISODateWithMs);
    // A duration beyond a day or none at all (not finite, negative) is no transaction's: 0.
    const double dDuration = json["duration"].toDouble();
    entry.nDurationMs = dDuration >= 0 && dDuration <= kMaxDurationS ? qint64(dDuration * 1000 + 0.5) : 0;
    entry.strStation = json["station"].toString();
    entry.strOperator = json["operator"].toString();
    entry.strPort = json["port"].toString();
    entry.strFingerprint = json["fingerprint"].toString();
    entry.strSerial = json["serial"].toString();
    entry.nVersion = version("version");
    entry.nBootVersion = version("bootVersion");
    entry.strOperation = json["operation"].toString();
    entry.strResult = json["result"].toString();
    entry.strStep = json["step"].toString();
    entry.nAddress = address("address");
    entry.strReason = json["reason"].toString();
    if (json["verified"].isBool())
        entry.verified = json["verified"].toBool();
    entry.strImageBefore = json["imageBefore"].toString();
    entry.strImageAfter = json["imageAfter"].toString();
    entry.strSource = json["source"].toString();
    entry.strSourceHash = json["sourceHash"].toString();
    entry.bDemo = json["demo"].toBool();
    entry.bPartial = json["partial"].toBool();
    entry.bAmbiguous = json["ambiguous"].toBool();
    entry.strChanges = json["changes"].toString();
    entry.strProgramVersion = json["programVersion"].toString();
    entry.nLastAcknowledged = address("lastAcknowledged");
    entry.strReasonKey = json["reasonKey"].toString();
    auto count = [&json](const char* pszKey)
    {
        const int nCount = json[pszKey].toInt(-1);
        return nCount >= 0 && nCount <= 0xFFFF ? nCount : -1;
    };
    entry.nReceived = count("received");
    entry.nExpected = count("expected");
    entry.strBackup = json["backup"].toString();
    return entry;
}
