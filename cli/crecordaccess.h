#pragma once

#include "crecordjournal.h"
#include "crecordstore.h"

#include <memory>

class CConsole;
class COptions;

// The record as the command line keeps it: opened at first use where --record, ZINT9_RECORD or
// the setting "RecordDatabase" say (the user's own SQLite file by default), never in the way
// of the device work. Why it could not be kept is said once.
class CRecordAccess
{
public:
    explicit CRecordAccess(const COptions& options);
    // The journal a write session keeps; entries wait in the spool when the record is away.
    CRecordJournal* Journal();
    // The store for queries, or null after saying why it cannot be opened.
    CRecordStore* Store(CConsole& console);
    // Says, once, that entries are waiting instead of being recorded.
    void TellTrouble(CConsole& console);

private:
    void Open();

    const COptions& m_options;
    CRecordStore m_store;
    std::unique_ptr<CRecordJournal> m_pJournal;
    bool m_bTried = false;
    QString m_strOpenError;
};
