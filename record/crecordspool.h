#pragma once

#include "crecordentry.h"

#include <QByteArray>
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

    // The user's data folder, or the temporary folder when that cannot be written.
    static QString DefaultPath();

    explicit CRecordSpool(const QString& strPath = DefaultPath());
    bool Append(const CRecordEntry& entry, const Images& images);
    // Stores every waiting entry; those the store refuses stay. nStored says how many went.
    bool Drain(CRecordStore& store, int& nStored);
    const QString& Path() const { return m_strPath; }

    QString m_strLastError;

private:
    QString m_strPath;
};
