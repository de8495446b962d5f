#include "cfilelock.h"

#include <QFile>

#include <io.h>
#include <windows.h>

bool CFileLock::TryLock(QFile& file)
{
    const auto hFile = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    OVERLAPPED overlapped = {};
    return LockFileEx(hFile, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                      &overlapped) != 0;
}
