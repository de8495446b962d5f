#pragma once

#include <QString>

class CParamZT01;
class CZTAppConfig;

// What a unit's settings mean for its output: the output (mA or V, by its output range) against
// the input (the sensor's unit). Between the conversion limits it runs straight from the range's
// low end to its high end; beyond them it stays at the nearer end. On a sensor failure the output
// goes to the failure value. Widget-free: the wizard's window and the protocol draw it alike.
class COutputCharacteristic
{
public:
    // Of the settings in image, with its sensor from the catalogue where it is known.
    static COutputCharacteristic Of(const CZTAppConfig& app, const CParamZT01& image);
    // The output at an input.
    float OutputAt(float fInput) const;

    float fLowLimit = 0, fHighLimit = 0; // the conversion limits, in the input's unit
    float fOutLow = 0, fOutHigh = 0;     // the output range's ends
    float fFail = 0;                     // the output on a sensor failure
    bool bSensorKnown = false;           // the sensor's whole range is known
    float fSensorMin = 0, fSensorMax = 0;
    QString strSensor;     // the sensor's name; empty when it is not in the catalogue
    QString strInputUnit;  // the sensor's unit; empty when not known
    QString strOutputUnit; // «мА» or «В»
};
