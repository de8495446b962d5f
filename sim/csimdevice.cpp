#include "csimdevice.h"

#include "cframecodec.h"
#include "csampleimages.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstring>

namespace
{
// Bytes 6 to 13 of every request.
constexpr int kReservedOffset = 6;
constexpr int kReservedSize = 8;
} // namespace

CSimDevice::CSimDevice() : m_image(CSampleImages::DemoImage()) {}

bool CSimDevice::UseEepromFile(const QString& strPath)
{
    m_strEepromPath = strPath;
    QFile file(strPath);
    if (!file.exists())
        return SaveEeprom();
    if (!file.open(QIODevice::ReadOnly))
    {
        m_strError = QStringLiteral("cannot read %1: %2").arg(strPath, file.errorString());
        return false;
    }
    const QByteArray content = file.read(CParamZT01::kImageSize + 1);
    if (content.size() != CParamZT01::kImageSize)
    {
        m_strError = QStringLiteral("%1 is not a 512-byte EEPROM image").arg(strPath);
        return false;
    }
    std::memcpy(m_image.Image(), content.constData(), CParamZT01::kImageSize);
    return true;
}

void CSimDevice::SetImage(const CParamZT01& image)
{
    m_image = image;
    SaveEeprom();
}

void CSimDevice::SetVersions(quint16 wVersion, quint16 wBootVersion)
{
    m_wVersion = wVersion;
    m_wBootVersion = wBootVersion;
}

void CSimDevice::SetRefusalVersions(quint16 wVersion, quint16 wBootVersion)
{
    m_wRefusalVersion = wVersion;
    m_wRefusalBootVersion = wBootVersion;
}

bool CSimDevice::SaveEeprom()
{
    if (m_strEepromPath.isEmpty())
        return true;
    QSaveFile file(m_strEepromPath);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(m_image.Image()), CParamZT01::kImageSize) !=
            CParamZT01::kImageSize ||
        !file.commit())
    {
        m_strError = QStringLiteral("cannot write %1: %2").arg(m_strEepromPath, file.errorString());
        return false;
    }
    return true;
}

const CSimDevice::SFault* CSimDevice::FaultFires(EFault nKind, ERequest nRequest, int nBlock, int nExchange)
{
    for (SFault& fault : m_faults)
    {
        if (fault.nKind != nKind || fault.nCount == 0 || nExchange < fault.nFromExchange)
            continue;
        if (fault.nOn != ERequest::Any && fault.nOn != nRequest)
            continue;
        if (fault.nBlock >= 0 && fault.nBlock != nBlock)
            continue;
        if (fault.nCount > 0)
            --fault.nCount;
        return &fault;
    }
    return nullptr;
}

void CSimDevice::SetUnit(int nSeed)
{
    quint32 nState = quint32(nSeed) * 2654435761u + 1;
    for (const CParamZT01::SRange& range : CParamZT01::kDeviceBlock)
        for (int i = range.nOffset; i < range.nOffset + range.nSize; ++i)
        {
            nState = nState * 1103515245u + 12345u;
            m_image.Image()[i] = quint8(nState >> 16);
        }
    SaveEeprom();
}

QByteArray CSimDevice::VersionsAnswer(quint16 wVersion, quint16 wBootVersion) const
{
    QByteArray answer(4, 0);
    answer[0] = char(wVersion >> 8);
    answer[1] = char(wVersion);
    answer[2] = char(wBootVersion >> 8);
    answer[3] = char(wBootVersion);
    return answer;
}

QByteArray CSimDevice::ReadAnswer(const quint8* pRequest, quint32 nAddress, bool bBadCheck) const
{
    // The unit echoes the request's header before the block's data, or where bare sends zeros.
    quint8 reply[CFrameCodec::kLongFrame] = {};
    if (!m_bBare)
    {
        std::memcpy(reply, pRequest, CFrameCodec::kDataOffset);
        for (int i = 0; i < 4; ++i)
            reply[2 + i] = quint8(nAddress >> (8 * i));
    }
    std::memcpy(reply + CFrameCodec::kDataOffset, m_image.Image() + nAddress, CFrameCodec::kBlockSize);
    CFrameCodec::SealFrame(reply, CFrameCodec::kLongFrame, m_wVersion, m_wBootVersion);
    if (bBadCheck)
        reply[CFrameCodec::kLongFrame - 1] ^= 0x01;
    char text[CFrameCodec::kLongText];
    CFrameCodec::EncodeFrame(reply, CFrameCodec::kLongFrame, text);
    return QByteArray(text, CFrameCodec::kLongText);
}

