#include "cwritesession.h"

#include "cheldimage.h"
#include "cimagebackup.h"
#include "ctransaction.h"
#include "cwritejournal.h"
#include "cztappdevice.h"

#include <cmath>
#include <cstring>

CWriteSession::CWriteSession(CZTAppDevice& app, CWriteJournal* pJournal) : m_app(app), m_pJournal(pJournal) {}

void CWriteSession::Start()
{
    m_Failure.Clear();
    m_Started = QDateTime::currentDateTimeUtc();
    m_Timer.start();
}

bool CWriteSession::Fail(const CFailure& failure)
{
    m_Failure = failure;
    return false;
}

bool CWriteSession::Connect(const QString& strPort)
{
    Start();
    m_nOperation = CTransaction::EOperation::Read;
    m_bVersions = false;
    m_app.m_bConnected = false;
    m_app.m_strSensorMismatch.clear();
    m_app.m_strUnitPort = strPort;
    if (!m_app.m_Port.Open(strPort))
    {
        CFailure failure = CFailure::At(CFailure::EStep::Open, CFailure::EReason::PortOpen);
        failure.m_strPath = strPort;
        failure.m_strDetail = m_app.m_Port.m_strReason;
        Fail(failure);
    }
    else if (!m_app.ReadVersions())
        Fail(m_app.m_Failure);
    else
    {
        m_bVersions = true;
        m_app.m_strLastError.clear();
        m_app.m_bConnected = m_app.ReadImage(m_app.m_ParamDevice);
        if (!m_app.m_bConnected)
            Fail(m_app.m_Failure);
        else
            m_app.m_strSensorMismatch = m_app.SensorFileMismatch(m_app.m_ParamEdit);
    }
    if (m_pJournal && m_bVersions)
        m_pJournal->Connected(*this); // a port that never answered is no unit's history
    return m_app.m_bConnected;
}

bool CWriteSession::Reconnect()
{
    // Not the port's own name: a failed open leaves that empty.
    const QString strPort = m_app.m_strUnitPort;
    const CParamZT01 edit = m_app.m_ParamEdit;
    const CParamZT01 device = m_app.m_ParamDevice;
    const QString strMismatch = m_app.m_strSensorMismatch;
    m_app.m_Port.Close();
    const bool bRead = Connect(strPort);
    const bool bSame = bRead && m_app.m_ParamDevice.SameIn(device, CParamZT01::kDeviceBlock);
    // The edits stay, and the device block stays the one read at the first connect: another
    // unit's must never be written with this one's.
    m_app.m_ParamEdit = edit;
    m_app.m_strSensorMismatch = strMismatch;
    if (!bSame)
        m_app.m_ParamDevice = device;
    if (m_app.m_Hooks.m_pfnPageExchange)
        m_app.m_Hooks.m_pfnPageExchange(false);
    if (bRead && !bSame)
    {
        m_app.m_Port.Close();
        m_app.m_bConnected = false;
        CFailure failure = CFailure::At(CFailure::EStep::Read, CFailure::EReason::OtherUnit);
        failure.m_strPath = strPort;
        return Fail(failure);
    }
    return bSame;
}

CParamRules::SVerdict CWriteSession::Check(const CParamZT01& image) const
{
    // Values from an image file have not been through the reading rule of a field.
    for (float fValue : {float(image.fLowLimit), float(image.fHighLimit), float(image.fFailOutput),
                         float(image.fPeakBand), float(image.fFilterTime)})
        if (!std::isfinite(fValue))
        {
            CParamRules::SVerdict verdict;
            verdict.bOk = false;
            verdict.strText = CParamRules::NotANumberText();
            return verdict;
        }
    const int nSensor = m_app.FindSensor(image);
    const bool bKnown = nSensor >= 0 && nSensor < m_app.m_Sensors.size();
    return CParamRules::Validate(
        {image.fLowLimit, image.fHighLimit, image.fFailOutput, image.fPeakBand, image.fFilterTime},
        bKnown ? &m_app.m_Sensors[nSensor] : nullptr, m_app.m_fMaxFilterTime, m_app.m_fMaxBandPercent);
}

