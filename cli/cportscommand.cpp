#include "cportscommand.h"

#include "cconsole.h"
#include "coptions.h"
#include "cserialport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

int CPortsCommand::Run(CConsole& console, bool bJson)
{
    QList<CSerialPort::SPortInfo> ports;
    CSerialPort::EnumPortDetails(ports);
    QJsonArray json;
    for (const CSerialPort::SPortInfo& info : ports)
    {
        json.append(QJsonObject{{"port", info.strName},
                                {"location", info.strLocation},
                                {"description", info.strDescription},
                                {"manufacturer", info.strManufacturer},
                                {"serialNumber", info.strSerialNumber}});
        // One line a port; the columns that the system knows nothing of stay empty.
        QString strLine =
            QStringList{info.strName, info.strDescription, info.strManufacturer, info.strSerialNumber}.join(
                '\t');
        while (strLine.endsWith('\t'))
            strLine.chop(1);
        if (!bJson)
            console.Out(strLine);
    }
    if (bJson)
        std::fputs(QJsonDocument(json).toJson(QJsonDocument::Indented).constData(), console.OutStream());
    return COptions::kSuccess;
}
