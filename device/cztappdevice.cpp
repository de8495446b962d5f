#include "cztappdevice.h"

#include "cblockexchange.h"
#include "cfilelock.h"
#include "cframecodec.h"
#include "cimagebackup.h"
#include "cimagefile.h"
#include "clinelog.h"
#include "cstringtable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

namespace
{
CZTAppDevice* s_pInstance = nullptr;

constexpr int kBlocks = CParamZT01::kImageSize / CFrameCodec::kBlockSize;

// The simulated transfer of the demonstration device: about two seconds at 32 ms a block.
void SimulateTransfer(CProgress& progress, int nStepMs)
{
    for (int i = 0; i < kBlocks; ++i)
    {
        if (nStepMs > 0)
            QThread::msleep(unsigned(nStepMs));
        progress.StepIt();
    }
}

QList<int> AllBlocks()
{
    QList<int> blocks;
    for (int k = 0; k < kBlocks; ++k)
        blocks << k;
    return blocks;
}

std::unique_ptr<CProgress> StartProgress(const CZTAppDevice& app, const QString& strText, int nMax)
{
    std::unique_ptr<CProgress> pProgress = app.CreateProgress();
    pProgress->SetText(strText);
    pProgress->SetRange(0, nMax);
    pProgress->SetStep(1);
    pProgress->SetPos(0);
    return pProgress;
}

QString TimeOut(const QString& strRequest, int nReceived, int nExpected)
{
    return QStringLiteral("%1: time-out, %2 of %3 bytes").arg(strRequest).arg(nReceived).arg(nExpected);
}

const QString kReadingImage = QStringLiteral("Чтение образа EEPROM прибора...");
const QString kCheckingImage = QStringLiteral("Сверка записанного: чтение образа EEPROM прибора...");
const QString kWritingImage = QStringLiteral("Запись образа EEPROM прибора...");
} // namespace

// A line of the traffic log; nothing is formatted while the log is off.
#define LOG_LINE(cDirection, strMeaning, raw)                                                                \
    qCDebug(lcLine).noquote() << CLineLog::Line(m_Port.Elapsed(), cDirection, strMeaning, raw)

CZTAppDevice& ZTApp()
{
    Q_ASSERT(s_pInstance);
    return *s_pInstance;
}

CZTAppDevice::CZTAppDevice()
{
    Q_ASSERT(!s_pInstance);
    s_pInstance = this;
}

CZTAppDevice::~CZTAppDevice()
{
    s_pInstance = nullptr;
}

bool CZTAppDevice::ReadVersions()
{
    m_Failure.Clear();
    std::unique_ptr<CProgress> pProgress =
        StartProgress(*this, QStringLiteral("Чтение версий прибора и загрузчика..."), 100);
    quint8 frame[CFrameCodec::kShortFrame];
    char text[CFrameCodec::kShortText];
    CFrameCodec::BuildVersionsRequest(frame);
    CFrameCodec::EncodeFrame(frame, CFrameCodec::kShortFrame, text);
    pProgress->SetPos(10);

    quint8 answer[4] = {};
    int nReceived = 0;
    const bool bSent = m_Port.Write(text, CFrameCodec::kShortText);
    bool bResult = bSent;
    LOG_LINE('>', QLatin1String(bSent ? "versions" : "versions: not sent"),
             CLineLog::Text(text, CFrameCodec::kShortText));
    if (bSent)
    {
        pProgress->SetPos(40);
        bResult = m_Port.Read(answer, 4, nReceived);
        LOG_LINE('<',
                 bResult ? QString::asprintf("versions 0x%02X%02X 0x%02X%02X", answer[0], answer[1],
                                             answer[2], answer[3])
                         : TimeOut(QStringLiteral("versions"), nReceived, 4),
                 CLineLog::Hex(answer, nReceived));
    }
    if (bResult)
    {
        m_wVersion = m_Port.m_bDemo ? 0x1555 : quint16(answer[0] << 8 | answer[1]);
        m_wBootVersion = m_Port.m_bDemo ? 0x0008 : quint16(answer[2] << 8 | answer[3]);
    }
    else
    {
        using EReason = CFailure::EReason;
        m_Failure = CFailure::At(CFailure::EStep::Versions, m_Port.m_bLost ? EReason::PortLost
                                                            : !bSent       ? EReason::NotSent
                                                            : nReceived == 0 && m_Port.LastReadEchoed()
                                                                ? EReason::EchoOnly
                                                                : EReason::TimeOut);
        m_Failure.m_nReceived = nReceived;
        m_Failure.m_nExpected = 4;
    }
    pProgress->SetPos(100);
    QThread::msleep(50);
    return bResult;
}

