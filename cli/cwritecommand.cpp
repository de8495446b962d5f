#include "cwritecommand.h"

#include "cdevicecommand.h"
#include "cfailuretext.h"
#include "cfilevalues.h"
#include "cwritejournal.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <QFileInfo>

bool CWriteCommand::LoadSource(CDeviceCommand& device, const COptions& options, CParamZT01& source,
                               int& nExit)
{
    CZTAppDevice& app = device.App();
    CConsole& console = device.Console();
    nExit = COptions::kFailure;
    if (options.strIn.isEmpty())
    {
        nExit = console.Error(COptions::kUsage, QStringLiteral("команде write нужен --in ФАЙЛ"));
        return false;
    }
    if (!device.LoadImageFile(options.strIn, source))
        return false;
    device.LoadCatalogue(); // the file is judged by it before any port is opened
    if (const QString strFault = CFileValues::Fault(app, source, options.strIn); !strFault.isEmpty())
    {
        nExit = console.Error(COptions::kRefused, strFault);
        return false;
    }
    // A torn image would copy its torn sensor table onward.
    const QString strTable = app.SensorFileMismatch(source);
    const bool bPartial = device.Journal() && device.Journal()->ImagePartial(source);
    if ((!bPartial && strTable.isEmpty()) || options.bForce)
        return true;
    console.Error(COptions::kFailure,
                  QStringLiteral("%1 — образ из прерванной записи (частичный%2); ничего не записано "
                                 "(--force, чтобы записать всё равно)")
                      .arg(options.strIn, strTable.isEmpty() ? QString()
                                                             : QStringLiteral(": ") +
                                                                   CFailureText::SensorMismatch(strTable)));
    return false;
}

int CWriteCommand::Run(CDeviceCommand& device, const COptions& options)
{
    CZTAppDevice& app = device.App();
    device.Begin();
    CParamZT01 source;
    int nExit = COptions::kSuccess;
    if (!LoadSource(device, options, source, nExit))
        return nExit;
    CWriteSession session(app, device.Journal());
    if (!device.Connect(options, session) || !device.SameFirmware(options, source))
        return COptions::kFailure;
    if (device.AlreadyHolds())
        return COptions::kSuccess;
    // The sensor block (with the limits, cold junction and band) and the two settings outside it;
    // never the device block, nor the DAC calibration, which belongs to this device's output stage.
    CParamZT01& edit = app.m_ParamEdit;
    edit.CopyFrom(source, CParamZT01::kSensorBlock);
    edit.fFailOutput = source.fFailOutput;
    edit.fFilterTime = source.fFilterTime;
    return device.WriteValues(options, session, QFileInfo(options.strIn).absoluteFilePath(), &source);
}
