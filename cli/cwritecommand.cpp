#include "cwritecommand.h"

#include "cdevicecommand.h"
#include "cfailuretext.h"
#include "cimageintake.h"
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
    const CImageIntake::SVerdict verdict = CImageIntake::Judge(app, device.Journal(), source, options.strIn);
    if (!verdict.strFault.isEmpty())
    {
        nExit = console.Error(COptions::kRefused, verdict.strFault);
        return false;
    }
    // A torn image would copy its torn sensor table onward.
    if (!verdict.IsTorn() || options.bForce)
        return true;
    console.Error(
        COptions::kFailure,
        QStringLiteral("%1 — образ из прерванной записи (частичный%2); ничего не записано "
                       "(--force, чтобы записать всё равно)")
            .arg(options.strIn, verdict.strTable.isEmpty()
                                    ? QString()
                                    : QStringLiteral(": ") + CFailureText::SensorMismatch(verdict.strTable)));
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
    CImageIntake::Apply(app.m_ParamEdit, source);
    return device.WriteValues(options, session, QFileInfo(options.strIn).absoluteFilePath(), &source);
}
