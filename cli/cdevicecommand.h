#pragma once

#include "cconsole.h"
#include "cfailure.h"
#include "coptions.h"
#include "ctransaction.h"

#include <QString>

#include <functional>

class CParamZT01;
class CWriteJournal;
class CWriteSession;
class CZTAppDevice;

// What the commands that talk to one device share (read, set, write, restore, diff): the
// connect, the write of the working image with its backup and read-back, how a failure is said,
// and what the last one came to, for a batch's result.
class CDeviceCommand
{
public:
    // What the command came to: its last connect or write, and what the command adds.
    struct SOutcome
    {
        CTransaction transaction; // none yet: failed, nothing known
        bool bVersions = false;   // the device answered the versions request
        QString strBackupPath;
        bool bAlready = false;  // the unit held what this run had given it: not written again
        bool bPartial = false;  // it may hold a partial image, this write's or an earlier one's
        QString strSourceHash;  // write --in: the file's SHA-256; set: that of the settings sent
        bool bHeldBack = false; // read, and kept from the write by m_pfnMayWrite
        SOutcome() { transaction.nResult = CTransaction::EResult::Failed; }
    };

    CDeviceCommand(CZTAppDevice& app, CConsole& console, CWriteJournal* pJournal = nullptr);

    CZTAppDevice& App() const { return m_app; }
    CConsole& Console() const { return m_console; }
    CWriteJournal* Journal() const { return m_pJournal; }
    void SetJournal(CWriteJournal* pJournal) { m_pJournal = pJournal; }
    const SOutcome& Outcome() const { return m_outcome; }
    // A command begins with nothing learnt.
    void Begin() { m_outcome = {}; }

    // The catalogue, loaded once a command: a damaged one is said once.
    void LoadCatalogue();
    // Opens the port of the options (or the demonstration image) and reads the unit; false
    // after saying why.
    bool Connect(const COptions& options, CWriteSession& session);
    // Reads the image of the unit on strPort (or the demonstration image), recorded as any read;
    // false after saying why.
    bool ReadImage(const COptions& options, const QString& strPort, CParamZT01& image);
    // Writes the working image as the options ask; an exit status. strSource and pSource: the
    // image file the values came from, or the settings applied and null.
    int WriteValues(const COptions& options, CWriteSession& session, const QString& strSource = QString(),
                    const CParamZT01* pSource = nullptr);
    // Writes the working image back as a restore of entry strEntry, verified; false after
    // saying why. A restore that is cut names the way back as this same restore again: its own
    // entry's image before is the torn one it was mending.
    bool WriteRestore(const COptions& options, CWriteSession& session, const QString& strEntry);
    // The unit just read is one this run configured, holding what it was given: said, and
    // taken as verified.
    bool AlreadyHolds();
    // The image file came from a unit of the connected one's firmware, or the record does not
    // know (said), or --force; false after saying why not.
    bool SameFirmware(const COptions& options, const CParamZT01& source);
    // Reads a 512-byte image file; a failure is reported.
    bool LoadImageFile(const QString& strPath, CParamZT01& image);
    bool SaveImageFile(const QString& strPath, const CParamZT01& image);

    // Told whenever the outcome learns something that must outlive a sudden end: the versions
    // once the device answered, the backup once it is safe.
    std::function<void()> m_pfnLearnt;
    // A unit this run has configured and verified, seen again holding the image it was given
    // (by its fingerprint and the image's SHA-256), is not written again.
    std::function<bool(const QString& strFingerprint, const QString& strImageHash)> m_pfnConfigured;
    // Asked of a unit once it is read, by its fingerprint, before anything is written to it: false
    // (said by it) ends the command as a failed connect.
    std::function<bool(const QString& strFingerprint)> m_pfnMayWrite;

private:
    // strWayBack: the entry whose image the way back puts back; this write's own where empty.
    void ReportWriteFailure(const COptions& options, const CWriteSession& session,
                            const QString& strWayBack = QString());
    // Takes what the unit now holds into the outcome.
    void LearnHeld(const CWriteSession& session, bool bWritten);
    void BackedUp(const QString& strPath);

    CZTAppDevice& m_app;
    CConsole& m_console;
    CWriteJournal* m_pJournal; // the record of every connect and write, where one is kept
    SOutcome m_outcome;
    bool m_bCatalogue = false; // the catalogue is loaded for this command
};
