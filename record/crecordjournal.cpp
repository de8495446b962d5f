#include "crecordjournal.h"

#include "cfailuretext.h"
#include "cfingerprint.h"
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

CRecordEntry CRecordJournal::Base(const CWriteSession& session, const char* pszOperation) const
{
    const CZTAppDevice& app = session.App();
    CRecordEntry entry;
    entry.strId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    entry.timeStart = session.Started().isValid() ? session.Started() : QDateTime::currentDateTimeUtc();
    entry.nDurationMs = session.ElapsedMs();
    entry.strStation = m_identity.strStation;
    entry.strOperator = m_identity.strOperator;
    entry.strSerial = m_identity.strSerial;
    entry.strProgramVersion = m_identity.strProgramVersion;
    entry.strPort = app.m_Port.m_bDemo ? QString() : app.m_Port.GetPortName();
    entry.bDemo = app.m_Port.m_bDemo;
    entry.strOperation = QLatin1String(pszOperation);
    if (session.HasVersions())
    {
        entry.nVersion = app.m_wVersion;
        entry.nBootVersion = app.m_wBootVersion;
    }
    return entry;
}

void CRecordJournal::Fail(CRecordEntry& entry, const CWriteSession& session) const
{
    const CFailure& failure = session.Failure();
    if (!failure.IsSet())
        return;
    entry.strResult = failure.m_nReason == CFailure::EReason::Refused ? QStringLiteral("refused")
                                                                      : QStringLiteral("failed");
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
    if (!m_spool.Append(entry, stored))
        m_strTrouble += QStringLiteral("; запись не отложена: ") + m_spool.m_strLastError;
}

void CRecordJournal::Connected(const CWriteSession& session)
{
    const CZTAppDevice& app = session.App();
    CRecordEntry entry = Base(session, "read");
    entry.strResult = QStringLiteral("done");
    m_unitIds.clear(); // another unit, or the same read again
    Fail(entry, session);
    QList<const CParamZT01*> images;
    if (app.m_bConnected)
    {
        CParamZT01 held = app.m_ParamDevice;
        if (app.m_Port.m_bDemo)
            held = app.m_ParamEdit; // the demonstration read takes only the file's settings
        entry.strFingerprint = CFingerprint::Of(held);
        entry.strImageAfter = CFingerprint::ImageHash(held);
        bool bUnit = false, bImage = false;
        m_store.IsPartialUnit(entry.strFingerprint, bUnit);
        m_store.IsPartialImage(entry.strImageAfter, bImage);
        // A sensor table that is not its sensor's is what a torn write leaves behind.
        entry.bPartial = bUnit || bImage || !app.m_strSensorMismatch.isEmpty();
        Store(entry, {&held});
        return;
    }
    Store(entry, {});
}

void CRecordJournal::WriteStarting(const CWriteSession& session)
{
    const CWriteSession::SRequest& request = session.Request();
    CRecordEntry entry = Base(session, request.bRestore ? "restore" : "write");
    entry.strResult = QStringLiteral("attempted");
    // The device block written is the one read at connect: in demonstration mode the reads'
    // own, where the file's may differ until its first write.
    entry.strFingerprint = CFingerprint::Of(session.Written());
    entry.strImageBefore = CFingerprint::ImageHash(session.Before());
    entry.strImageAfter = CFingerprint::ImageHash(session.Written());
    if (!request.strSource.isEmpty())
    {
        entry.strSource = request.strSource;
        entry.strSourceHash =
            QString::fromLatin1(QCryptographicHash::hash(request.source, QCryptographicHash::Sha256).toHex());
    }
    Store(entry, {&session.Before(), &session.Written()});
}

void CRecordJournal::WriteFinished(const CWriteSession& session)
{
    const CZTAppDevice& app = session.App();
    CRecordEntry entry = m_Last; // the attempted one, completed
    entry.nDurationMs = session.ElapsedMs();
    entry.strResult = QStringLiteral("done");
    if (session.Request().bVerify)
        entry.verified = session.Verified();
    Fail(entry, session);
    if (app.m_nLastAcknowledged >= 0)
        entry.nLastAcknowledged = app.m_nLastAcknowledged;
    bool bPartial = false;
    const CParamZT01 after = session.Held(bPartial);
    entry.bPartial = bPartial;
    if (session.Torn())
        entry.strResult = QStringLiteral("interrupted");
    entry.strChanges = CSettingsDiff(app, session.Before(), after).Summary();
    entry.strImageAfter = CFingerprint::ImageHash(after);
    Store(entry, {&after});
}

bool CRecordJournal::ImagePartial(const CParamZT01& image)
{
    bool bPartial = false;
    return m_store.IsOpen() && m_store.IsPartialImage(CFingerprint::ImageHash(image), bPartial) && bPartial;
}

int CRecordJournal::ImageOrigin(const CParamZT01& image)
{
    int nVersion = -1;
    if (m_store.IsOpen())
        m_store.ImageVersion(CFingerprint::ImageHash(image), nVersion);
    return nVersion;
}
