#pragma once

#include "cztappdevice.h"

#include <QStringList>

// The application object: all state shared by the tool (through its bases) and the start-up
// sequence that runs the wizard.
class CZTApp : public CZTAppDevice
{
public:
    // Runs everything the tool does; the wizard has closed when it returns. Always false, as
    // there is no message loop to start afterwards.
    bool InitInstance();
    // InitInstance with the command line and the program's folder given; the tests' entry.
    bool Run(const QStringList& arguments, const QString& strProgramDir);
    // Restores what start-up changed; returns the process's exit code.
    int ExitInstance();

    // Start-up steps, in their order; exposed for the tests.
    static void InitSettingsStore();
    void InitLocale();
    void InitAppDir(const QString& strProgramDir);
    // Demonstration mode: only a first argument of exactly "/demo".
    static bool IsDemoCommandLine(const QStringList& arguments);

    int m_nOldLocaleMode = 0; // the numeric locale is process-wide here; nothing to save
};
