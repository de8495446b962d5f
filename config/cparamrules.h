#pragma once

#include "cuihooks.h"
#include "tagstsensors.h"

#include <QString>

// The rules that a write must pass, shared by the wizard and the command line: the checks of
// the parameters page and the ranges of the DAC calibration.
class CParamRules
{
public:
    // Control ids that a refused value points at.
    enum EField
    {
        kNoField = 0,
        kLowLimit = 1009,
        kHighLimit = 1010,
        kPeakBand = 1014,
        kFilterTime = 1015,
        kFailOutput = 1022,
        kDacLow = 1020,
        kDacHigh = 1021,
    };
    struct SValues
    {
        float fLowLimit = 0;
        float fHighLimit = 0;
        float fFailOutput = 0;
        float fPeakBand = 0;
        float fFilterTime = 0;
    };
    // The outcome of a check: bOk false means refused. A message may come with either.
    struct SVerdict
    {
        bool bOk = true;
        QString strText; // empty when there is nothing to say
        QString strCaption;
        EMsgIcon nIcon = EMsgIcon::Exclamation;
        int nField = kNoField;     // where the focus goes
        bool bBandCleared = false; // the band was too small and is switched off
    };
    struct SRange
    {
        float fMin;
        float fMax;
    };

    // The checks in their order; the first that fails decides. pSensor is null when the image's
    // sensor is not in the catalogue.
    static SVerdict Validate(const SValues& values, const tagSTSENSORS* pSensor, float fMaxFilterTime,
                             float fMaxBandPercent);
    // Allowed DAC calibrations for an output range.
    static SRange DacLowRange(quint8 byOutRange);
    static SRange DacHighRange(quint8 byOutRange);
    static SVerdict CheckDac(float fValue, const SRange& range, int nField);

    static QString NotANumberText() { return QStringLiteral("Please enter a number."); }
    static QString InvalidArgumentText() { return QStringLiteral("An invalid argument was encountered."); }
};
