#pragma once

class CConsole;
class COptions;
class CRecordKeeper;

// zint9 history: the record's entries, newest first, filtered by unit, serial, port, station,
// operator, time, operation, result or source, or with --latest each unit's newest of those;
// text lines, a JSON array or CSV. This station's entries that wait for the plant are
// in it with the plant's; each entry is written as it is read, so that a record of any size
// goes out in little memory.
class CHistoryCommand
{
public:
    static int Run(CConsole& console, CRecordKeeper& keeper, const COptions& options);
};