bool CZTAppDevice::ReadImage(CParamZT01& destination, bool bCheck)
{
    m_Failure.Clear();
    if (m_Port.m_bDemo)
        return DemoReadImage();
    if (!ReadBlocks(destination, AllBlocks(), bCheck))
        return false;
    if (bCheck)
        return true; // a read-back leaves the working image and the page as the write had them
    m_bImageNamed = m_bLastReadNamed;
    m_ParamEdit = m_ParamDevice;
    m_nSensor = FindSensor(m_ParamEdit);
    if (m_Hooks.m_pfnPageExchange)
        m_Hooks.m_pfnPageExchange(false);
    return true;
}

bool CZTAppDevice::ReadBlocks(CParamZT01& destination, const QList<int>& blocks, bool bCheck)
{
    m_Failure.Clear();
    m_bLastReadNamed = false;
    std::unique_ptr<CProgress> pProgress =
        StartProgress(*this, bCheck ? kCheckingImage : kReadingImage, int(blocks.size()));
    CBlockExchange exchange(m_Port, m_wVersion, m_wBootVersion);
    for (const int k : blocks)
    {
        const quint32 nAddress = quint32(k * CFrameCodec::kBlockSize);
        if (!exchange.ReadBlock(nAddress, destination.Image() + nAddress))
        {
            m_Failure = exchange.Failure();
            return false;
        }
        pProgress->StepIt();
    }
    m_bLastReadNamed = exchange.AllEchoed();
    return true;
}

bool CZTAppDevice::WriteImage(const CParamZT01& source, const QList<int>* pBlocks)
{
    m_Failure.Clear();
    m_nLastAcknowledged = -1;
    if (m_Port.m_bDemo)
        return DemoWriteImage();
    const QList<int> blocks = pBlocks ? *pBlocks : AllBlocks();
    std::unique_ptr<CProgress> pProgress = StartProgress(*this, kWritingImage, int(blocks.size()));
    if (!m_Hooks.m_pfnPageExchange || !m_Hooks.m_pfnPageExchange(true))
    {
        m_Failure = CFailure::At(CFailure::EStep::Write, CFailure::EReason::PageRefused);
        return false;
    }
    CBlockExchange exchange(m_Port, m_wVersion, m_wBootVersion);
    int nAttempts = 2; // for the whole image: one failed exchange is tolerated
    for (const int k : blocks)
    {
        const quint32 nAddress = quint32(k * CFrameCodec::kBlockSize);
        if (m_Hooks.m_pfnWriteBlock)
            m_Hooks.m_pfnWriteBlock(int(nAddress), false);
        const CBlockExchange::EWrite nResult =
            exchange.WriteBlock(nAddress, source.Image() + nAddress, nAttempts);
        if (nResult != CBlockExchange::EWrite::Acknowledged)
        {
            m_Failure = exchange.Failure();
            if (nResult == CBlockExchange::EWrite::Refused)
                OnRefusal();
            return false;
        }
        m_nLastAcknowledged = int(nAddress);
        if (m_Hooks.m_pfnWriteBlock)
            m_Hooks.m_pfnWriteBlock(int(nAddress), true);
        pProgress->StepIt();
    }
    return true;
}

