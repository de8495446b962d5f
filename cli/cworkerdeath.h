#pragma once

#include <QJsonObject>
#include <QString>

class QProcess;

// What the first process says of a batch worker that ended without its result.
class CWorkerDeath
{
public:
    // Why it ended, and what that may have left in the unit: bInDevice while the worker was at
    // work on one, strBackup its backup once made, strRestore the command that puts it back.
    static QString Text(const QProcess& process, const QString& strWorkerPath, bool bAborting, bool bInDevice,
                        const QString& strBackup, const QString& strRestore);
    // The port's result: what the worker had made known of its unit, and why it ended.
    // bWriting: its write may have begun; bPartial: the unit may hold neither image.
    static QJsonObject Result(const QString& strText, const QJsonObject& known, bool bWriting, bool bPartial);
};