bool CWriteSession::Write(const SRequest& request)
{
    Start();
    m_nOperation = request.bRestore ? CTransaction::EOperation::Restore : CTransaction::EOperation::Write;
    m_Request = request;
    m_bVerified = false;
    m_strBackupPath.clear();
    m_app.m_nLastAcknowledged = -1; // this write's, once it sends
    // A restore puts back, byte for byte, what the unit held: today's checks do not judge it.
    if (!request.bRestore && !TakeValues())
        return false;
    CParamZT01& edit = m_app.m_ParamEdit;
    m_app.RestoreDeviceData();
    m_Written = edit;
    m_app.HeldImage(m_Before); // when the demonstration image is unreadable the backup says so
    if (!ConfirmDeviceBlock())
        return false;
    // Nothing reaches the device unless the image it holds now is safe on disk.
    if (!Backup(request.strBackupDir))
        return false;
    m_bSending = true;
    if (m_pJournal)
        m_pJournal->WriteStarting(*this);
    const bool bDone = Send();
    m_bSending = false;
    if (m_pJournal)
        m_pJournal->WriteFinished(*this);
    return bDone;
}

bool CWriteSession::TakeValues()
{
    CParamZT01& edit = m_app.m_ParamEdit;
    edit.byColdJunction = edit.byColdJunction > 1 ? 1 : edit.byColdJunction;
    const CParamRules::SVerdict verdict = Check(edit);
    if (m_Request.pfnVerdict)
        m_Request.pfnVerdict(verdict);
    if (!verdict.bOk)
    {
        CFailure failure = CFailure::At(CFailure::EStep::Values, CFailure::EReason::Rules);
        failure.m_strDetail = verdict.strText;
        return Fail(failure);
    }
    if (verdict.bBandCleared)
        edit.fPeakBand = 0;
    return true;
}

bool CWriteSession::Send()
{
    CParamZT01& edit = m_app.m_ParamEdit;
    const QList<int> blocks = Blocks();
    m_app.BeginSharedProgress(); // the write and its read-back in one window
    const bool bWritten = m_app.WriteImage(edit, &blocks);
    m_Written = edit; // as the page gave it to the write
    if (!bWritten)
        Fail(m_app.m_Failure);
    else if (m_Request.bVerify)
        m_bVerified = Verify();
    m_app.EndSharedProgress();
    if (!m_Failure.IsSet())
    {
        m_app.m_strSensorMismatch = m_app.SensorFileMismatch(edit); // the unit holds it now
        return true;
    }
    // What the unit holds, and which unit it is, must be read again before the next write.
    m_app.m_bConnected = false;
    return false;
}

bool CWriteSession::ConfirmDeviceBlock()
{
    // The device block goes back into the unit from the image read at connect. Where an answer
    // did not name its block, a stale one may have stood in for it: what the write would send of
    // it is read again, and must be the same.
    if (m_app.m_Port.m_bDemo || m_app.m_bImageNamed)
        return true;
    QList<int> blocks;
    const QList<int> sent = Blocks();
    for (const CParamZT01::SRange& range : CParamZT01::kDeviceBlock)
        for (int k = range.nOffset / 8; k <= (range.nOffset + range.nSize - 1) / 8; ++k)
            if (sent.contains(k) && !blocks.contains(k))
                blocks << k;
    CParamZT01 again = m_app.m_ParamDevice;
    if (blocks.isEmpty())
        return true;
    if (!m_app.ReadBlocks(again, blocks))
        return Fail(m_app.m_Failure);
    if (again.SameIn(m_app.m_ParamDevice, CParamZT01::kDeviceBlock))
        return true;
    return Fail(CFailure::At(CFailure::EStep::Read, CFailure::EReason::DeviceBlockDiffers));
}

QList<int> CWriteSession::Blocks() const
{
    QList<int> blocks;
    constexpr int kBlock = 8;
    for (int k = 0; k < CParamZT01::kImageSize / kBlock; ++k)
        if (!m_Request.bChangedOnly || m_app.m_Port.m_bDemo ||
            std::memcmp(m_app.m_ParamEdit.Image() + k * kBlock, m_Before.Image() + k * kBlock, kBlock) != 0)
            blocks << k;
    return blocks;
}

int CWriteSession::UnsureBlock() const
{
    // A block whose answer was lost, or came wrong, may be stored all the same; a refused one
    // is not.
    if (m_Failure.m_nStep != CFailure::EStep::Write || m_Failure.m_nReason == CFailure::EReason::Refused ||
        m_Failure.m_nReason == CFailure::EReason::PageRefused)
        return -1;
    return m_Failure.m_nAddress;
}

bool CWriteSession::Torn() const
{
    const int nLast = m_app.m_nLastAcknowledged;
    return m_Failure.m_nStep == CFailure::EStep::Write && nLast < CParamZT01::kImageSize - 8 &&
           CHeldImage::Reached(m_Before, m_Written, nLast, UnsureBlock());
}

