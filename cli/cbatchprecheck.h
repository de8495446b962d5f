#pragma once

class CConsole;
class COptions;
class CWriteJournal;
class CZTAppDevice;

// What a batch is given, judged once before any port is touched: its ports, and the values its
// writes would take (the image file of write entirely, and of set what no device can change).
class CBatchPreCheck
{
public:
    // kSuccess, or the exit status with the reason printed.
    // pJournal, where given, knows the images torn writes left.
    static int Run(CZTAppDevice& app, CConsole& console, const COptions& options, CWriteJournal* pJournal);

private:
    // The ports: given, each once, and no device under two names.
    static int Ports(CConsole& console, const COptions& options);
};
