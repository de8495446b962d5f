#include "cprocesstree.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/types.h>

QList<qint64> CProcessTree::Children(qint64 nParent, const QString& strName)
{
    QList<qint64> children;
    for (const QString& strPid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs))
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(strPid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid …": the name may hold spaces and parentheses.
        const QString strStat = QString::fromLocal8Bit(stat.readAll());
        const qsizetype nOpen = strStat.indexOf(QLatin1Char('('));
        const qsizetype nClose = strStat.lastIndexOf(QLatin1Char(')'));
        if (nOpen < 0 || nClose < nOpen)
            continue;
        const QStringList after = strStat.mid(nClose + 2).split(QLatin1Char(' '));
        if (after.size() > 1 && after[1].toLongLong() == nParent &&
            strStat.mid(nOpen + 1, nClose - nOpen - 1) == strName)
            children << strPid.toLongLong();
    }
    return children;
}

bool CProcessTree::Kill(qint64 nPid)
{
    return ::kill(pid_t(nPid), SIGKILL) == 0;
}
