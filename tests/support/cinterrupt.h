#pragma once

#include <QtGlobal>

class QProcess;

// Ctrl+C as a terminal sends it: to the whole foreground process group of a program.
class CInterrupt
{
public:
    // Starts the process as the leader of a group of its own (call before start()).
    static void NewGroup(QProcess& process);
    static bool SendToGroup(qint64 nLeader);
    // The hang-up a closing terminal or ssh session sends to its foreground group.
    static bool HangUpGroup(qint64 nLeader);
};