CParamZT01 CWriteSession::Held(bool& bPartial) const
{
    bPartial = false;
    if (!m_Failure.IsSet())
        return m_Written;
    if (m_Failure.m_nStep == CFailure::EStep::Verify)
    {
        bPartial = m_Failure.m_nReason == CFailure::EReason::Mismatch;
        // As read back; a read-back that failed follows a write the unit took whole.
        return bPartial ? m_app.m_ParamDevice : m_Written;
    }
    const int nLast = m_app.m_nLastAcknowledged;
    if (!Torn())
        return m_Failure.m_nStep == CFailure::EStep::Write && nLast >= 0 ? m_Written : m_Before;
    return CHeldImage::Of(m_Before, m_Written, nLast, UnsureBlock(), bPartial);
}

bool CWriteSession::Backup(const QString& strFolder)
{
    CImageBackup backup(strFolder.isEmpty() ? CImageBackup::DefaultFolder() : strFolder);
    if (!m_app.SaveBackup(backup))
        return Fail(CFailure::FileError(CFailure::EStep::Backup, QString(), backup.m_strLastError));
    m_strBackupPath = backup.m_strPath;
    if (m_Request.pfnBackedUp)
        m_Request.pfnBackedUp(m_strBackupPath);
    return true;
}

bool CWriteSession::Verify()
{
    CParamZT01 readBack;
    if (m_app.m_Port.m_bDemo)
    {
        if (!m_app.ReadImageFile(m_app.DemoImagePath(), readBack))
            return Fail(
                CFailure::FileError(CFailure::EStep::Verify, m_app.DemoImagePath(), m_app.m_strLastError));
    }
    else
    {
        // A changed-only write reads back what it sent; the rest was just read.
        readBack = m_Before;
        const bool bRead = m_Request.bChangedOnly ? m_app.ReadBlocks(readBack, Blocks(), true)
                                                  : m_app.ReadImage(m_app.m_ParamDevice, true);
        if (!bRead)
        {
            CFailure failure = m_app.m_Failure;
            failure.m_nStep = CFailure::EStep::Verify;
            return Fail(failure);
        }
        if (m_Request.bChangedOnly)
            m_app.m_ParamDevice = readBack;
        else
            readBack = m_app.m_ParamDevice;
    }
    for (int i = 0; i < CParamZT01::kImageSize; ++i)
        if (readBack.Image()[i] != m_Written.Image()[i])
        {
            CFailure failure = CFailure::At(CFailure::EStep::Verify, CFailure::EReason::Mismatch, i);
            failure.m_byHave = readBack.Image()[i];
            failure.m_byWant = m_Written.Image()[i];
            return Fail(failure);
        }
    return true;
}

CTransaction CWriteSession::Transaction() const
{
    using EResult = CTransaction::EResult;
    CTransaction transaction;
    transaction.nOperation = m_nOperation;
    transaction.failure = m_Failure;
    transaction.timeStart = m_Started.isValid() ? m_Started : QDateTime::currentDateTimeUtc();
    transaction.nDurationMs = ElapsedMs();
    transaction.strPort = m_app.m_Port.m_bDemo ? QString() : m_app.m_Port.GetPortName();
    if (m_bVersions)
    {
        transaction.nVersion = m_app.m_wVersion;
        transaction.nBootVersion = m_app.m_wBootVersion;
    }
    const bool bRefused =
        m_Failure.m_nStep == CFailure::EStep::Values || m_Failure.m_nReason == CFailure::EReason::Refused;
    if (m_nOperation == CTransaction::EOperation::Read)
    {
        transaction.nResult = m_app.m_bConnected ? EResult::Done
                              : bRefused         ? EResult::Refused
                                                 : EResult::Failed;
        if (m_app.m_bConnected && m_app.HeldImage(transaction.held))
            transaction.nHeld = CTransaction::EHeld::Certain;
        return transaction;
    }
    transaction.strBackup = m_strBackupPath;
    transaction.before = m_Before;
    transaction.sent = m_Written;
    transaction.nLastAcknowledged = m_app.m_nLastAcknowledged;
    if (m_Request.bVerify && !m_bSending)
        transaction.verified = m_bVerified;
    bool bPartial = false;
    transaction.held = m_bSending ? m_Written : Held(bPartial);
    transaction.nHeld = bPartial ? CTransaction::EHeld::Partial : CTransaction::EHeld::Certain;
    if (m_bSending)
        transaction.nResult = EResult::Attempted;
    else if (!m_Failure.IsSet())
        transaction.nResult = m_Request.bVerify ? EResult::Done : EResult::Unverified;
    else
        // Refused after some blocks went, the unit may hold part of the image all the same.
        transaction.nResult = Torn() ? EResult::Interrupted : bRefused ? EResult::Refused : EResult::Failed;
    return transaction;
}
