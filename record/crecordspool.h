#pragma once

#include "crecordentry.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

class CRecordStore;

// Entries that could not reach the record wait here, one JSON line each with their images, until
// a run that reaches the record stores them, in their order and with their own times.
class CRecordSpool
{
public:
    using Images = QList<QPair<QString, QByteArray>>;

    // In the user's data folder (made for the user alone where it is missing), never elsewhere.
    static QString DefaultPath();

    explicit CRecordSpool(const QString& strPath = DefaultPath());
    // strRecord: the key of the record the entry is for (CRecordStore::Key); it goes only there.
    bool Append(const CRecordEntry& entry, const Images& images, const QString& strRecord = QString());
    // Stores every waiting entry that is for this store's record (or names none, as an older
    // version wrote them); those the record cannot take now stay. A damaged line, or one
    // the record refuses as it is (an image that fails its key), goes to AsidePath(), and the
    // drain then fails saying so. nStored says how many went.
    bool Drain(CRecordStore& store, int& nStored);
    // How many entries wait for the record of key strRecord (or name none).
    int Waiting(const QString& strRecord) const;
    const QString& Path() const { return m_strPath; }
    QString AsidePath() const { return m_strPath + QStringLiteral(".rejected"); }

    QString m_strLastError;

private:
    // A drain holds the lock while the record takes its lines, each up to the record's own busy
    // time; an entry waits that long rather than be lost.
    static constexpr int kLockWaitMs = 15000;

    bool Busy();
    bool Store(CRecordStore& store, const QJsonObject& json);
    // Appends refused lines to AsidePath(); false, with what happened in m_strLastError.
    bool PutAside(const QByteArray& lines, int nLines, const QString& strWhy);

    QString m_strPath;
};
