#include "crestorehint.h"

#include "coptions.h"
#include "crecordlocation.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

QString CRestoreHint::Command(const COptions& options, const QString& strPort, const QString& strEntry)
{
    QStringList words{QStringLiteral("zint9"), QStringLiteral("restore")};
    if (strPort.isEmpty())
        words << QStringLiteral("--demo");
    else
    {
        // A path is taken from the current folder: pasted in another, it must still name the port.
        const bool bPath = strPort.contains(QLatin1Char('/'));
        words << QStringLiteral("--port") << Quoted(bPath ? QFileInfo(strPort).absoluteFilePath() : strPort);
    }
    if (!strEntry.isEmpty())
        words << QStringLiteral("--entry") << Quoted(strEntry);
    if (const QString strRecord = Record(options); !strRecord.isEmpty())
        words << QStringLiteral("--record") << Quoted(strRecord);
    // The restore's own backup goes beside the run's.
    if (!options.strBackupDir.isEmpty())
        words << QStringLiteral("--backup-dir") << Quoted(QFileInfo(options.strBackupDir).absoluteFilePath());
    return words.join(QLatin1Char(' '));
}

QString CRestoreHint::Record(const COptions& options)
{
    if (options.restoreRecord)
        return *options.restoreRecord;
    const QString strLocation = CRecordLocation::Of(options.strRecord);
    if (CRecordLocation::Key(strLocation) == CRecordLocation::Key(CRecordLocation::User()))
        return QString();
    return CRecordLocation::WithoutPassword(strLocation);
}

QString CRestoreHint::ForWorker(const COptions& options, const QString& strLocal)
{
    if (CRecordLocation::IsPostgres(CRecordLocation::Of(options.strRecord)))
        return CRecordLocation::WithoutPassword(strLocal);
    return Record(options);
}

QString CRestoreHint::Quoted(const QString& strWord)
{
    static const QRegularExpression kPlain(QStringLiteral("^[A-Za-z0-9_@%+=:,./-]+$"));
    if (kPlain.match(strWord).hasMatch())
        return strWord;
    QString strQuoted = strWord;
    strQuoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + strQuoted + QLatin1Char('\'');
}
