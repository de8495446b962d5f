#pragma once

#include "cfailure.h"
#include "cparamrules.h"
#include "cparamzt01.h"

#include <QString>

#include <functional>

class CZTAppDevice;

// One device's configuration, the same for every front end. Connect opens the port and reads
// the versions and the image; Write sends the working image (m_ParamEdit): the checks, the
// device block put back from the device's own image, an exclusive and checked backup of what
// the device holds, the write, and where asked a read-back compared byte for byte. A failure is
// kept as one CFailure, which the front end turns into words.
class CWriteSession
{
public:
    struct SRequest
    {
        bool bVerify = true;
        QString strBackupDir; // empty: the default backups folder
        // Shows what the checks said: a refusal, or a note with a write that goes on (the band
        // switched off). Called once the values have been checked, before anything is written.
        std::function<void(const CParamRules::SVerdict&)> pfnVerdict;
    };

    explicit CWriteSession(CZTAppDevice& app);

    // Opens strPort (any name in demonstration mode), reads the versions and the image into
    // m_ParamDevice and m_ParamEdit.
    bool Connect(const QString& strPort);
    // Writes m_ParamEdit into the connected device.
    bool Write(const SRequest& request);
    // The checks a write must pass, for the image's own sensor; values that are no number are
    // refused with the checks' own text.
    CParamRules::SVerdict Check(const CParamZT01& image) const;

    const CFailure& Failure() const { return m_Failure; }
    // The device answered the versions request.
    bool HasVersions() const { return m_bVersions; }
    // The backup the last write made, empty when it made none.
    const QString& BackupPath() const { return m_strBackupPath; }
    // The image the last write sent (or was sending when it failed).
    const CParamZT01& Written() const { return m_Written; }

private:
    bool Fail(const CFailure& failure);
    bool Backup(const QString& strFolder);
    bool Verify();

    CZTAppDevice& m_app;
    CFailure m_Failure;
    bool m_bVersions = false;
    QString m_strBackupPath;
    CParamZT01 m_Written;
};
