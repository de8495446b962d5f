#include "cpoppler.h"

#include <QProcess>

QString CPoppler::Run(const QString& strTool, const QStringList& arguments)
{
    QProcess process;
    process.start(strTool, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QStringLiteral("(%1 failed: %2)")
            .arg(strTool, QString::fromUtf8(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}
