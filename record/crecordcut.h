#pragma once

#include <QDateTime>
#include <QString>

class CRecordStore;

// A write whose process died before it ended stays "attempted" in the record; its watcher knows
// how far it got and ends the entry with what the unit holds as far as that is known.
class CRecordCut
{
public:
    struct SProgress
    {
        int nLastAcknowledged = -1; // the last block address the unit acknowledged
        int nUnsure = -1;           // a block sent and not acknowledged, which it may have stored
    };

    // Ends the write or restore on strPort at strStation begun since then. bPartial: the unit
    // may hold neither its old image nor the new; strEntry: the entry ended, which a restore
    // undoes. False, with the store's reason, on failure.
    static bool Complete(CRecordStore& store, const QString& strPort, const QString& strStation,
                         const QDateTime& since, const SProgress& progress, bool& bPartial,
                         QString& strEntry);
};