quint32 CSimDevice::AnsweredAddress(quint32 nAddress, const SFault* pOther) const
{
    if (!pOther)
        return nAddress;
    const int nBlock =
        pOther->nOtherBlock >= 0 ? pOther->nOtherBlock : int(nAddress) / CFrameCodec::kBlockSize + 1;
    return quint32(nBlock % (CParamZT01::kImageSize / CFrameCodec::kBlockSize)) * CFrameCodec::kBlockSize;
}

QByteArray CSimDevice::Answer(const QByteArray& line)
{
    const int nExchange = m_nExchanges;
    quint8 frame[CFrameCodec::kLongFrame] = {};
    const int nBytes = CFrameCodec::DecodeFrame(int(line.size()), line.constData(), frame);
    // Not a request (a real device ignores line noise too): a line of another length, which also
    // catches a line end other than a lone line feed, or non-zero reserved bytes.
    if ((nBytes != CFrameCodec::kShortFrame && nBytes != CFrameCodec::kLongFrame) ||
        line.size() != 2 * nBytes)
        return {};
    if (std::any_of(frame + kReservedOffset, frame + kReservedOffset + kReservedSize,
                    [](quint8 by) { return by != 0; }))
        return {};
    const quint32 nAddress =
        quint32(frame[2]) | quint32(frame[3]) << 8 | quint32(frame[4]) << 16 | quint32(frame[5]) << 24;
    const bool bVersions = nBytes == CFrameCodec::kShortFrame && frame[0] == 0x00 && frame[1] == 0x02;
    const bool bRead = nBytes == CFrameCodec::kShortFrame && frame[0] == 0x00 && frame[1] == 0x42;
    const bool bWrite = nBytes == CFrameCodec::kLongFrame && frame[0] == 0x01 && frame[1] == 0x02;
    if (!bVersions && !bRead && !bWrite)
        return {};
    // A block request sealed with other versions than the device's is not for this device.
    if (!bVersions && !CFrameCodec::CheckFrame(frame, nBytes, m_wVersion, m_wBootVersion))
        return {};
    if (!bVersions && (nAddress % CFrameCodec::kBlockSize != 0 || nAddress >= CParamZT01::kImageSize))
        return {};
    m_nExchanges = nExchange + 1;
    const int nBlock = bVersions ? -1 : int(nAddress / CFrameCodec::kBlockSize);
    const ERequest nRequest = bVersions ? ERequest::Versions : bRead ? ERequest::Read : ERequest::Write;
    return Respond(nRequest, frame, nAddress,
                   [&](EFault nKind) { return FaultFires(nKind, nRequest, nBlock, nExchange); });
}

QByteArray CSimDevice::Respond(ERequest nRequest, const quint8* pFrame, quint32 nAddress,
                               const std::function<const SFault*(EFault)>& fires)
{
    m_delivery.bEcho = fires(EFault::Echo) != nullptr; // the adapter's, whatever the unit does
    if (fires(EFault::NoAnswer))
        return {};
    if (fires(EFault::HangUp))
    {
        m_bHangUp = true;
        return {};
    }
    QByteArray answer;
    if (nRequest == ERequest::Versions)
        answer = VersionsAnswer(m_wVersion, m_wBootVersion);
    else if (nRequest == ERequest::Read)
        answer = ReadAnswer(pFrame, AnsweredAddress(nAddress, fires(EFault::OtherBlock)),
                            fires(EFault::BadCheck) != nullptr);
    else if (fires(EFault::Refusal))
    {
        answer = VersionsAnswer(m_wRefusalVersion, m_wRefusalBootVersion);
        if (quint8(answer[0]) == 0x55) // 0x55 would read as an acknowledgement
            answer[0] = char(0x54);
    }
    else
    {
        std::memcpy(m_image.Image() + nAddress, pFrame + CFrameCodec::kDataOffset, CFrameCodec::kBlockSize);
        if (const SFault* pCorrupt = fires(EFault::CorruptStore))
        {
            if (pCorrupt->pattern.size() == CFrameCodec::kBlockSize)
                std::memcpy(m_image.Image() + nAddress, pCorrupt->pattern.constData(), CFrameCodec::kBlockSize);
            else
                m_image.Image()[nAddress + quint32(pCorrupt->nByte & 7)] ^= 0x01;
        }
        SaveEeprom();
        if (fires(EFault::Unacknowledged))
            return {};
        answer = QByteArray(1, char(0x55));
    }
    if (fires(EFault::Truncated))
        answer.truncate(answer.size() / 2);
    if (const SFault* pLate = fires(EFault::Late))
        m_delivery.nDelayMs = pLate->nDelayMs >= 0 ? pLate->nDelayMs : 600;
    if (const SFault* pTwice = fires(EFault::Twice))
        m_delivery.nRepeatAfterMs = pTwice->nDelayMs >= 0 ? pTwice->nDelayMs : 30;
    return answer;
}
