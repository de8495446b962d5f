#pragma once

#include "cconsole.h"
#include "cfailure.h"
#include "coptions.h"

#include <QString>

#include <functional>
#include <optional>

class CParamZT01;
class CWriteJournal;
class CWriteSession;
class CZTAppDevice;

// The commands that talk to one device: read, set and write, each through one write session.
// Also the check of the values that a batch makes once, before any port is touched.
class CDeviceCommand
{
public:
    // What the last set or write came to, for a batch's summary.
    struct SOutcome
    {
        bool bVersions = false; // the device answered the versions request
        QString strBackupPath;
        int nDiffAddress = -1;  // the first address a verify found different
        CFailure failure;       // of the last connect or write; none on success
        bool bTorn = false;     // the write ended after the unit may have taken some of it
        bool bAlready = false;  // the unit held what this run had given it: not written again
        bool bVerified = false; // read back and found equal
        bool bVerifyAsked = false;
        QByteArray written;    // the image the last write sent
        QByteArray held;       // what the unit holds, as far as is known; empty: never read
        bool bPartial = false; // it may hold a partial image
        QString strSourceHash; // write --in: the file's SHA-256
    };

    CDeviceCommand(CZTAppDevice& app, CConsole& console, CWriteJournal* pJournal = nullptr);

    int Read(const COptions& options);
    // Reads the image of the unit on strPort (or the demonstration image), recorded as any read;
    // false after saying why.
    bool ReadImage(const COptions& options, const QString& strPort, CParamZT01& image);
    int Set(const COptions& options);
    int Write(const COptions& options);
    // Finds the image to put back for the unit of the given fingerprint; an exit status.
    using FindImageFn =
        std::function<int(const QString& strUnit, QByteArray& image, QString& strDescription)>;
    // Connects, has pfnFind choose the image, and writes it back as a restore, verified.
    int Restore(const COptions& options, const FindImageFn& pfnFind);
    const SOutcome& Outcome() const { return m_outcome; }
    // Told whenever the outcome learns something that must outlive a sudden end: the versions
    // once the device answered, the backup once it is safe.
    std::function<void()> m_pfnLearnt;
    // A unit this run has configured and verified, seen again holding the image it was given
    // (by its fingerprint and the image's SHA-256), is not written again.
    std::function<bool(const QString& strFingerprint, const QString& strImageHash)> m_pfnConfigured;
    void SetJournal(CWriteJournal* pJournal) { m_pJournal = pJournal; }

    // Reads a 512-byte image file; a failure is reported.
    bool LoadImageFile(const QString& strPath, CParamZT01& image);

private:
    void LoadCatalogue();
    bool Connect(const COptions& options, CWriteSession& session);
    bool ApplyChanges(const COptions& options, int& nExit);
    int WriteValues(const COptions& options, CWriteSession& session, const QString& strSource = QString(),
                    const CParamZT01* pSource = nullptr);
    void ReportWriteFailure(const CWriteSession& session);
    // The image file came from a unit of the connected one's firmware, or the record does not
    // know (said), or --force; false after saying why not.
    bool SameFirmware(const COptions& options, const CParamZT01& source);
    // Takes what the unit now holds into the outcome.
    void LearnHeld(const CWriteSession& session, bool bWritten);
    bool SaveImageFile(const QString& strPath, const CParamZT01& image);
    // The unit just read is the station's last, holding what it was given: said, and taken as
    // verified.
    bool AlreadyHolds();

    CZTAppDevice& m_app;
    CConsole& m_console;
    CWriteJournal* m_pJournal; // the record of every connect and write, where one is kept
    SOutcome m_outcome;
    bool m_bCatalogue = false; // the catalogue is loaded for this command
};
