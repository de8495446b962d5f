#pragma once

class CDeviceCommand;
class COptions;

// zint9 read: the versions and the image of one unit, its settings shown, the image saved with
// --out.
class CReadCommand
{
public:
    static int Run(CDeviceCommand& device, const COptions& options);
};
