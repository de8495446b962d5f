#include "cparamrules.h"

#include "cnumbertext.h"
#include "cparamzt01.h"
#include "cstringtable.h"

#include <algorithm>
#include <cmath>

namespace
{
CParamRules::SVerdict Refusal(int nStringId, double dValue1, double dValue2, int nField)
{
    CParamRules::SVerdict verdict;
    verdict.bOk = false;
    verdict.strText = CNumberText::Printf(CStringTable::Load(nStringId), dValue1, dValue2);
    verdict.strCaption = CStringTable::Load(107);
    verdict.nField = nField;
    return verdict;
}

float HalfSpan(const CParamZT01::SOutRange& range)
{
    return std::fabs(range.fHigh - range.fLow) * 50 / 100;
}
} // namespace

CParamRules::SVerdict CParamRules::Validate(const SValues& values, const tagSTSENSORS* pSensor,
                                            float fMaxFilterTime, float fMaxBandPercent)
{
    if (!pSensor)
    {
        SVerdict verdict;
        verdict.bOk = false;
        verdict.strText = InvalidArgumentText();
        verdict.strCaption = CStringTable::Load(57344);
        verdict.nIcon = EMsgIcon::Stop;
        return verdict;
    }
    const float fL = values.fLowLimit;
    const float fU = values.fHighLimit;
    if (fL < pSensor->fMin || fL > pSensor->fMax || fU < pSensor->fMin || fU > pSensor->fMax)
        return Refusal(106, pSensor->fMin, pSensor->fMax, kLowLimit); // the lower field in both cases
    if (values.fFilterTime < 0 || values.fFilterTime > fMaxFilterTime)
        return Refusal(158, fMaxFilterTime, 0, kFilterTime);
    if (values.fFailOutput > 24)
        return Refusal(159, 0, 0, kFailOutput);
    const float fSpan = std::fabs(fU - fL);
    const float fBand = values.fPeakBand;
    if (fBand > 0 && fBand < fSpan * 0.001f)
    {
        SVerdict verdict;
        verdict.strText = CStringTable::Load(160);
        verdict.strCaption = CStringTable::Load(107);
        verdict.bBandCleared = true;
        verdict.nField = kPeakBand;
        return verdict;
    }
    const float fMaxBand = std::fabs((fU - fL) * fMaxBandPercent / 100);
    if (fBand > fMaxBand)
        return Refusal(161, fMaxBand, 0, kPeakBand);
    return {};
}

CParamRules::SRange CParamRules::DacLowRange(quint8 byOutRange)
{
    const CParamZT01::SOutRange& range = CParamZT01::OutRange(byOutRange);
    const float fE = HalfSpan(range);
    // The bipolar ranges keep their negative low end: raising the bound to 0 would refuse the
    // very value an unset pair starts from.
    const bool bBipolar = range.fLow < 0;
    return {bBipolar ? range.fLow - fE : std::max(0.0f, range.fLow - fE), range.fLow + fE};
}

CParamRules::SRange CParamRules::DacHighRange(quint8 byOutRange)
{
    const CParamZT01::SOutRange& range = CParamZT01::OutRange(byOutRange);
    const float fE = HalfSpan(range);
    return {std::max(0.0f, range.fHigh - fE), range.fHigh + fE};
}

CParamRules::SVerdict CParamRules::CheckDac(float fValue, const SRange& range, int nField)
{
    if (fValue < range.fMin || fValue > range.fMax)
        return Refusal(105, range.fMin, range.fMax, nField);
    return {};
}
