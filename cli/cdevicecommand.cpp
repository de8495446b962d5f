#include "cdevicecommand.h"

#include "cfailuretext.h"
#include "cfilevalues.h"
#include "cfingerprint.h"
#include "cimagefile.h"
#include "crestorehint.h"
#include "csettingstext.h"
#include "cstringtable.h"
#include "cwritejournal.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstring>
#include <utility>

CDeviceCommand::CDeviceCommand(CZTAppDevice& app, CConsole& console, CWriteJournal* pJournal)
    : m_app(app), m_console(console), m_pJournal(pJournal)
{
}

void CDeviceCommand::LoadCatalogue()
{
    // Once a command: a damaged catalogue is said once.
    if (!std::exchange(m_bCatalogue, true))
        m_app.LoadSensorCatalogue();
}

bool CDeviceCommand::Connect(const COptions& options, CWriteSession& session)
{
    LoadCatalogue();
    m_app.m_Port.m_bDemo = options.bDemo;
    const bool bConnected =
        session.Connect(options.ports.isEmpty() ? QStringLiteral("demo") : options.ports.first());
    m_outcome.bVersions = session.HasVersions();
    if (m_outcome.bVersions && m_pfnLearnt)
        m_pfnLearnt();
    if (bConnected)
    {
        LearnHeld(session, false);
        if (m_pfnLearnt)
            m_pfnLearnt(); // the unit's fingerprint
        m_outcome.bHeldBack = m_pfnMayWrite && !m_pfnMayWrite(CFingerprint::Of(m_app.m_ParamDevice));
        return !m_outcome.bHeldBack;
    }
    const CFailure& failure = session.Failure();
    m_outcome.transaction = session.Transaction();
    m_console.Err(CStringTable::Load(CFailureText::MessageId(failure)));
    if (failure.m_nStep != CFailure::EStep::Open)
        m_console.Reason(failure);
    else
    {
        m_console.Err(m_app.m_Port.m_strError);
        if (!failure.m_strDetail.isEmpty())
            m_console.Err(QStringLiteral("Причина: ") + failure.m_strDetail);
    }
    return false;
}

bool CDeviceCommand::ReadImage(const COptions& options, const QString& strPort, CParamZT01& image)
{
    COptions one = options;
    one.ports = QStringList{strPort};
    CWriteSession session(m_app, m_pJournal);
    const bool bRead = Connect(one, session) && m_app.HeldImage(image);
    m_app.m_Port.Close();
    return bRead;
}

bool CDeviceCommand::LoadImageFile(const QString& strPath, CParamZT01& image)
{
    CImageFile file;
    if (file.Read(strPath, image))
        return true;
    m_console.Error(COptions::kFailure,
                    QStringLiteral("не удалось прочитать образ из %1: %2").arg(strPath, file.m_strLastError));
    return false;
}

bool CDeviceCommand::SaveImageFile(const QString& strPath, const CParamZT01& image)
{
    CImageFile file;
    if (file.Save(strPath, image))
        return true;
    m_console.Error(COptions::kFailure,
                    QStringLiteral("не удалось записать %1: %2").arg(strPath, file.m_strLastError));
    return false;
}

int CDeviceCommand::WriteValues(const COptions& options, CWriteSession& session, const QString& strSource,
                                const CParamZT01* pSource)
{
    m_app.m_nSensor = m_app.FindSensor(m_app.m_ParamEdit);
    CWriteSession::SRequest request;
    request.bVerify = !options.bNoVerify;
    request.bChangedOnly = options.bChangedOnly;
    request.strBackupDir = options.strBackupDir;
    request.strSource = strSource;
    if (pSource)
        request.source = QByteArray(reinterpret_cast<const char*>(pSource->Image()), CParamZT01::kImageSize);
    request.pfnVerdict = [this](const CParamRules::SVerdict& verdict)
    {
        if (verdict.strText.isEmpty())
            return;
        // A value that is no number comes from a file; the checks of the fields never see one.
        const bool bOwn = verdict.strText == CParamRules::NotANumberText();
        m_console.Err(bOwn ? QStringLiteral("zint9: ") + verdict.strText : verdict.strText);
    };
    request.pfnBackedUp = [this](const QString& strPath) { BackedUp(strPath); };
    if (pSource)
        m_outcome.strSourceHash =
            QString::fromLatin1(QCryptographicHash::hash(request.source, QCryptographicHash::Sha256).toHex());
    const bool bWritten = session.Write(request);
    // Settings applied: as the record hashes them, the band the checks cleared included.
    if (!pSource && !strSource.isEmpty())
        m_outcome.strSourceHash = CFingerprint::SettingsHash(m_app.m_ParamEdit);
    LearnHeld(session, true);
    if (!bWritten)
    {
        ReportWriteFailure(options, session);
        return session.Failure().m_nStep == CFailure::EStep::Values ? COptions::kRefused : COptions::kFailure;
    }
    m_console.Err(CStringTable::Load(157));
    if (options.bNoVerify)
        m_console.Err(QStringLiteral("Записанное не сверено с прибором (--no-verify)."));
    // A script that asks for JSON gets the settings now in the device.
    if (options.bJson)
        m_console.Out(CSettingsText::Render(m_app, session.Written(), true, true));
    return COptions::kSuccess;
}

