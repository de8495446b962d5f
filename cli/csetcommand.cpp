#include "csetcommand.h"

#include "cdevicecommand.h"
#include "cfailuretext.h"
#include "cnumbertext.h"
#include "cparamrules.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <optional>
#include <utility>

bool CSetCommand::LoadSensor(CZTAppDevice& app, CConsole& console, const COptions& options, int& nExit)
{
    if (options.strSensor.isEmpty())
        return true;
    const int nSensor = app.SensorIndex(options.strSensor);
    if (nSensor < 0)
    {
        nExit = console.Error(COptions::kUsage,
                              QStringLiteral("нет датчика «%1» в каталоге").arg(options.strSensor));
        return false;
    }
    if (app.LoadSensorImage(nSensor))
        return true;
    nExit = COptions::kFailure;
    return false;
}

QString CSetCommand::Source(const COptions& options)
{
    // The settings given, in one order whatever the command line's, as the record names them.
    QStringList words{QStringLiteral("set")};
    auto add = [&words](const char* pszName, const QString& strValue)
    {
        words << QStringLiteral("--") + QLatin1String(pszName)
              << (strValue.contains(QLatin1Char(' ')) ? QLatin1Char('"') + strValue + QLatin1Char('"')
                                                      : strValue);
    };
    if (!options.strSensor.isEmpty())
        add("sensor", options.strSensor);
    const std::pair<const char*, std::optional<float>> numbers[] = {
        {"low", options.low},         {"high", options.high},     {"fail", options.fail},
        {"band", options.band},       {"filter", options.filter}, {"dac-low", options.dacLow},
        {"dac-high", options.dacHigh}};
    for (const auto& [pszName, value] : numbers)
        if (value)
            add(pszName, CNumberText::Format(*value));
    if (options.coldJunction)
        add("cold-junction", *options.coldJunction ? QStringLiteral("on") : QStringLiteral("off"));
    return words.join(QLatin1Char(' '));
}

bool CSetCommand::ApplyChanges(CDeviceCommand& device, const COptions& options, int& nExit)
{
    if (!LoadSensor(device.App(), device.Console(), options, nExit))
        return false;
    CParamZT01& edit = device.App().m_ParamEdit;
    // The image's fields are packed: each is set by name, never through a pointer.
    if (options.low)
        edit.fLowLimit = *options.low;
    if (options.high)
        edit.fHighLimit = *options.high;
    if (options.fail)
        edit.fFailOutput = *options.fail;
    if (options.band)
        edit.fPeakBand = *options.band;
    if (options.filter)
        edit.fFilterTime = *options.filter;
    if (options.coldJunction)
        edit.byColdJunction = *options.coldJunction ? 1 : 0;
    if (!options.dacLow)
        return true;
    const CParamRules::SVerdict low = CParamRules::CheckDac(
        *options.dacLow, CParamRules::DacLowRange(edit.byOutRange), CParamRules::kDacLow);
    const CParamRules::SVerdict high = CParamRules::CheckDac(
        *options.dacHigh, CParamRules::DacHighRange(edit.byOutRange), CParamRules::kDacHigh);
    if (!low.bOk || !high.bOk)
    {
        nExit = device.Console().Error(COptions::kRefused, (!low.bOk ? low : high).strText);
        return false;
    }
    edit.fDacCalLow = *options.dacLow;
    edit.fDacCalHigh = *options.dacHigh;
    return true;
}

int CSetCommand::Run(CDeviceCommand& device, const COptions& options)
{
    CZTAppDevice& app = device.App();
    device.Begin();
    CWriteSession session(app, device.Journal());
    if (!device.Connect(options, session))
        return COptions::kFailure;
    if (device.AlreadyHolds())
        return COptions::kSuccess;
    int nExit = COptions::kSuccess;
    if (!ApplyChanges(device, options, nExit))
        return nExit;
    // Set keeps the sensor data it read: a torn table would be written back and verified as right.
    if (!app.m_strSensorMismatch.isEmpty() && !options.bForce)
        return device.Console().Error(
            COptions::kFailure,
            CFailureText::SensorMismatch(app.m_strSensorMismatch) +
                QStringLiteral("; ничего не записано (--sensor %1, чтобы загрузить датчик "
                               "из файла, или --force, чтобы записать как есть)")
                    .arg(app.m_strSensorMismatch));
    return device.WriteValues(options, session, Source(options));
}
