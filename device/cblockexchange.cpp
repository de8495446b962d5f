#include "cblockexchange.h"

#include "clinelog.h"
#include "cserialport.h"

#include <cstring>

namespace
{
QString Block(const char* pszKind, quint32 nAddress)
{
    return QString::asprintf("%s 0x%04X", pszKind, unsigned(nAddress));
}

QString TimeOut(const QString& strRequest, int nReceived, int nExpected)
{
    return QStringLiteral("%1: time-out, %2 of %3 bytes").arg(strRequest).arg(nReceived).arg(nExpected);
}

// Bytes 0-5 of a request and of an answer that echoes it: the command and the block address.
constexpr int kHeaderSize = 6;

// A refusal, the longest answer to a write.
constexpr int kRefusalSize = 4;

// What a drained line waits beyond the line time, for the system's own delays.
constexpr int kDrainSlackMs = 20;

quint32 Address(const quint8* pFrame)
{
    return quint32(pFrame[2]) | quint32(pFrame[3]) << 8 | quint32(pFrame[4]) << 16 | quint32(pFrame[5]) << 24;
}
} // namespace

// A line of the traffic log; nothing is formatted while the log is off.
#define LOG_LINE(cDirection, strMeaning, raw)                                                                \
    qCDebug(lcLine).noquote() << CLineLog::Line(m_Port.Elapsed(), cDirection, strMeaning, raw)

CBlockExchange::CBlockExchange(CSerialPort& port, quint16 wVersion, quint16 wBootVersion)
    : m_Port(port), m_wVersion(wVersion), m_wBootVersion(wBootVersion)
{
}

void CBlockExchange::Fail(CFailure::EStep nStep, CFailure::EReason nReason, quint32 nAddress, int nReceived,
                          int nExpected)
{
    m_Failure = CFailure::At(nStep, nReason, int(nAddress));
    m_Failure.m_nReceived = nReceived;
    m_Failure.m_nExpected = nExpected;
}

CFailure::EReason CBlockExchange::NoAnswer(int nReceived) const
{
    return nReceived == 0 && m_Port.LastReadEchoed() ? CFailure::EReason::EchoOnly
                                                     : CFailure::EReason::TimeOut;
}

void CBlockExchange::SettleLine(int nExchangeChars)
{
    if (!m_bUnsettled)
        return;
    m_bUnsettled = false;
    // Quiet for as long as a request and its answer take on the line, and a little: a unit that
    // answered late may still be answering the retry that followed, and that answer comes only
    // after the whole request has reached it.
    const int nQuietMs = m_Port.LineTime(nExchangeChars) + kDrainSlackMs;
    const int nDiscarded = m_Port.Drain(nQuietMs, 2 * m_Port.ReadTimeout(CFrameCodec::kLongText));
    if (nDiscarded > 0)
        LOG_LINE('-', QStringLiteral("line drained: %1 bytes discarded").arg(nDiscarded), QByteArray());
}

bool CBlockExchange::ReadBlock(quint32 nAddress, quint8* pData)
{
    quint8 request[CFrameCodec::kShortFrame];
    CFrameCodec::BuildReadRequest(request, nAddress, m_wVersion, m_wBootVersion);
    // An unplugged adapter ends the transfer at once: no retry can reach the device.
    for (int nAttempt = 0; nAttempt < 2 && !m_Port.m_bLost; ++nAttempt)
    {
        if (nAttempt > 0)
            LOG_LINE('-', Block("read", nAddress) + QStringLiteral(": retry"), QByteArray());
        SettleLine(CFrameCodec::kShortText + CFrameCodec::kLongText);
        if (ReadAttempt(nAddress, request, pData))
        {
            m_bUnsettled = nAttempt > 0; // the first attempt's answer may still come
            return true;
        }
        m_bUnsettled = true;
    }
    if (m_Port.m_bLost)
        Fail(CFailure::EStep::Read, CFailure::EReason::PortLost, nAddress);
    return false;
}