void CDeviceCommand::ReportWriteFailure(const COptions& options, const CWriteSession& session,
                                        const QString& strWayBack)
{
    const CFailure& failure = session.Failure();
    switch (failure.m_nStep)
    {
    case CFailure::EStep::Values:
        return; // the checks have said why
    case CFailure::EStep::Backup:
        m_console.Error(
            COptions::kFailure,
            QStringLiteral("не удалось сохранить резервную копию образа прибора, запись не выполнена: ") +
                failure.m_strDetail);
        return;
    case CFailure::EStep::Verify:
        if (failure.m_nReason == CFailure::EReason::Mismatch)
        {
            m_console.Error(COptions::kFailure,
                            QStringLiteral("сверка не прошла: ") + CFailureText::Reason(failure));
            return;
        }
        m_console.Error(COptions::kFailure,
                        QStringLiteral("сверка: ") + CStringTable::Load(CFailureText::MessageId(failure)));
        break;
    default:
        m_console.Err(CStringTable::Load(CFailureText::MessageId(failure)));
        break;
    }
    m_console.Reason(failure);
    if (session.Torn())
        m_console.Err(CFailureText::Torn(
            session.BackupPath(),
            CRestoreHint::Command(options, m_app.m_Port.m_bDemo ? QString() : m_app.m_Port.GetPortName(),
                                  !strWayBack.isEmpty() ? strWayBack
                                  : m_pJournal          ? m_pJournal->LastEntryId()
                                                        : QString())));
}

void CDeviceCommand::LearnHeld(const CWriteSession& session, bool bWritten)
{
    m_outcome.transaction = session.Transaction();
    const bool bPartial = bWritten ? m_outcome.transaction.nHeld == CTransaction::EHeld::Partial
                                   : m_pJournal && m_pJournal->UnitPartial();
    // A failed write does not mend a unit that was partial before it.
    m_outcome.bPartial = bPartial || (bWritten && session.Failure().IsSet() && m_outcome.bPartial);
}

bool CDeviceCommand::AlreadyHolds()
{
    const CParamZT01& held = m_app.m_ParamDevice;
    if (!m_pfnConfigured || !m_pfnConfigured(CFingerprint::Of(held), CFingerprint::ImageHash(held)))
        return false;
    // The read just made compared every byte with what the unit was given.
    m_outcome.bAlready = true;
    m_console.Err(
        QStringLiteral("Прибор уже настроен в этом запуске и проверен; повторная запись не нужна."));
    return true;
}

bool CDeviceCommand::SameFirmware(const COptions& options, const CParamZT01& source)
{
    const int nOrigin = m_pJournal ? m_pJournal->ImageOrigin(source) : -1;
    if (nOrigin < 0)
    {
        m_console.Err(
            QStringLiteral("Происхождение образа %1 неизвестно: записи не знают, из какого прибора он "
                           "прочитан.")
                .arg(options.strIn));
        return true;
    }
    if (nOrigin == m_app.m_wVersion || options.bForce)
        return true;
    // Another firmware may read the same bytes otherwise.
    m_console.Error(
        COptions::kFailure,
        QStringLiteral("%1 прочитан из прибора версии %2, а подключён прибор версии %3; ничего не "
                       "записано (--force, чтобы записать всё равно)")
            .arg(options.strIn, CSettingsText::Hex(quint16(nOrigin)), CSettingsText::Hex(m_app.m_wVersion)));
    return false;
}

void CDeviceCommand::BackedUp(const QString& strPath)
{
    m_outcome.strBackupPath = QDir::toNativeSeparators(strPath);
    if (m_pfnLearnt)
        m_pfnLearnt();
    m_console.Err(QStringLiteral("Резервная копия образа прибора: %1").arg(m_outcome.strBackupPath));
}

bool CDeviceCommand::WriteRestore(const COptions& options, CWriteSession& session, const QString& strEntry)
{
    CWriteSession::SRequest request;
    request.bRestore = true;
    request.strBackupDir = options.strBackupDir;
    request.pfnBackedUp = [this](const QString& strPath) { BackedUp(strPath); };
    const bool bWritten = session.Write(request);
    LearnHeld(session, true);
    if (bWritten)
        return true;
    ReportWriteFailure(options, session, strEntry);
    return false;
}
