#include "cworkerdeath.h"

#include "cfailuretext.h"
#include "coptions.h"
#include "ctransaction.h"

#include <QJsonArray>
#include <QProcess>

QString CWorkerDeath::Text(const QProcess& process, const QString& strWorkerPath, bool bAborting,
                           bool bInDevice, const QString& strBackup, const QString& strRestore)
{
    if (process.error() == QProcess::FailedToStart)
        return QStringLiteral("не удалось запустить процесс порта %1: %2")
            .arg(strWorkerPath, process.errorString());
    QString strText = process.exitStatus() == QProcess::CrashExit
                          ? QStringLiteral("процесс порта завершился аварийно")
                          : QStringLiteral("процесс порта завершился с кодом %1").arg(process.exitCode());
    if (bAborting && process.exitStatus() == QProcess::CrashExit)
        strText = QStringLiteral("работа прервана повторной остановкой");
    if (!bInDevice)
        return strText;
    strText += QStringLiteral(", не закончив работу с прибором");
    // Once the backup was made, the write may have begun: the unit may be torn.
    if (!strBackup.isEmpty())
        strText += QLatin1Char('\n') + CFailureText::Torn(strBackup, strRestore);
    return strText;
}

QJsonObject CWorkerDeath::Result(const QString& strText, const QJsonObject& known, bool bWriting,
                                 bool bPartial)
{
    QJsonObject result{{"result", CTransaction::ResultKey(bWriting ? CTransaction::EResult::Interrupted
                                                                   : CTransaction::EResult::Failed)},
                       {"exit", COptions::kFailure},
                       {"messages", QJsonArray{strText}}};
    for (const char* pszKey : {"version", "bootVersion", "backup", "fingerprint", "station", "operator"})
        result[pszKey] = known.value(pszKey);
    result["partial"] = bPartial;
    // Every failure has its reason: here why the worker ended.
    result["reason"] = strText.section(QLatin1Char('\n'), 0, 0);
    result["step"] = bWriting ? QJsonValue(QStringLiteral("write")) : QJsonValue();
    for (const char* pszKey : {"address", "sensor", "lowLimit", "highLimit", "unit", "dacCalibration"})
        result[pszKey] = QJsonValue();
    return result;
}
