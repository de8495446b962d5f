#pragma once

class CDeviceCommand;
class COptions;
class CParamZT01;

// zint9 write: the settings and the sensor data of an image file (--in) into the unit; never
// its device block nor its DAC calibration.
class CWriteCommand
{
public:
    static int Run(CDeviceCommand& device, const COptions& options);
    // The file of --in, read and judged (its values, and whether a torn write left it); false
    // with the exit status after saying why. The batch's check before any port is touched uses
    // it too.
    static bool LoadSource(CDeviceCommand& device, const COptions& options, CParamZT01& source, int& nExit);
};
