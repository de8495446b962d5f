#pragma once

class CConsole;
class COptions;
class CZTAppDevice;

// The values a batch's write would take, judged once before any port is touched: the image file
// of write entirely, and of set what no device can change.
class CBatchPreCheck
{
public:
    // kSuccess, or the exit status with the reason printed.
    static int Run(CZTAppDevice& app, CConsole& console, const COptions& options);
};
