#pragma once

class QFile;

// Exclusive sharing of an open file: while one opener holds the lock, no other opener gets it.
// The lock is advisory and ends when the file is closed.
class CFileLock
{
public:
    static bool TryLock(QFile& file);
    // Another copy of the tool (a production line runs one a port) holds a shared file only for
    // the moment it reads it, so a lock is waited for up to nWaitMs before the file counts as in use.
    static bool Lock(QFile& file, int nWaitMs = kWaitMs);

    static constexpr int kWaitMs = 1000;
};
