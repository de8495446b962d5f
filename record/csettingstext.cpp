#include "csettingstext.h"

#include "cnumbertext.h"
#include "cstringtable.h"

#include <QByteArray>
#include <QJsonDocument>

#include <cmath>

double CSettingsText::Json(float fValue)
{
    return CNumberText::Format(fValue).toDouble();
}

QString CSettingsText::RawHex(float fValue)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(&fValue), sizeof(fValue)).toHex());
}

QString CSettingsText::Hex(quint16 w)
{
    return QString::asprintf("0x%04X", unsigned(w));
}

QString CSettingsText::UnknownSensor(const CParamZT01& image)
{
    return QStringLiteral("нет в каталоге (тип %1, код %2)").arg(image.bySensorType).arg(image.bySensorCode);
}

QJsonObject CSettingsText::Object(const CZTAppConfig& app, const CParamZT01& image)
{
    QJsonObject json;
    const int nSensor = app.FindSensor(image);
    QString strUnit;
    if (nSensor >= 0)
    {
        const tagSTSENSORS& sensor = app.m_Sensors[nSensor];
        strUnit = sensor.strUnit;
        json["sensor"] =
            QJsonObject{{"index", nSensor},         {"name", sensor.strName},  {"file", sensor.strFileName},
                        {"type", sensor.byType},    {"code", sensor.byCode},   {"unit", sensor.strUnit},
                        {"min", Json(sensor.fMin)}, {"max", Json(sensor.fMax)}};
    }
    else
        json["sensor"] = QJsonValue::Null;
    json["sensorType"] = image.bySensorType;
    json["sensorCode"] = image.bySensorCode;
    // JSON has no NaN: a value that is no number (erased 0xFF bytes, an infinity) is null, and
    // "unsetFields" gives its raw bytes, so that an erased image never reads as zeros.
    QJsonObject unset;
    auto number = [&](const char* pszName, float fValue) -> QJsonValue
    {
        if (std::isfinite(fValue))
            return Json(fValue);
        unset[pszName] = RawHex(fValue);
        return QJsonValue::Null;
    };
    json["lowLimit"] = number("lowLimit", image.fLowLimit);
    json["highLimit"] = number("highLimit", image.fHighLimit);
    json["unit"] = strUnit;
    json["failOutput"] = number("failOutput", image.fFailOutput);
    json["coldJunction"] = image.byColdJunction != 0;
    json["peakBand"] = number("peakBand", image.fPeakBand);
    json["filterTime"] = number("filterTime", image.fFilterTime);
    const CParamZT01::SOutRange& range = CParamZT01::OutRange(image.byOutRange);
    const QString strOutUnit = CStringTable::Load(range.nUnitId);
    const float fDacLow = image.fDacCalLow, fDacHigh = image.fDacCalHigh;
    const bool bDacLowUnset = CParamZT01::IsUnset(fDacLow) || !std::isfinite(fDacLow);
    const bool bDacHighUnset = CParamZT01::IsUnset(fDacHigh) || !std::isfinite(fDacHigh);
    if (bDacLowUnset)
        unset["dacCalLow"] = RawHex(fDacLow);
    if (bDacHighUnset)
        unset["dacCalHigh"] = RawHex(fDacHigh);
    if (bDacLowUnset || bDacHighUnset)
        json["dacCalibration"] = QJsonValue::Null;
    else
        json["dacCalibration"] =
            QJsonObject{{"low", Json(image.fDacCalLow)}, {"high", Json(image.fDacCalHigh)}};
    json["outputRange"] = QJsonObject{{"code", image.byOutRange},
                                      {"low", Json(range.fLow)},
                                      {"high", Json(range.fHigh)},
                                      {"unit", strOutUnit}};
    json["unsetFields"] = unset;
    return json;
}

QStringList CSettingsText::Lines(const CZTAppConfig& app, const CParamZT01& image, const QJsonObject& json)
{
    const QString strUnit = json["unit"].toString();
    auto number = [](float f)
    { return std::isnan(f) ? QStringLiteral("стёрто (байты %1)").arg(RawHex(f)) : CNumberText::Format(f); };
    QStringList lines;
    const int nSensor = app.FindSensor(image);
    if (nSensor >= 0)
    {
        const tagSTSENSORS& sensor = app.m_Sensors[nSensor];
        lines << QString::asprintf("Тип датчика: %s (%.0f...%.0f %s)", sensor.strName.toUtf8().constData(),
                                   double(sensor.fMin), double(sensor.fMax),
                                   sensor.strUnit.toUtf8().constData());
    }
    else
        lines << QStringLiteral("Тип датчика: ") + UnknownSensor(image);
    lines << QStringLiteral("Границы преобразования: %1 ... %2 %3")
                 .arg(number(image.fLowLimit), number(image.fHighLimit), strUnit)
                 .trimmed();
    lines << QStringLiteral("Значение выхода ЦАП при аварии: %1 мА").arg(number(image.fFailOutput));
    lines << QStringLiteral("Холодный спай: %1").arg(image.byColdJunction ? "Учитывать" : "Не учитывать");
    lines << QStringLiteral("Полоса пикового фильтра: %1 %2").arg(number(image.fPeakBand), strUnit).trimmed();
    lines << QStringLiteral("Постоянная времени НЧ-фильтра: %1 сек.").arg(number(image.fFilterTime));
    const QJsonObject range = json["outputRange"].toObject();
    if (json["dacCalibration"].isNull())
        lines << QStringLiteral("Калибровки ЦАП: не заданы");
    else
        lines << QStringLiteral("Калибровки ЦАП: %1 ... %2 %3")
                     .arg(number(image.fDacCalLow), number(image.fDacCalHigh), range["unit"].toString());
    lines << QStringLiteral("Диапазон выхода: %1...%2 %3 (код %4)")
                 .arg(number(CNumberText::Narrow(range["low"].toDouble())),
                      number(CNumberText::Narrow(range["high"].toDouble())), range["unit"].toString())
                 .arg(image.byOutRange);
    return lines;
}

QString CSettingsText::Render(const CZTAppDevice& app, const CParamZT01& image, bool bVersions, bool bJson)
{
    QJsonObject json = Object(app, image);
    if (bVersions)
    {
        json["port"] = app.m_Port.GetPortName();
        json["version"] = Hex(app.m_wVersion);
        json["bootVersion"] = Hex(app.m_wBootVersion);
    }
    if (bJson)
        return QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Indented)).chopped(1);
    QStringList lines = Lines(app, image, json);
    if (bVersions)
        lines << QStringLiteral("Порт: %1. Версия прибора: %2. Версия загрузчика: %3")
                     .arg(app.m_Port.GetPortName(), Hex(app.m_wVersion), Hex(app.m_wBootVersion));
    return lines.join('\n');
}
