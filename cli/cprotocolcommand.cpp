#include "cprotocolcommand.h"

#include "cconsole.h"
#include "cdevicecommand.h"
#include "coptions.h"
#include "cprotocol.h"
#include "cprotocolpage.h"
#include "crecordkeeper.h"
#include "cwritejournal.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{
// A name of its own in the folder, taken at once: another unit's protocol of the same second
// (a serial alike in its first letters, a port's twin) is never written over. "-2", "-3"… as
// the backups go.
QString Reserve(const QDir& folder, const QString& strName)
{
    for (int n = 1; n < 1000; ++n)
    {
        const QString strPath =
            folder.filePath(n == 1 ? strName : strName.chopped(4) + QStringLiteral("-%1.pdf").arg(n));
        QFile file(strPath);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return strPath;
        if (!file.exists())
            break;
    }
    return QString();
}
} // namespace

int CProtocolCommand::Run(CDeviceCommand& device, CRecordKeeper& keeper, const COptions& options)
{
    device.LoadCatalogue();
    // Without --out, or with a folder, the file takes the protocol's own name.
    const bool bFolder = options.strOut.isEmpty() || QFileInfo(options.strOut).isDir();
    const QString strPath = options.strOut.isEmpty() ? QDir::currentPath() : options.strOut;
    QString strId = options.strEntry;
    if (strId.isEmpty())
    {
        // The unit as it stands: read now, and recorded as any read.
        device.Begin();
        CWriteSession session(device.App(), device.Journal());
        if (!device.Connect(options, session))
            return COptions::kFailure;
        device.App().m_Port.Close();
        if (!device.Journal() || device.Journal()->LastEntryId().isEmpty())
            return device.Console().Error(COptions::kFailure,
                                          QStringLiteral("протокол не составлен: чтение не попало в записи"));
        strId = device.Journal()->LastEntryId();
    }
    const bool bWritten =
        !Write(device, keeper, strId, options.strEntry.isEmpty(), strPath, bFolder, false).isEmpty();
    return bWritten ? COptions::kSuccess : COptions::kFailure;
}

bool CProtocolCommand::AfterWrite(CDeviceCommand& device, CRecordKeeper& keeper, const QString& strFolder,
                                  QString& strFile)
{
    strFile.clear();
    const CDeviceCommand::SOutcome& outcome = device.Outcome();
    const CTransaction::EResult nResult = outcome.transaction.nResult;
    const bool bWritten =
        outcome.transaction.nOperation == CTransaction::EOperation::Write &&
        (nResult == CTransaction::EResult::Done || nResult == CTransaction::EResult::Unverified);
    if (!bWritten || outcome.bAlready || !device.Journal())
        return true;
    strFile = Write(device, keeper, device.Journal()->LastEntryId(), false, strFolder, true, true);
    return !strFile.isEmpty();
}

QString CProtocolCommand::Write(CDeviceCommand& device, CRecordKeeper& keeper, const QString& strId,
                                bool bOfUnit, const QString& strPath, bool bFolder, bool bBesideWrite)
{
    CConsole& console = device.Console();
    CProtocol protocol;
    QString strError;
    bool bMade = CProtocol::OfEntry(keeper, strId, protocol, strError);
    if (bMade && bOfUnit)
    {
        const CRecordEntry read = protocol.entry;
        bMade = CProtocol::OfUnit(keeper, read, protocol, strError);
    }
    const QString strFile = !bMade    ? QString()
                            : bFolder ? Reserve(QDir(strPath), protocol.FileName())
                                      : strPath;
    if (bMade && strFile.isEmpty())
        strError = QStringLiteral("в папке %1 не создаётся файл").arg(QDir::toNativeSeparators(strPath));
    if (bMade && !strFile.isEmpty() && !CProtocolPage::WritePdf(strFile, protocol, device.App(), strError))
    {
        strError = QDir::toNativeSeparators(strFile) + QStringLiteral(": ") + strError;
        bMade = false;
    }
    bMade = bMade && !strFile.isEmpty();
    if (!bMade && bFolder && !strFile.isEmpty())
        QFile::remove(strFile); // its reserved name
    if (!bMade)
    {
        console.Error(COptions::kFailure,
                      QStringLiteral("протокол настройки не составлен: %1").arg(strError));
        return QString();
    }
    const QString strSaid = QStringLiteral("Протокол настройки: %1").arg(QDir::toNativeSeparators(strFile));
    if (bBesideWrite)
        console.Err(strSaid); // a write's --json stays one document
    else
        console.Out(strSaid);
    return strFile;
}
