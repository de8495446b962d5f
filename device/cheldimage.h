#pragma once

#include "cparamzt01.h"

// What a unit holds after a write that ended before its end, as far as is known: the written
// blocks up to the last one it acknowledged, its old ones after. A block sent without a good
// answer may be stored all the same; where it differs, which image the unit holds is unknown.
class CHeldImage
{
public:
    // nLastAcknowledged and nUnsure are block addresses, -1 for none. bPartial: the unit may
    // hold neither the old image nor the new.
    static CParamZT01 Of(const CParamZT01& before, const CParamZT01& written, int nLastAcknowledged,
                         int nUnsure, bool& bPartial);
    // Some block of the write may have reached the unit: one acknowledged, or a changed one sent.
    static bool Reached(const CParamZT01& before, const CParamZT01& written, int nLastAcknowledged,
                        int nUnsure);
    // The block at nAddress differs between the two images.
    static bool Differs(const CParamZT01& before, const CParamZT01& written, int nAddress);
};
