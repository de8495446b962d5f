#include "cfilelock.h"

#include <QDeadlineTimer>
#include <QThread>

bool CFileLock::Lock(QFile& file, int nWaitMs)
{
    const QDeadlineTimer deadline(nWaitMs);
    while (!TryLock(file))
    {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}
