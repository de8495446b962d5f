#pragma once

class CConsole;
class COptions;
class CRecordAccess;
class CZTAppDevice;

// zint9 show: the settings of an image file, and whether a torn write left it.
class CShowCommand
{
public:
    static int Run(CZTAppDevice& app, CConsole& console, CRecordAccess& record, const COptions& options);
};
