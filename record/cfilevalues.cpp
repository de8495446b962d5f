#include "cfilevalues.h"

#include "csettingstext.h"
#include "cztappconfig.h"

#include <QDir>
#include <QJsonObject>

QString CFileValues::Fault(const CZTAppConfig& app, const CParamZT01& image, const QString& strFile)
{
    // The fields a write takes from a file, as the wizard names them; the DAC calibration is
    // never taken.
    static const std::pair<const char*, const char*> kFields[] = {
        {"lowLimit", "нижняя граница преобразования"},
        {"highLimit", "верхняя граница преобразования"},
        {"failOutput", "значение выхода ЦАП при аварии"},
        {"peakBand", "полоса пикового фильтра"},
        {"filterTime", "постоянная времени НЧ-фильтра"}};
    const QJsonObject json = CSettingsText::Object(app, image);
    QStringList faults;
    if (json["sensor"].isNull())
        faults << QStringLiteral("датчик: ") + CSettingsText::UnknownSensor(image);
    const QJsonObject unset = json["unsetFields"].toObject();
    for (const auto& [pszKey, pszName] : kFields)
        if (unset.contains(QLatin1String(pszKey)))
            faults << QStringLiteral("в поле «%1» не число (байты %2)")
                          .arg(QString::fromUtf8(pszName), unset[QLatin1String(pszKey)].toString());
    if (faults.isEmpty())
        return QString();
    return QStringLiteral("%1: %2; ничего не записано")
        .arg(QDir::toNativeSeparators(strFile), faults.join(QStringLiteral(", ")));
}
