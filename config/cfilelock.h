#pragma once

class QFile;

// Exclusive sharing of an open file: while one opener holds the lock, no other opener gets it.
// The lock is advisory and ends when the file is closed.
class CFileLock
{
public:
    static bool TryLock(QFile& file);
};
