#pragma once

#include <QString>

class CConsole;
class CDeviceCommand;
class COptions;
class CParamZT01;
class CRecordAccess;
class CZTAppConfig;

// zint9 diff A B: each side an image file, @ID (the image an entry gave the unit), @ID^ (the
// one it held before) or a port read now. Exits as diff(1) does: 0 equal, 1 different, 2 for
// trouble, so that a failed read is never taken for a difference.
class CDiffCommand
{
public:
    CDiffCommand(CConsole& console, CDeviceCommand& device, CRecordAccess& record, const COptions& options)
        : m_console(console), m_device(device), m_record(record), m_options(options)
    {
    }

    int Run(const CZTAppConfig& app);

private:
    // The image of one side; false after saying why.
    bool Side(const QString& strSide, bool bPort, CParamZT01& image);
    bool FromRecord(const QString& strSide, CParamZT01& image);

    CConsole& m_console;
    CDeviceCommand& m_device;
    CRecordAccess& m_record;
    const COptions& m_options;
};
