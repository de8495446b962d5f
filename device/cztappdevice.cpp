#include "cztappdevice.h"

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

#include <cstring>

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

std::unique_ptr<CProgress> StartProgress(const CZTAppDevice& app, const QString& strText, int nMax)
{
    std::unique_ptr<CProgress> pProgress = app.CreateProgress();
    pProgress->SetText(strText);
    pProgress->SetRange(0, nMax);
    pProgress->SetStep(1);
    pProgress->SetPos(0);
    return pProgress;
}

QString Block(const char* pszKind, quint32 nAddress)
{
    return QString::asprintf("%s 0x%04X", pszKind, unsigned(nAddress));
}

QString TimeOut(const QString& strRequest, int nReceived, int nExpected)
{
    return QStringLiteral("%1: time-out, %2 of %3 bytes").arg(strRequest).arg(nReceived).arg(nExpected);
}

const QString kReadingImage = QStringLiteral("Чтение образа EEPROM прибора...");
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
    std::unique_ptr<CProgress> pProgress =
        StartProgress(*this, QStringLiteral("Чтение версий прибора и загрузчика..."), 100);
    quint8 frame[CFrameCodec::kShortFrame];
    char text[CFrameCodec::kShortText];
    CFrameCodec::BuildVersionsRequest(frame);
    CFrameCodec::EncodeFrame(frame, CFrameCodec::kShortFrame, text);
    pProgress->SetPos(10);

    quint8 answer[4] = {};
    int nReceived = 0;
    bool bResult = m_Port.Write(text, CFrameCodec::kShortText);
    LOG_LINE('>', QLatin1String(bResult ? "versions" : "versions: not sent"),
             CLineLog::Text(text, CFrameCodec::kShortText));
    if (bResult)
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
        if (m_Port.m_bDemo)
        {
            m_wVersion = 0x1555;
            m_wBootVersion = 0x0008;
        }
        else
        {
            m_wVersion = quint16(answer[0] << 8 | answer[1]);
            m_wBootVersion = quint16(answer[2] << 8 | answer[3]);
        }
    }
    pProgress->SetPos(100);
    QThread::msleep(50);
    return bResult;
}

bool CZTAppDevice::ReadImage(CParamZT01& destination)
{
    if (m_Port.m_bDemo)
        return DemoReadImage();
    std::unique_ptr<CProgress> pProgress = StartProgress(*this, kReadingImage, kBlocks);
    for (int k = 0; k < kBlocks; ++k)
    {
        const quint32 nAddress = quint32(k * CFrameCodec::kBlockSize);
        quint8 request[CFrameCodec::kShortFrame];
        char text[CFrameCodec::kShortText];
        CFrameCodec::BuildReadRequest(request, nAddress, m_wVersion, m_wBootVersion);
        CFrameCodec::EncodeFrame(request, CFrameCodec::kShortFrame, text);

        quint8 answer[CFrameCodec::kLongFrame];
        bool bAccepted = false;
        // An unplugged adapter ends the transfer at once: no retry can reach the device.
        for (int nAttempt = 0; nAttempt < 2 && !bAccepted && !m_Port.m_bLost; ++nAttempt)
        {
            if (nAttempt > 0)
                LOG_LINE('-', Block("read", nAddress) + QStringLiteral(": retry"), QByteArray());
            char answerText[CFrameCodec::kLongText];
            int nReceived = 0;
            const bool bSent = m_Port.Write(text, CFrameCodec::kShortText);
            LOG_LINE('>', Block("read", nAddress) + QLatin1String(bSent ? "" : ": not sent"),
                     CLineLog::Text(text, CFrameCodec::kShortText));
            if (!bSent)
                continue;
            if (!m_Port.Read(answerText, CFrameCodec::kLongText, nReceived))
            {
                LOG_LINE('<', TimeOut(Block("read", nAddress), nReceived, CFrameCodec::kLongText),
                         CLineLog::Text(answerText, nReceived));
                continue;
            }
            bAccepted = CFrameCodec::DecodeFrame(CFrameCodec::kLongText - 1, answerText, answer) ==
                            CFrameCodec::kLongFrame &&
                        CFrameCodec::CheckFrame(answer, CFrameCodec::kLongFrame, m_wVersion, m_wBootVersion);
            LOG_LINE('<',
                     Block("read", nAddress) +
                         QLatin1String(bAccepted ? ": check word accepted" : ": check word wrong"),
                     CLineLog::Text(answerText, nReceived));
        }
        if (!bAccepted)
            return false;
        std::memcpy(destination.Image() + nAddress, answer + CFrameCodec::kDataOffset,
                    CFrameCodec::kBlockSize);
        pProgress->StepIt();
    }
    m_ParamEdit = m_ParamDevice;
    m_nSensor = FindSensor(m_ParamEdit);
    if (m_Hooks.m_pfnPageExchange)
        m_Hooks.m_pfnPageExchange(false);
    return true;
}

