#pragma once

class CConsole;

// zint9 ports: the serial ports with what the system knows of each.
class CPortsCommand
{
public:
    static int Run(CConsole& console, bool bJson);
};
