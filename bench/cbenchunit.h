#pragma once

#include "cparamzt01.h"

#include <cstring>

// A unit of its own for the record's benchmarks: a device block and an image no other unit has.
inline CParamZT01 BenchUnit(int nUnit)
{
    CParamZT01 image;
    for (int i = 0; i < CParamZT01::kImageSize; ++i)
        image.Image()[i] = quint8(i * 31 + nUnit * 7 + (nUnit >> 8));
    std::memcpy(image.Image(), &nUnit, sizeof nUnit);
    return image;
}
