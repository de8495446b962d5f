#include "cunittrace.h"

#include "cconsole.h"
#include "cfingerprint.h"
#include "clinelog.h"
#include "coptions.h"
#include "ctransaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString CUnitTrace::Start(const COptions& options, const QString& strPort, const QDateTime& started,
                          CConsole& console, bool& bLost)
{
    if (options.strTrace.isEmpty())
        return QString();
    // One file a port; at a station one a unit, named with its time (and its fingerprint once
    // known).
    QString strName =
        strPort.startsWith(QLatin1String("/dev/")) ? strPort.mid(5) : QFileInfo(strPort).fileName();
    strName.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (options.bRepeat)
        strName += started.toLocalTime().toString(QStringLiteral("-yyyyMMdd-HHmmss"));
    const QString strPath = QDir(options.strTrace).filePath(strName + QStringLiteral(".log"));
    QString strError;
    if (CLineLog::Start(strPath, strError))
        return strPath;
    bLost = true;
    console.Error(COptions::kFailure,
                  QStringLiteral("не удалось записать журнал обмена %1: %2").arg(strPath, strError));
    return QString();
}

void CUnitTrace::Finish(const QString& strPath, const COptions& options, const CTransaction& transaction,
                        CConsole& console, bool& bLost)
{
    if (strPath.isEmpty())
        return;
    QString strError;
    if (!CLineLog::Stop(&strError))
    {
        bLost = true;
        console.Error(COptions::kFailure,
                      QStringLiteral("не удалось записать журнал обмена %1: %2").arg(strPath, strError));
    }
    if (!options.bRepeat || transaction.nHeld == CTransaction::EHeld::Unknown)
        return;
    const QString strUnit = CFingerprint::Of(transaction.held);
    if (!strUnit.isEmpty())
        QFile::rename(strPath, strPath.chopped(4) + QLatin1Char('-') + CFingerprint::Short(strUnit) +
                                   QStringLiteral(".log"));
}
