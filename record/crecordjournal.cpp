#include "crecordjournal.h"

#include "cfailuretext.h"
#include "cfingerprint.h"
#include "crecordfacts.h"
#include "crecordstore.h"
#include "csettingsdiff.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSysInfo>
#include <QUuid>

namespace
{
QByteArray Bytes(const CParamZT01& image)
{
    return QByteArray(reinterpret_cast<const char*>(image.Image()), CParamZT01::kImageSize);
}
} // namespace

CRecordJournal::SIdentity CRecordJournal::DefaultIdentity()
{
    SIdentity identity;
    identity.strStation = QSysInfo::machineHostName();
    for (const char* pszName : {"LOGNAME", "USER", "USERNAME"})
        if (identity.strOperator.isEmpty())
            identity.strOperator = qEnvironmentVariable(pszName);
    // A service or a container may set none of them: the home folder is named after the login.
    if (identity.strOperator.isEmpty())
        identity.strOperator = QDir::home().dirName();
    identity.strProgramVersion = QStringLiteral(ZINT9_VERSION);
    return identity;
}

CRecordJournal::CRecordJournal(CRecordStore& store, const SIdentity& identity, const QString& strSpool)
    : m_store(store), m_spool(strSpool), m_identity(identity)
{
    int nStored = 0;
    if (m_store.IsOpen() && !m_spool.Drain(m_store, nStored))
        m_strTrouble = m_spool.m_strLastError;
}

QString CRecordJournal::TakeTrouble()
{
    if (m_strTrouble.isEmpty() || m_bTroubleTold)
        return QString();
    m_bTroubleTold = true;
    return m_strTrouble;
}

CRecordEntry CRecordJournal::Base(const CWriteSession& session, const CTransaction& transaction) const
{
    CRecordEntry entry;
    entry.strId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    entry.timeStart = transaction.timeStart;
    entry.nDurationMs = transaction.nDurationMs;
    entry.strStation = m_identity.strStation;
    entry.strOperator = m_identity.strOperator;
    entry.strSerial = m_identity.strSerial;
    entry.strProgramVersion = m_identity.strProgramVersion;
    entry.strPort = transaction.strPort;
    entry.bDemo = session.App().m_Port.m_bDemo;
    entry.strOperation = CTransaction::OperationKey(transaction.nOperation);
    entry.nVersion = transaction.nVersion;
    entry.nBootVersion = transaction.nBootVersion;
    Take(entry, transaction);
    return entry;
}

void CRecordJournal::Take(CRecordEntry& entry, const CTransaction& transaction)
{
    entry.nDurationMs = transaction.nDurationMs;
    entry.strResult = CTransaction::ResultKey(transaction.nResult);
    entry.verified = transaction.verified;
    entry.strBackup = transaction.strBackup;
    const CFailure& failure = transaction.failure;
    if (!failure.IsSet())
        return;
    entry.strStep = CFailureText::StepKey(failure.m_nStep);
    entry.nAddress = failure.m_nAddress;
    entry.strReason = CFailureText::Reason(failure);
    entry.strReasonKey = CFailureText::ReasonKey(failure.m_nReason);
    if (failure.m_nReason == CFailure::EReason::TimeOut)
    {
        entry.nReceived = failure.m_nReceived;
        entry.nExpected = failure.m_nExpected;
    }
    else if (failure.m_nReason == CFailure::EReason::Mismatch)
    {
        entry.nReceived = failure.m_byHave;
        entry.nExpected = failure.m_byWant;
    }
}

void CRecordJournal::Store(const CRecordEntry& entry, const QList<const CParamZT01*>& images)
{
    if (!m_unitIds.contains(entry.strId))
        m_unitIds << entry.strId;
    m_Last = entry;
    QList<QPair<QString, QByteArray>> stored;
    for (const CParamZT01* pImage : images)
        stored.append({CFingerprint::ImageHash(*pImage), Bytes(*pImage)});
    if (m_store.IsOpen() && m_store.Put(entry, stored))
        return;
    // Kept for a later run; the user hears once why the record is not where it should be.
    m_strTrouble =
        m_store.m_strLastError.isEmpty() ? QStringLiteral("записи не открыты") : m_store.m_strLastError;
    if (!m_spool.Append(entry, stored, m_store.Key()))
        m_strTrouble += QStringLiteral("; запись не отложена: ") + m_spool.m_strLastError;
}

void CRecordJournal::Connected(const CWriteSession& session)
{
    const CZTAppDevice& app = session.App();
    CRecordEntry entry = Base(session, session.Transaction());
    m_unitIds.clear(); // another unit, or the same read again
    if (!app.m_bConnected)
    {
        Store(entry, {});
        return;
    }
    CParamZT01 held = app.m_ParamDevice;
    if (app.m_Port.m_bDemo)
        held = app.m_ParamEdit; // the demonstration read takes only the file's settings
    entry.strFingerprint = CFingerprint::Of(held);
    entry.strImageAfter = CFingerprint::ImageHash(held);
    bool bUnit = false, bImage = false;
    CRecordFacts::IsPartialUnit(m_store, entry.strFingerprint, bUnit);
    CRecordFacts::IsPartialImage(m_store, entry.strImageAfter, bImage);
    // A sensor table that is not its sensor's is what a torn write leaves behind.
    entry.bPartial = bUnit || bImage || !app.m_strSensorMismatch.isEmpty();
    Store(entry, {&held});
}

void CRecordJournal::WriteStarting(const CWriteSession& session)
{
    const CTransaction transaction = session.Transaction(); // attempted
    CRecordEntry entry = Base(session, transaction);
    // The device block written is the one read at connect: in demonstration mode the reads'
    // own, where the file's may differ until its first write.
    entry.strFingerprint = CFingerprint::Of(transaction.sent);
    entry.strImageBefore = CFingerprint::ImageHash(transaction.before);
    entry.strImageAfter = CFingerprint::ImageHash(transaction.sent);
    const CWriteSession::SRequest& request = session.Request();
    if (!request.strSource.isEmpty())
    {
        // An image file is its bytes; settings applied are what was sent of them.
        entry.strSource = request.strSource;
        entry.strSourceHash =
            request.source.isEmpty()
                ? CFingerprint::SettingsHash(transaction.sent)
                : QString::fromLatin1(
                      QCryptographicHash::hash(request.source, QCryptographicHash::Sha256).toHex());
    }
    Store(entry, {&transaction.before, &transaction.sent});
}

void CRecordJournal::WriteFinished(const CWriteSession& session)
{
    const CTransaction transaction = session.Transaction();
    CRecordEntry entry = m_Last; // the attempted one, completed
    Take(entry, transaction);
    if (transaction.nLastAcknowledged >= 0)
        entry.nLastAcknowledged = transaction.nLastAcknowledged;
    entry.bPartial = transaction.nHeld == CTransaction::EHeld::Partial;
    entry.strChanges = CSettingsDiff(session.App(), transaction.before, transaction.held).Summary();
    entry.strImageAfter = CFingerprint::ImageHash(transaction.held);
    Store(entry, {&transaction.held});
}

bool CRecordJournal::ImagePartial(const CParamZT01& image)
{
    bool bPartial = false;
    return m_store.IsOpen() &&
           CRecordFacts::IsPartialImage(m_store, CFingerprint::ImageHash(image), bPartial) && bPartial;
}

int CRecordJournal::ImageOrigin(const CParamZT01& image)
{
    int nVersion = -1;
    if (m_store.IsOpen())
        CRecordFacts::ImageVersion(m_store, CFingerprint::ImageHash(image), nVersion);
    return nVersion;
}
