#include "cshowcommand.h"

#include "cconsole.h"
#include "cdevicecommand.h"
#include "cfailuretext.h"
#include "coptions.h"
#include "crecordaccess.h"
#include "csettingstext.h"
#include "cztappdevice.h"

#include <QJsonDocument>
#include <QJsonObject>

int CShowCommand::Run(CZTAppDevice& app, CConsole& console, CRecordAccess& record, const COptions& options)
{
    if (options.positional.size() != 1)
        return console.Error(COptions::kUsage, QStringLiteral("команде show нужен один файл образа"));
    app.LoadSensorCatalogue();
    CParamZT01 image;
    if (!CDeviceCommand(app, console).LoadImageFile(options.positional.first(), image))
        return COptions::kFailure;
    // A backup made of a unit a write had torn holds a torn sensor table.
    const bool bPartial = record.Journal()->ImagePartial(image);
    const QString strTable = app.SensorFileMismatch(image);
    if (options.bJson)
    {
        QJsonObject json = CSettingsText::Object(app, image);
        json["partial"] = bPartial || !strTable.isEmpty();
        if (!strTable.isEmpty())
            json["sensorMismatch"] = strTable;
        console.Out(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Indented)).chopped(1));
        return COptions::kSuccess;
    }
    console.Out(CSettingsText::Render(app, image, false, false));
    if (bPartial)
        console.Out(QStringLiteral("Образ частичный: его оставила в приборе прерванная запись."));
    else if (!strTable.isEmpty())
        console.Out(QStringLiteral("Образ может быть частичным: ") + CFailureText::SensorMismatch(strTable) +
                    QLatin1Char('.'));
    return COptions::kSuccess;
}
