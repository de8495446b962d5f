#pragma once

#include <QString>

class CConsole;
class COptions;
class CRecordEntry;
class CRecordKeeper;
class CDeviceCommand;

// zint9 restore: puts back the image a unit held before an entry of the record (by default
// before its last write): every byte but the device block, the DAC calibration included, then
// reads it back and records itself. A unit that is not the entry's is refused unless --force.
class CRestoreCommand
{
public:
    static int Run(CDeviceCommand& device, CConsole& console, CRecordKeeper& keeper, const COptions& options);

private:
    // The entry to undo: the one given, or the unit's last write.
    static bool FindEntry(CConsole& console, CRecordKeeper& keeper, const COptions& options,
                          const QString& strUnit, CRecordEntry& entry);
};
