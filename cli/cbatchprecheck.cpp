#include "cbatchprecheck.h"

#include "cconsole.h"
#include "cdevicecommand.h"
#include "coptions.h"
#include "cparamrules.h"
#include "cserialport.h"
#include "csetcommand.h"
#include "cwritecommand.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <QHash>

#include <limits>

int CBatchPreCheck::Ports(CConsole& console, const COptions& options)
{
    const QStringList& ports = options.ports;
    if (ports.isEmpty())
        return console.Error(COptions::kUsage,
                             QStringLiteral("команде %1 нужен --port ИМЯ").arg(options.strCommand));
    // One device under two names (a link, another path) would be configured twice at once.
    QHash<QString, QString> devices;
    for (const QString& strPort : ports)
    {
        if (ports.count(strPort) > 1)
            return console.Error(COptions::kUsage, QStringLiteral("порт %1 указан дважды").arg(strPort));
        const QString strDevice = CSerialPort::DeviceIdentity(strPort);
        if (!strDevice.isEmpty() && devices.contains(strDevice))
            return console.Error(
                COptions::kUsage,
                QStringLiteral("порты %1 и %2 — одно и то же устройство").arg(devices[strDevice], strPort));
        devices.insert(strDevice, strPort);
    }
    return COptions::kSuccess;
}

int CBatchPreCheck::Run(CZTAppDevice& app, CConsole& console, const COptions& options,
                        CWriteJournal* pJournal)
{
    if (const int nExit = Ports(console, options); nExit != COptions::kSuccess)
        return nExit;
    app.LoadSensorCatalogue();
    const CWriteSession session(app);
    CParamRules::SVerdict verdict;
    if (options.strCommand == QLatin1String("write"))
    {
        CParamZT01 source;
        CDeviceCommand device(app, console, pJournal);
        if (int nExit = COptions::kSuccess; !CWriteCommand::LoadSource(device, options, source, nExit))
            return nExit;
        verdict = session.Check(source); // every value that a write checks comes from the file
    }
    else if (!options.strSensor.isEmpty())
    {
        if (int nExit = COptions::kSuccess; !CSetCommand::LoadSensor(app, console, options, nExit))
            return nExit;
        // The sensor block is the file's; only the failure output and the filter time stay the
        // device's, and those are checked when given.
        CParamZT01 image = app.m_ParamEdit;
        image.fLowLimit = options.low.value_or(image.fLowLimit);
        image.fHighLimit = options.high.value_or(image.fHighLimit);
        image.fPeakBand = options.band.value_or(image.fPeakBand);
        image.fFailOutput = options.fail.value_or(0);
        image.fFilterTime = options.filter.value_or(0);
        verdict = session.Check(image);
    }
    else
    {
        // Without a sensor only the values that no sensor bounds can be judged here.
        tagSTSENSORS any;
        any.fMin = -std::numeric_limits<float>::max();
        any.fMax = std::numeric_limits<float>::max();
        verdict = CParamRules::Validate({0, 0, options.fail.value_or(0), 0, options.filter.value_or(0)}, &any,
                                        app.m_fMaxFilterTime, app.m_fMaxBandPercent);
    }
    if (verdict.bOk)
        return COptions::kSuccess;
    console.Err(verdict.strText == CParamRules::NotANumberText() ? QStringLiteral("zint9: ") + verdict.strText
                                                                 : verdict.strText);
    return COptions::kRefused;
}
