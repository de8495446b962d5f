#pragma once

#include <QString>

class CDeviceCommand;
class COptions;
class CRecordKeeper;

// zint9 protocol: a unit's «Протокол настройки» as a PDF, of an entry of the record (--entry),
// or of the unit on a port as it stands (--port): its latest write while it holds what that
// gave it, else its state as read now.
class CProtocolCommand
{
public:
    static int Run(CDeviceCommand& device, CRecordKeeper& keeper, const COptions& options);
    // At a station (--protocols): the protocol of the write just made into strFolder, when it
    // configured the unit (strFile its path); false after saying why one could not be made.
    static bool AfterWrite(CDeviceCommand& device, CRecordKeeper& keeper, const QString& strFolder,
                           QString& strFile);

private:
    // The protocol of entry strId (bOfUnit: of its unit as it stands) written to strPath (a
    // folder: a file in it by the protocol's own name), said on stdout, or beside a write on
    // stderr; its path, or empty after saying why not.
    static QString Write(CDeviceCommand& device, CRecordKeeper& keeper, const QString& strId, bool bOfUnit,
                         const QString& strPath, bool bFolder, bool bBesideWrite);
};
