#pragma once

#include "cfailure.h"
#include "cframecodec.h"

class CSerialPort;

// The block exchanges of one image transaction: the attempts and retries of each block, and
// what keeps a late answer from being taken for a later request. After a failed attempt, and
// after an answer that followed a retry, the line is drained before the next request; and once
// the unit is seen to echo the request's header in its read answers, an answer that names
// another block is a failed attempt; so is one that names the read command and another block,
// whatever was seen before. A unit that does not echo is taken at its word.
class CBlockExchange
{
public:
    enum class EWrite
    {
        Acknowledged,
        Refused, // the failure holds the versions the refusal carried
        Failed,
    };

    CBlockExchange(CSerialPort& port, quint16 wVersion, quint16 wBootVersion);

    // Reads the 8 bytes of the block at nAddress in at most two attempts.
    bool ReadBlock(quint32 nAddress, quint8* pData);
    // Writes the 8 bytes at pData to the block at nAddress while nAttempts (shared by the whole
    // image) lasts; a refusal is not retried.
    EWrite WriteBlock(quint32 nAddress, const quint8* pData, int& nAttempts);
    // Every block read so far came in an answer that named it: its data are that block's.
    bool AllEchoed() const { return m_bAllEchoed; }
    // Why the last block failed.
    const CFailure& Failure() const { return m_Failure; }

private:
    bool ReadAttempt(quint32 nAddress, const quint8 (&request)[CFrameCodec::kShortFrame], quint8* pData);
    EWrite WriteAttempt(quint32 nAddress, const char* pText);
    // Drains the line when the last exchange may have left an answer on its way, until it has
    // been quiet for the line time of nExchangeChars (a request and its answer).
    void SettleLine(int nExchangeChars);
    // A read that timed out: the unit said nothing, or only the request came back.
    CFailure::EReason NoAnswer(int nReceived) const;
    void Fail(CFailure::EStep nStep, CFailure::EReason nReason, quint32 nAddress, int nReceived = 0,
              int nExpected = 0);

    CSerialPort& m_Port;
    quint16 m_wVersion;
    quint16 m_wBootVersion;
    int m_nEcho = -1;          // the unit echoes the request's header: -1 not yet known, 0 no, 1 yes
    bool m_bUnsettled = false; // an answer may still be on the line
    bool m_bAllEchoed = true;
    CFailure m_Failure;
};
