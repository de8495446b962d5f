#pragma once

#include <QString>

// A pseudo-terminal whose slave side a serial-port program opens as if it were a port.
class CPseudoTerminal
{
public:
    // The line as the program on the slave side has set it up.
    struct SLineSettings
    {
        int nBaudRate = 0; // 0 for a speed outside the usual ones
        int nDataBits = 0;
        int nStopBits = 0;
        bool bParity = false;
        bool bHardwareFlow = false; // RTS/CTS
        bool bSoftwareFlow = false; // XON/XOFF, either direction
        bool bRaw = false;          // no line editing, echo, signals or character translation
        bool bExclusive = false;    // another open is refused (TIOCEXCL)
    };

    CPseudoTerminal() = default;
    ~CPseudoTerminal();
    CPseudoTerminal(const CPseudoTerminal&) = delete;
    CPseudoTerminal& operator=(const CPseudoTerminal&) = delete;

    bool Open();
    void Close();
    // Closes both sides but keeps the slave's path: a host that holds it sees a hang-up.
    void HangUp();
    QString SlavePath() const { return m_strSlavePath; }
    // Waits at most nTimeoutMs for input; returns the bytes read, 0 on time-out, -1 on failure.
    int Read(char* pBuffer, int nSize, int nTimeoutMs);
    bool Write(const char* pBuffer, int nSize);
    // The window size a program on the slave side reads, as a terminal emulator sets it.
    bool SetSize(int nRows, int nColumns);
    bool LineSettings(SLineSettings& settings);
    // Ends an exclusive mode (TIOCEXCL) whose program has gone: on a real port it ends with the
    // program's last close, here the simulator's own hold on the line would keep it. A program is
    // taken to have gone when nobody holds the line's lock any more.
    void ReleaseStaleExclusive();

    QString m_strError;

private:
    int m_nMaster = -1;
    int m_nSlave = -1; // held open so that the line stays up between the host's opens
    QString m_strSlavePath;
};
