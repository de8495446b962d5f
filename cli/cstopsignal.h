#pragma once

class QProcess;

// Ctrl+C (or a termination request) asks a batch to stop once the devices in hand are done.
class CStopSignal
{
public:
    // Catches the interrupt from now on (cstopsignal_unix.cpp, cstopsignal_win.cpp).
    static void Install();
    static bool Raised();
    // Keeps a worker out of the terminal's Ctrl+C: only the parent decides when a line stops.
    static void Detach(QProcess& process);
};
