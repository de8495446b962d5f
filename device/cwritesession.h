#pragma once

#include "cfailure.h"
#include "cparamrules.h"
#include "cparamzt01.h"
#include "ctransaction.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QString>

#include <functional>

class CWriteJournal;
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
        // Told the backup's path once it is safe on disk, before the write begins.
        std::function<void(const QString&)> pfnBackedUp;
        bool bRestore = false; // puts back an earlier image rather than new settings
        // Writes only the blocks that differ from the image just read, and verifies only those.
        bool bChangedOnly = false;
        // For the record: the image file the values came from and its 512 bytes, or the settings
        // applied (set) and no bytes, whose hash is then that of the settings sent.
        QString strSource;
        QByteArray source;
    };

    // pJournal, where given, records every connect and write.
    explicit CWriteSession(CZTAppDevice& app, CWriteJournal* pJournal = nullptr);

    // Opens strPort (any name in demonstration mode), reads the versions and the image into
    // m_ParamDevice and m_ParamEdit.
    bool Connect(const QString& strPort);
    // Opens the port of the last connect again (the adapter pulled and plugged in, or a write
    // failed) and reads the versions and the image, keeping the working image. False, with
    // EReason::OtherUnit and the port closed, when the unit there has another device block.
    bool Reconnect();
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
    const SRequest& Request() const { return m_Request; }
    CZTAppDevice& App() const { return m_app; }
    // The last connect's or write's start (UTC) and length.
    const QDateTime& Started() const { return m_Started; }
    qint64 ElapsedMs() const { return m_Timer.isValid() ? m_Timer.elapsed() : 0; }
    // The write compared what the device holds with what was sent, and found them equal.
    bool Verified() const { return m_bVerified; }
    // The last write ended after the unit had taken some of its blocks and before the last, or
    // on a changed block the unit may have stored without saying so: the unit may hold new
    // blocks before that point and old ones after it.
    bool Torn() const;
    // What the unit holds after the last write, as far as is known: the image sent, the old one
    // where nothing reached it, new blocks then old ones where it was torn, or what a failed
    // verify read back. bPartial: it may be neither the old image nor the new.
    CParamZT01 Held(bool& bPartial) const;
    // What the last connect or write came to, as every output tells it.
    CTransaction Transaction() const;

private:
    void Start();
    bool Fail(const CFailure& failure);
    bool TakeValues();
    bool Send();
    bool Backup(const QString& strFolder);
    bool Verify();
    // The device block's blocks the write sends are the unit's own: read again and compared
    // where the answers of the connect did not name their blocks. False, nothing sent, if not.
    bool ConfirmDeviceBlock();
    // The block the last write sent without a good answer, which the unit may have stored;
    // -1 for none.
    int UnsureBlock() const;
    // The blocks a changed-only write sends, or all.
    QList<int> Blocks() const;

    CZTAppDevice& m_app;
    CWriteJournal* m_pJournal;
    CFailure m_Failure;
    SRequest m_Request;
    CParamZT01 m_Before;
    QDateTime m_Started;
    QElapsedTimer m_Timer;
    bool m_bVerified = false;
    bool m_bVersions = false;
    bool m_bSending = false; // the write is under way: backed up, the unit being written
    CTransaction::EOperation m_nOperation = CTransaction::EOperation::Read;
    QString m_strBackupPath;
    CParamZT01 m_Written;
};
