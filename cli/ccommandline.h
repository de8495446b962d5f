#pragma once

#include "cparamrules.h"
#include "cztappdevice.h"

#include <QJsonObject>
#include <QStringList>

#include <cstdio>
#include <functional>

// The command-line front end: the wizard's operations for scripts and production lines.
// Exit codes: 0 success, 1 a device or file failure, 2 a usage error, 3 values refused.
class CCommandLine
{
public:
    enum EExit
    {
        kSuccess = 0,
        kFailure = 1,
        kUsage = 2,
        kRefused = 3,
    };

    // strAppDir holds Sensors.dat and ImgEEPROM/; by default the program's own folder, or the
    // installed share folder when Sensors.dat is not beside the program.
    CCommandLine(std::FILE* pOut, std::FILE* pErr, const QString& strAppDir = QString());
    // arguments without the program name.
    int Run(const QStringList& arguments);

    // What the last set or write came to, for the batch workers' reports.
    struct SOutcome
    {
        bool bVersions = false; // the device answered the versions request
        QString strBackupPath;
        int nDiffAddress = -1; // the first address a verify found different
    };
    const SOutcome& Outcome() const { return m_outcome; }
    // Takes every line meant for the error stream instead of it.
    void SetErrorSink(std::function<void(const QString&)> pfnSink) { m_pfnErrorSink = std::move(pfnSink); }
    // True for an option that takes the next argument as its value.
    static bool TakesValue(const QString& strOption);
    // The catalogue index of a sensor given by index, name or image file name; -1 when none.
    int SensorIndex(const QString& strSensor) const;
    // Reads a 512-byte image file; a failure is reported on the error stream.
    bool LoadImageFile(const QString& strPath, CParamZT01& image);
    // The checks a write must pass, for the image's own sensor.
    CParamRules::SVerdict CheckValues(const CParamZT01& image) const;

private:
    struct SOptions;

    int RunCommand(const SOptions& options);
    int Ports(bool bJson);
    int Read(const SOptions& options);
    int Show(const SOptions& options);
    int Set(const SOptions& options);
    int Write(const SOptions& options);

    bool Connect(const SOptions& options);
    bool ApplyChanges(const SOptions& options, int& nExit);
    int ValidateAndWrite(const SOptions& options);
    bool SaveImageFile(const QString& strPath, const CParamZT01& image);
    bool SaveBackup(const SOptions& options);
    bool Verify(const CParamZT01& written);
    void PrintSettings(const CParamZT01& image, bool bVersions, bool bJson);
    QJsonObject SettingsJson(const CParamZT01& image, bool bVersions) const;
    int Error(int nExit, const QString& strText);
    void Print(std::FILE* pStream, const QString& strText);

    std::FILE* m_pOut;
    std::FILE* m_pErr;
    CZTAppDevice m_app;
    bool m_bQuiet = false;
    SOutcome m_outcome;
    std::function<void(const QString&)> m_pfnErrorSink;
};
