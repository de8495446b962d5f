#include "cfilelock.h"

#include <QFile>

#include <sys/file.h>

bool CFileLock::TryLock(QFile& file)
{
    return file.handle() >= 0 && ::flock(file.handle(), LOCK_EX | LOCK_NB) == 0;
}
