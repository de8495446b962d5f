#include "cbatchprecheck.h"

#include "cconsole.h"
#include "cdevicecommand.h"
#include "cfilevalues.h"
#include "coptions.h"
#include "cparamrules.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <limits>

int CBatchPreCheck::Run(CZTAppDevice& app, CConsole& console, const COptions& options)
{
    app.LoadSensorCatalogue();
    const CWriteSession session(app);
    CParamRules::SVerdict verdict;
    if (options.strCommand == QLatin1String("write"))
    {
        if (options.strIn.isEmpty())
            return console.Error(COptions::kUsage, QStringLiteral("команде write нужен --in ФАЙЛ"));
        CParamZT01 source;
        if (!CDeviceCommand(app, console).LoadImageFile(options.strIn, source))
            return COptions::kFailure;
        if (const QString strFault = CFileValues::Fault(app, source, options.strIn); !strFault.isEmpty())
            return console.Error(COptions::kRefused, strFault);
        verdict = session.Check(source); // every value that a write checks comes from the file
    }
    else if (!options.strSensor.isEmpty())
    {
        const int nSensor = app.SensorIndex(options.strSensor);
        if (nSensor < 0)
            return console.Error(COptions::kUsage,
                                 QStringLiteral("нет датчика «%1» в каталоге").arg(options.strSensor));
        if (!app.LoadSensorImage(nSensor))
            return COptions::kFailure;
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
