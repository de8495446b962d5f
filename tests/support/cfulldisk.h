#pragma once

#include <QString>

// A small tmpfs mounted over a folder and filled to the last byte, so that every write into it
// fails as on a full disk. Mounting needs root; Reason() says why it could not be made.
class CFullDisk
{
public:
    // strFolder must exist; its content is copied into the full file system first.
    explicit CFullDisk(const QString& strFolder);
    ~CFullDisk();
    bool IsFull() const { return m_bFull; }
    QString Reason() const { return m_strReason; }

private:
    QString m_strFolder;
    bool m_bMounted = false;
    bool m_bFull = false;
    QString m_strReason;
};
