#pragma once

#include "crecordkeeper.h"

class CConsole;
class COptions;

// The record as the command line keeps it (see CRecordKeeper): where --record, ZINT9_RECORD or
// the setting "RecordDatabase" say, never in the way of the device work. What goes wrong with it
// is said once, on stderr.
class CRecordAccess
{
public:
    explicit CRecordAccess(const COptions& options);
    // The journal a write session keeps, over the local record.
    CRecordJournal* Journal();
    // The local record, where this machine's entries are made; null after saying why.
    CRecordStore* LocalStore(CConsole& console);
    CRecordKeeper& Keeper() { return m_keeper; }
    // The units the record knows under a serial; strNote says where a record could not be read.
    QStringList UnitsOf(const QString& strSerial, QString& strNote);
    // Says, once, that entries wait instead of being where they should be.
    void TellTrouble(CConsole& console);

private:
    const COptions& m_options;
    CRecordKeeper m_keeper;
};
