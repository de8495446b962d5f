#pragma once

class QProcess;

// Ctrl+C, a termination request or a closed terminal asks a batch to stop once the devices in
// hand are done; a second one, to stop at once. A pipe or terminal that went away never kills
// the program: its writes fail.
class CStopSignal
{
public:
    // Catches the interrupt, termination and hang-up from now on, and ignores broken pipes
    // (cstopsignal_unix.cpp, cstopsignal_win.cpp).
    static void Install();
    static bool Raised() { return Count() > 0; }
    // How many stop requests have come.
    static int Count();
    // A write to a reader that has gone fails instead of ending the process.
    static void IgnoreBrokenPipe();
    // As many files as the system allows this process: a station opens several a port.
    static void RaiseFileLimit();
    // Keeps a worker out of the terminal's Ctrl+C: only the parent decides when a line stops.
    static void Detach(QProcess& process);
};