bool CBlockExchange::ReadAttempt(quint32 nAddress, const quint8 (&request)[CFrameCodec::kShortFrame],
                                 quint8* pData)
{
    using EReason = CFailure::EReason;
    const CFailure::EStep nStep = CFailure::EStep::Read;
    char text[CFrameCodec::kShortText];
    CFrameCodec::EncodeFrame(request, CFrameCodec::kShortFrame, text);
    const bool bSent = m_Port.Write(text, CFrameCodec::kShortText);
    LOG_LINE('>', Block("read", nAddress) + QLatin1String(bSent ? "" : ": not sent"),
             CLineLog::Text(text, CFrameCodec::kShortText));
    if (!bSent)
    {
        Fail(nStep, EReason::NotSent, nAddress);
        return false;
    }
    char answerText[CFrameCodec::kLongText];
    int nReceived = 0;
    if (!m_Port.Read(answerText, CFrameCodec::kLongText, nReceived))
    {
        LOG_LINE('<', TimeOut(Block("read", nAddress), nReceived, CFrameCodec::kLongText),
                 CLineLog::Text(answerText, nReceived));
        Fail(nStep, NoAnswer(nReceived), nAddress, nReceived, CFrameCodec::kLongText);
        return false;
    }
    quint8 answer[CFrameCodec::kLongFrame];
    const bool bChecked =
        CFrameCodec::DecodeFrame(CFrameCodec::kLongText - 1, answerText, answer) == CFrameCodec::kLongFrame &&
        CFrameCodec::CheckFrame(answer, CFrameCodec::kLongFrame, m_wVersion, m_wBootVersion);
    const bool bEchoed = bChecked && std::memcmp(answer, request, kHeaderSize) == 0;
    // An answer that names the read command and another block is another block's, the first
    // included: a stale answer left on the line must never become this block's data. One
    // that names no command is taken, unless the unit is known to echo the header.
    const bool bOtherRead = bChecked && !bEchoed && std::memcmp(answer, request, 2) == 0;
    if (bChecked && !bOtherRead && m_nEcho < 0)
        m_nEcho = bEchoed ? 1 : 0;
    const bool bWrongBlock = bChecked && !bEchoed && (bOtherRead || m_nEcho == 1);
    LOG_LINE('<',
             Block("read", nAddress) + (!bChecked     ? QStringLiteral(": check word wrong")
                                        : bWrongBlock ? QString::asprintf(": answer for 0x%04X, not taken",
                                                                          unsigned(Address(answer)))
                                                      : QStringLiteral(": check word accepted")),
             CLineLog::Text(answerText, nReceived));
    if (!bChecked || bWrongBlock)
    {
        Fail(nStep, bChecked ? EReason::WrongBlock : EReason::CheckWord, nAddress);
        m_Failure.m_nAnswerAddress = bChecked ? int(Address(answer)) : -1;
        return false;
    }
    std::memcpy(pData, answer + CFrameCodec::kDataOffset, CFrameCodec::kBlockSize);
    m_bAllEchoed = m_bAllEchoed && bEchoed;
    return true;
}

CBlockExchange::EWrite CBlockExchange::WriteBlock(quint32 nAddress, const quint8* pData, int& nAttempts)
{
    quint8 request[CFrameCodec::kLongFrame];
    char text[CFrameCodec::kLongText];
    CFrameCodec::BuildWriteRequest(request, nAddress, pData, m_wVersion, m_wBootVersion);
    CFrameCodec::EncodeFrame(request, CFrameCodec::kLongFrame, text);
    bool bRetried = false;
    // An unplugged adapter ends the transfer at once: no retry can reach the device.
    while (nAttempts > 0 && !m_Port.m_bLost)
    {
        SettleLine(CFrameCodec::kLongText + kRefusalSize);
        const EWrite nResult = WriteAttempt(nAddress, text);
        if (nResult != EWrite::Failed)
        {
            m_bUnsettled = bRetried; // the first attempt's acknowledgement may still come
            return nResult;
        }
        m_bUnsettled = true;
        bRetried = true;
        if (--nAttempts > 0 && !m_Port.m_bLost)
            LOG_LINE('-', Block("write", nAddress) + QStringLiteral(": retry (the last one of this image)"),
                     QByteArray());
    }
    if (m_Port.m_bLost)
        Fail(CFailure::EStep::Write, CFailure::EReason::PortLost, nAddress);
    return EWrite::Failed;
}

CBlockExchange::EWrite CBlockExchange::WriteAttempt(quint32 nAddress, const char* pText)
{
    using EReason = CFailure::EReason;
    const CFailure::EStep nStep = CFailure::EStep::Write;
    const bool bSent = m_Port.Write(pText, CFrameCodec::kLongText);
    LOG_LINE('>', Block("write", nAddress) + QLatin1String(bSent ? "" : ": not sent"),
             CLineLog::Text(pText, CFrameCodec::kLongText));
    if (!bSent)
    {
        Fail(nStep, EReason::NotSent, nAddress);
        return EWrite::Failed;
    }
    quint8 answer[4] = {};
    int nReceived = 0;
    if (!m_Port.Read(answer, 1, nReceived))
    {
        LOG_LINE('<', TimeOut(Block("write", nAddress), 0, 1), QByteArray());
        Fail(nStep, NoAnswer(0), nAddress, 0, 1);
        return EWrite::Failed;
    }
    if (answer[0] == 0x55)
    {
        LOG_LINE('<', Block("write", nAddress) + QStringLiteral(": acknowledged"), CLineLog::Hex(answer, 1));
        return EWrite::Acknowledged;
    }
    const bool bRefused = m_Port.Read(answer + 1, 3, nReceived);
    LOG_LINE('<',
             bRefused
                 ? Block("write", nAddress) + QString::asprintf(": refused, versions 0x%02X%02X 0x%02X%02X",
                                                                answer[0], answer[1], answer[2], answer[3])
                 : TimeOut(Block("write", nAddress), 1 + nReceived, 4),
             CLineLog::Hex(answer, 1 + nReceived));
    if (!bRefused)
    {
        Fail(nStep, EReason::TimeOut, nAddress, 1 + nReceived, 4);
        return EWrite::Failed;
    }
    Fail(nStep, EReason::Refused, nAddress);
    m_Failure.m_wVersion = quint16(answer[0] << 8 | answer[1]);
    m_Failure.m_wBootVersion = quint16(answer[2] << 8 | answer[3]);
    return EWrite::Refused;
}
