#pragma once

#include "cztappdevice.h"

#include <QJsonObject>
#include <QStringList>

// The settings of an image as the command line and the record show them: a JSON object and text
// lines, each "name: value" with the name as the wizard shows it.
class CSettingsText
{
public:
    // A float as the wizard shows it, not as its binary value widens to a double.
    static double Json(float fValue);
    // The bytes of a float field as the image holds them, lowest address first.
    static QString RawHex(float fValue);
    // A version as "0x1555".
    static QString Hex(quint16 w);
    // A sensor the catalogue lacks, named by the image's codes: "нет в каталоге (тип 9, код 1)".
    static QString UnknownSensor(const CParamZT01& image);

    // The settings; a value that is no number is null and its bytes are in "unsetFields".
    static QJsonObject Object(const CZTAppConfig& app, const CParamZT01& image);
    // One line a setting; json is Object() of the same image.
    static QStringList Lines(const CZTAppConfig& app, const CParamZT01& image, const QJsonObject& json);
    // What read, show, set and write print: indented JSON or the lines, with the port and the
    // versions of the connected device where bVersions.
    static QString Render(const CZTAppDevice& app, const CParamZT01& image, bool bVersions, bool bJson);
};
