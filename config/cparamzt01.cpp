#include "cparamzt01.h"

#include <cstring>

CParamZT01::CParamZT01()
{
    std::memset(Image(), 0, kImageSize);
    byOutRange = 5; // 4-20 mA
}

const CParamZT01::SOutRange& CParamZT01::OutRange(quint8 byCode)
{
    static constexpr SOutRange kRanges[] = {
        {0, 5, 140}, {0, 10, 140}, {-5, 5, 140}, {-10, 10, 140}, {4, 20, 141}, {4, 20, 141}, {0, 20, 141},
    };
    constexpr quint8 byLast = sizeof(kRanges) / sizeof(kRanges[0]) - 1;
    return kRanges[byCode < byLast ? byCode : byLast];
}

void CParamZT01::CopyRanges(const CParamZT01& src, const SRange* pRanges, std::size_t nRanges)
{
    for (std::size_t i = 0; i < nRanges; ++i)
        std::memcpy(Image() + pRanges[i].nOffset, src.Image() + pRanges[i].nOffset, pRanges[i].nSize);
}

bool CParamZT01::SameRanges(const CParamZT01& other, const SRange* pRanges, std::size_t nRanges) const
{
    for (std::size_t i = 0; i < nRanges; ++i)
        if (std::memcmp(Image() + pRanges[i].nOffset, other.Image() + pRanges[i].nOffset, pRanges[i].nSize) !=
            0)
            return false;
    return true;
}
