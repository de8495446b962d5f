#include "cframecodec.h"

#include <cstring>

namespace
{
void SetHeader(quint8* pFrame, quint8 byCommand0, quint8 byCommand1, quint32 nAddress)
{
    pFrame[0] = byCommand0;
    pFrame[1] = byCommand1;
    for (int i = 0; i < 4; ++i)
        pFrame[2 + i] = quint8(nAddress >> (8 * i));
}
} // namespace

int CFrameCodec::EncodeFrame(const quint8* pBytes, int n, char* pText)
{
    for (int i = 0; i < n; ++i)
    {
        pText[2 * i] = char(0x47 + (pBytes[i] >> 4));
        pText[2 * i + 1] = char(0x47 + (pBytes[i] & 0x0F));
    }
    pText[2 * n] = 0x0A;
    return 2 * n + 1;
}

quint16 CFrameCodec::DecodeFrame(int nCount, const char* pText, quint8* pBytes)
{
    if (nCount <= 0 || !pText || !pBytes)
        return 0;
    // No character is rejected: corruption is the check words' business.
    auto value = [](char ch) { return unsigned(static_cast<unsigned char>(ch) - 7) & 0x0F; };
    const int nBytes = nCount / 2;
    for (int i = 0; i < nBytes; ++i)
        pBytes[i] = quint8(value(pText[2 * i]) * 16 + value(pText[2 * i + 1]));
    return quint16(nBytes);
}

std::pair<quint16, quint16> CFrameCodec::FoldWords(const quint8* pBytes, int nWords, quint16 wSeedA,
                                                   quint16 wSeedB)
{
    quint16 wA = wSeedA;
    quint16 wB = wSeedB;
    for (int k = 0; k < nWords; ++k)
    {
        wA = quint16(wA + (pBytes[2 * k] | (pBytes[2 * k + 1] << 8)));
        wB = quint16(wB + wA);
    }
    return {wA, wB};
}

void CFrameCodec::SealFrame(quint8* pFrame, int n, quint16 wVersion, quint16 wBootVersion)
{
    const auto [wA, wB] = FoldWords(pFrame, (n - 4) / 2, wBootVersion, wVersion);
    const quint16 wX = quint16(-(wA + wB));
    const quint16 wY = wB;
    pFrame[n - 4] = quint8(wX);
    pFrame[n - 3] = quint8(wX >> 8);
    pFrame[n - 2] = quint8(wY);
    pFrame[n - 1] = quint8(wY >> 8);
}

bool CFrameCodec::CheckFrame(const quint8* pFrame, int n, quint16 wVersion, quint16 wBootVersion)
{
    const auto [wA, wB] = FoldWords(pFrame, n / 2, wBootVersion, wVersion);
    return wA == 0 && wB == 0;
}

void CFrameCodec::BuildVersionsRequest(quint8 (&frame)[kShortFrame])
{
    // Not sealed: the seeds come from this request's own answer.
    std::memset(frame, 0, sizeof(frame));
    SetHeader(frame, 0x00, 0x02, 0);
}

void CFrameCodec::BuildReadRequest(quint8 (&frame)[kShortFrame], quint32 nAddress, quint16 wVersion,
                                   quint16 wBootVersion)
{
    std::memset(frame, 0, sizeof(frame));
    SetHeader(frame, 0x00, 0x42, nAddress);
    SealFrame(frame, kShortFrame, wVersion, wBootVersion);
}

void CFrameCodec::BuildWriteRequest(quint8 (&frame)[kLongFrame], quint32 nAddress, const quint8* pData,
                                    quint16 wVersion, quint16 wBootVersion)
{
    std::memset(frame, 0, sizeof(frame));
    SetHeader(frame, 0x01, 0x02, nAddress);
    std::memcpy(frame + kDataOffset, pData, kBlockSize);
    SealFrame(frame, kLongFrame, wVersion, wBootVersion);
}
