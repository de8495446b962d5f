#include "cheldimage.h"

#include <cstring>

bool CHeldImage::Differs(const CParamZT01& before, const CParamZT01& written, int nAddress)
{
    return nAddress >= 0 && nAddress <= CParamZT01::kImageSize - 8 &&
           std::memcmp(written.Image() + nAddress, before.Image() + nAddress, 8) != 0;
}

bool CHeldImage::Reached(const CParamZT01& before, const CParamZT01& written, int nLastAcknowledged,
                         int nUnsure)
{
    return nLastAcknowledged >= 0 || Differs(before, written, nUnsure);
}

CParamZT01 CHeldImage::Of(const CParamZT01& before, const CParamZT01& written, int nLastAcknowledged,
                          int nUnsure, bool& bPartial)
{
    const int nLast = qBound(-8, nLastAcknowledged, CParamZT01::kImageSize - 8);
    CParamZT01 held = written;
    const CParamZT01::SRange rest[] = {{nLast + 8, CParamZT01::kImageSize - nLast - 8}};
    held.CopyFrom(before, rest);
    // Cut after the last byte that changed, or before the first, the unit holds a whole image.
    auto same = [&held](const CParamZT01& image)
    { return std::memcmp(held.Image(), image.Image(), CParamZT01::kImageSize) == 0; };
    bPartial = Differs(before, written, nUnsure) || (!same(written) && !same(before));
    return held;
}
