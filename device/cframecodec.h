#pragma once

#include <QtGlobal>

#include <utility>

// The wire format: frames travel as tetrad text (each byte as two letters G..V, a line feed at
// the end) and block frames carry two 16-bit check words seeded with the device's versions.
class CFrameCodec
{
public:
    static constexpr int kShortFrame = 18; // versions and read requests
    static constexpr int kLongFrame = 26;  // write requests and read answers
    static constexpr int kShortText = 2 * kShortFrame + 1;
    static constexpr int kLongText = 2 * kLongFrame + 1;
    static constexpr int kDataOffset = 14; // the 8 data bytes of a long frame
    static constexpr int kBlockSize = 8;

    // Writes the 2n + 1 characters of an n-byte frame; returns 2n + 1.
    static int EncodeFrame(const quint8* pBytes, int n, char* pText);
    // Decodes nCount characters into nCount / 2 bytes; 0 for no count or a missing buffer.
    static quint16 DecodeFrame(int nCount, const char* pText, quint8* pBytes);
    // Folds nWords little-endian words into the sums (A, B), starting from the seeds.
    static std::pair<quint16, quint16> FoldWords(const quint8* pBytes, int nWords, quint16 wSeedA,
                                                 quint16 wSeedB);
    // Stores the check words over the first n - 4 bytes in the last four.
    static void SealFrame(quint8* pFrame, int n, quint16 wVersion, quint16 wBootVersion);
    // True when all n / 2 words of the frame fold to zero.
    static bool CheckFrame(const quint8* pFrame, int n, quint16 wVersion, quint16 wBootVersion);

    // Requests, as byte frames; read and write requests are sealed.
    static void BuildVersionsRequest(quint8 (&frame)[kShortFrame]);
    static void BuildReadRequest(quint8 (&frame)[kShortFrame], quint32 nAddress, quint16 wVersion,
                                 quint16 wBootVersion);
    static void BuildWriteRequest(quint8 (&frame)[kLongFrame], quint32 nAddress, const quint8* pData,
                                  quint16 wVersion, quint16 wBootVersion);
};
