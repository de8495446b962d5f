#include "creadcommand.h"

#include "cdevicecommand.h"
#include "cfailuretext.h"
#include "cfingerprint.h"
#include "csettingstext.h"
#include "cwritejournal.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <QJsonDocument>
#include <QJsonObject>

int CReadCommand::Run(CDeviceCommand& device, const COptions& options)
{
    CZTAppDevice& app = device.App();
    CConsole& console = device.Console();
    device.Begin();
    CWriteSession session(app, device.Journal());
    if (!device.Connect(options, session))
        return COptions::kFailure;
    if (!options.strOut.isEmpty() && !device.SaveImageFile(options.strOut, app.m_ParamEdit))
        return COptions::kFailure;
    CParamZT01 held;
    app.HeldImage(held);
    const QString strUnit = CFingerprint::Of(held);
    const bool bPartial = device.Journal() && device.Journal()->UnitPartial();
    const QString& strTable = app.m_strSensorMismatch;
    const bool bTable = !strTable.isEmpty();
    if (options.bJson)
    {
        QJsonObject json =
            QJsonDocument::fromJson(CSettingsText::Render(app, app.m_ParamEdit, true, true).toUtf8())
                .object();
        json["fingerprint"] = strUnit.isEmpty() ? QJsonValue() : QJsonValue(strUnit);
        json["partial"] = bPartial || bTable;
        if (bTable)
            json["sensorMismatch"] = strTable;
        console.Out(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Indented)).chopped(1));
        return COptions::kSuccess;
    }
    console.Out(CSettingsText::Render(app, app.m_ParamEdit, true, false));
    console.Out(QStringLiteral("Отпечаток прибора: %1").arg(CFingerprint::Short(strUnit)));
    if (bTable)
        console.Out(QStringLiteral("Прибор может хранить частично записанный образ: ") +
                    CFailureText::SensorMismatch(strTable) + QLatin1Char('.'));
    else if (bPartial)
        console.Out(
            QStringLiteral("Прибор может хранить частично записанный образ: его последняя запись прервана."));
    return COptions::kSuccess;
}
