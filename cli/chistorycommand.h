#pragma once

class CConsole;
class COptions;
class CRecordStore;

// zint9 history: the record's entries, newest first, filtered by unit, serial, port, station or
// operator; text lines or a JSON array.
class CHistoryCommand
{
public:
    static int Run(CConsole& console, CRecordStore& store, const COptions& options);
};
