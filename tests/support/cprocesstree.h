#pragma once

#include <QList>
#include <QString>

// The processes a program started, as the system lists them, and a kill no program can catch.
class CProcessTree
{
public:
    // The children of nParent whose program is strName.
    static QList<qint64> Children(qint64 nParent, const QString& strName);
    // SIGKILL: a crash the process has no say in.
    static bool Kill(qint64 nPid);
};
