#include "coutputcharacteristic.h"

#include "cparamzt01.h"
#include "cstringtable.h"
#include "cztappconfig.h"

#include <QtGlobal>

COutputCharacteristic COutputCharacteristic::Of(const CZTAppConfig& app, const CParamZT01& image)
{
    COutputCharacteristic line;
    line.fLowLimit = image.fLowLimit;
    line.fHighLimit = image.fHighLimit;
    line.fFail = image.fFailOutput;
    const CParamZT01::SOutRange& range = CParamZT01::OutRange(image.byOutRange);
    line.fOutLow = range.fLow;
    line.fOutHigh = range.fHigh;
    line.strOutputUnit = CStringTable::Load(range.nUnitId);
    const int nSensor = app.FindSensor(image);
    if (nSensor >= 0 && nSensor < app.m_Sensors.size())
    {
        const tagSTSENSORS& sensor = app.m_Sensors[nSensor];
        line.bSensorKnown = true;
        line.fSensorMin = sensor.fMin;
        line.fSensorMax = sensor.fMax;
        line.strSensor = sensor.strName;
        line.strInputUnit = sensor.strUnit;
    }
    return line;
}

float COutputCharacteristic::OutputAt(float fInput) const
{
    // Limits given the other way round make the output fall as the input rises.
    const float fSpan = fHighLimit - fLowLimit;
    if (fSpan == 0)
        return fInput < fLowLimit ? fOutLow : fOutHigh;
    const float fShare = qBound(0.0f, (fInput - fLowLimit) / fSpan, 1.0f);
    return fOutLow + fShare * (fOutHigh - fOutLow);
}