bool CZTAppDevice::WriteImage(const CParamZT01& source)
{
    if (m_Port.m_bDemo)
        return DemoWriteImage();
    std::unique_ptr<CProgress> pProgress = StartProgress(*this, kWritingImage, kBlocks);
    if (!m_Hooks.m_pfnPageExchange || !m_Hooks.m_pfnPageExchange(true))
        return false;

    int nAttempts = 2; // for the whole image: one failed exchange is tolerated
    for (int k = 0; k < kBlocks; ++k)
    {
        const quint32 nAddress = quint32(k * CFrameCodec::kBlockSize);
        quint8 request[CFrameCodec::kLongFrame];
        char text[CFrameCodec::kLongText];
        CFrameCodec::BuildWriteRequest(request, nAddress, source.Image() + nAddress, m_wVersion,
                                       m_wBootVersion);
        CFrameCodec::EncodeFrame(request, CFrameCodec::kLongFrame, text);

        bool bAcknowledged = false;
        // An unplugged adapter ends the transfer at once: no retry can reach the device.
        while (!bAcknowledged && nAttempts > 0 && !m_Port.m_bLost)
        {
            quint8 answer[4] = {};
            int nReceived = 0;
            const bool bSent = m_Port.Write(text, CFrameCodec::kLongText);
            LOG_LINE('>', Block("write", nAddress) + QLatin1String(bSent ? "" : ": not sent"),
                     CLineLog::Text(text, CFrameCodec::kLongText));
            if (bSent && !m_Port.Read(answer, 1, nReceived))
            {
                LOG_LINE('<', TimeOut(Block("write", nAddress), 0, 1), QByteArray());
            }
            else if (bSent)
            {
                if (answer[0] == 0x55)
                {
                    LOG_LINE('<', Block("write", nAddress) + QStringLiteral(": acknowledged"),
                             CLineLog::Hex(answer, 1));
                    bAcknowledged = true;
                    continue;
                }
                const bool bRefused = m_Port.Read(answer + 1, 3, nReceived);
                LOG_LINE('<',
                         bRefused ? Block("write", nAddress) +
                                        QString::asprintf(": refused, versions 0x%02X%02X 0x%02X%02X",
                                                          answer[0], answer[1], answer[2], answer[3])
                                  : TimeOut(Block("write", nAddress), 1 + nReceived, 4),
                         CLineLog::Hex(answer, 1 + nReceived));
                if (bRefused)
                {
                    m_wVersion = quint16(answer[0] << 8 | answer[1]);
                    m_wBootVersion = quint16(answer[2] << 8 | answer[3]);
                    ShowMessage(QString::asprintf("Ошибка записи параметров!\nВерсия прибора: 0x%04X. "
                                                  "Версия загрузчика:0x %04X.",
                                                  unsigned(m_wVersion), unsigned(m_wBootVersion)),
                                CStringTable::Load(57344), EMsgIcon::Stop);
                    return false;
                }
            }
            if (--nAttempts > 0 && !m_Port.m_bLost)
                LOG_LINE('-',
                         Block("write", nAddress) + QStringLiteral(": retry (the last one of this image)"),
                         QByteArray());
        }
        if (!bAcknowledged)
            return false;
        pProgress->StepIt();
    }
    return true;
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
        return false;
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
    SimulateTransfer(*pProgress, m_nDemoStepMs);
    if (!file.Save(strPath, m_ParamEdit))
    {
        m_strLastError = file.m_strLastError;
        return false;
    }
    return true;
}

bool CZTAppDevice::SaveBackup(CImageBackup& backup)
{
    // What the device holds now: in demonstration mode that is demo.dat as it is before the write.
    CParamZT01 current = m_ParamDevice;
    if (m_Port.m_bDemo && !ReadImageFile(DemoImagePath(), current))
    {
        backup.m_strLastError =
            QDir::toNativeSeparators(DemoImagePath()) + QStringLiteral(": ") + m_strLastError;
        return false;
    }
    return backup.Save(current, m_wVersion);
}