void CZTAppDevice::OnRefusal()
{
    // The refusal's versions seed the check words of every later request.
    m_wVersion = m_Failure.m_wVersion;
    m_wBootVersion = m_Failure.m_wBootVersion;
    ShowMessage(QString::asprintf("Ошибка записи параметров!\nВерсия прибора: 0x%04X. "
                                  "Версия загрузчика:0x %04X.",
                                  unsigned(m_wVersion), unsigned(m_wBootVersion)),
                CStringTable::Load(57344), EMsgIcon::Stop);
}

QString CZTAppDevice::DemoImagePath() const
{
    const QString strShipped = AppPath(QStringLiteral("ImgEEPROM/demo.dat"));
    const QFileInfo folder(AppPath(QStringLiteral("ImgEEPROM")));
    if (!m_bInstalledData && (!folder.exists() || folder.isWritable()))
        return strShipped;
    // The shipped image stays as it was installed; the user works on a copy of it.
    const QString strFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString strPath = strFolder + QStringLiteral("/demo.dat");
    if (!QFileInfo::exists(strPath) && QDir().mkpath(strFolder) && QFile::copy(strShipped, strPath))
        QFile::setPermissions(strPath, QFile::permissions(strPath) | QFileDevice::WriteOwner);
    return strPath;
}

bool CZTAppDevice::DemoReadImage()
{
    const QString strPath = DemoImagePath();
    std::unique_ptr<CProgress> pProgress = StartProgress(*this, kReadingImage, kBlocks);
    // A short file holds no image: reporting success would show stale values as the device's.
    CParamZT01 scratch;
    if (!ReadImageFile(strPath, scratch))
    {
        m_Failure = CFailure::FileError(CFailure::EStep::Read, strPath, m_strLastError);
        return false;
    }
    m_ParamEdit.CopyFrom(scratch, CParamZT01::kDemoBlock);
    SimulateTransfer(*pProgress, m_nDemoStepMs);
    m_nSensor = FindSensor(m_ParamEdit);
    if (m_Hooks.m_pfnPageExchange)
        m_Hooks.m_pfnPageExchange(false);
    return true;
}

bool CZTAppDevice::DemoWriteImage()
{
    const QString strPath = DemoImagePath();
    std::unique_ptr<CProgress> pProgress = StartProgress(*this, kWritingImage, kBlocks);
    if (!DemoSave(strPath, *pProgress))
    {
        m_Failure = CFailure::FileError(CFailure::EStep::Write, strPath, m_strLastError);
        return false;
    }
    m_nLastAcknowledged = CParamZT01::kImageSize - CFrameCodec::kBlockSize;
    return true;
}

bool CZTAppDevice::DemoSave(const QString& strPath, CProgress& progress)
{
    CImageFile file;
    if (!file.CheckRegular(strPath))
    {
        m_strLastError = file.m_strLastError;
        return false;
    }
    QFile current(strPath);
    if (current.exists())
    {
        const bool bWritable = current.permissions() & QFileDevice::WriteOwner;
        if (!bWritable || !current.open(QIODevice::ReadOnly) || !CFileLock::Lock(current))
        {
            m_strLastError = QStringLiteral("демонстрационный образ только для чтения или занят");
            return false;
        }
    }
    // The new image replaces demo.dat only once it is complete, so a failed write (a full disk)
    // leaves the old image whole.
    SimulateTransfer(progress, m_nDemoStepMs);
    if (!file.Save(strPath, m_ParamEdit))
    {
        m_strLastError = file.m_strLastError;
        return false;
    }
    return true;
}

bool CZTAppDevice::HeldImage(CParamZT01& image)
{
    image = m_ParamDevice;
    return !m_Port.m_bDemo || ReadImageFile(DemoImagePath(), image);
}

bool CZTAppDevice::SaveBackup(CImageBackup& backup)
{
    CParamZT01 current;
    if (!HeldImage(current))
    {
        backup.m_strLastError =
            QDir::toNativeSeparators(DemoImagePath()) + QStringLiteral(": ") + m_strLastError;
        return false;
    }
    return backup.Save(current, m_wVersion);
}
