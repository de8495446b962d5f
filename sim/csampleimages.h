#pragma once

#include "cparamzt01.h"

#include <QByteArray>

// The sample data shipped beside the program: the sensor catalogue and the images of the
// built-in sensors, and a complete demonstration image. They are made here, deterministically,
// never edited by hand. They are samples, not any device's factory data.
class CSampleImages
{
public:
    static constexpr int kSensors = 5;

    // Sensors.dat in Windows-1251 with CR LF line ends.
    static QByteArray Catalogue();
    // Image of built-in sensor nSensor (0 to 4): its sensor block set, the device block erased.
    static CParamZT01 SensorImage(int nSensor);
    static const char* SensorFileName(int nSensor);
    // A complete image of a transmitter with a K thermocouple and set DAC calibrations.
    static CParamZT01 DemoImage();
};
