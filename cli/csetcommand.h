#pragma once

#include <QString>

class CConsole;
class CDeviceCommand;
class COptions;
class CZTAppDevice;

// zint9 set: reads the unit, changes the settings given (a sensor from the catalogue, limits,
// failure output, cold junction, band, filter, DAC calibration) and writes it back.
class CSetCommand
{
public:
    static int Run(CDeviceCommand& device, const COptions& options);
    // --sensor, where given, into the working image from its file; false with the exit status
    // after saying why. The batch's check before any port is touched uses it too.
    static bool LoadSensor(CZTAppDevice& app, CConsole& console, const COptions& options, int& nExit);

private:
    // What the record names as the write's source: "set" with the settings given.
    static QString Source(const COptions& options);
    // The settings given, into the working image; false with the exit status after saying why.
    static bool ApplyChanges(CDeviceCommand& device, const COptions& options, int& nExit);
};
