#pragma once

#include "cconsole.h"
#include "coptions.h"
#include "cztappdevice.h"

#include <QStringList>

#include <cstdio>

// The command-line front end: the wizard's operations for scripts and production lines.
// Exit codes: 0 success, 1 a device or file failure, 2 a usage error, 3 values refused.
class CDeviceCommand;
class CRecordAccess;

class CCommandLine
{
public:
    // strAppDir holds Sensors.dat and ImgEEPROM/; by default the program's own folder, or the
    // installed share folder when Sensors.dat is not beside the program.
    CCommandLine(std::FILE* pOut, std::FILE* pErr, const QString& strAppDir = QString());
    // arguments without the program name.
    int Run(const QStringList& arguments);

private:
    int RunParsed(const QStringList& arguments);
    int Usage(const COptions& options);
    int RunCommand(const COptions& options);
    int RunRecorded(const COptions& options, class CRecordAccess& record);
    // Runs the command with its traffic log, which may be no input of it.
    int RunTraced(const COptions& options);
    static bool IsSameFile(const QString& strA, const QString& strB);
    // What a command's handler is given.
    struct SContext
    {
        CCommandLine& line;
        CZTAppDevice& app;
        CConsole& console;
        CDeviceCommand& device;
        CRecordAccess& record;
        const COptions& options;
    };
    // One command of the table: its name, its handler, whether it works on a unit (and needs
    // --port or --demo), whether its transactions go into the record (and up to the plant at
    // its end).
    struct SCommand
    {
        const char* pszName;
        int (*pfnRun)(SContext& context);
        bool bUnit;
        bool bRecorded;
    };
    static const SCommand* Find(const QString& strName);
    static int RunHistory(SContext& context);
    static int RunRestore(SContext& context);
    // set and write: the unit's protocol where --protocols asks for one.
    static int Written(SContext& context, int nExit);
    // history --sync: the entries that wait go up to the plant first.
    bool Sync(CRecordAccess& record);
    // history --init: makes or upgrades the tables of the record named.
    int Init(const COptions& options);
    // How long a command waits for its entries to reach the plant.
    static constexpr int kSyncWaitMs = 6000;
    static constexpr int kInitTimeoutS = 10;

    CConsole m_console;
    CZTAppDevice m_app;
    bool m_bQuiet = false;
};
