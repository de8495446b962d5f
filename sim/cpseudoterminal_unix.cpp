#include "cpseudoterminal.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace
{
QString SystemError(const char* pszCall)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(pszCall), QString::fromLocal8Bit(std::strerror(errno)));
}
} // namespace

CPseudoTerminal::~CPseudoTerminal()
{
    Close();
}

bool CPseudoTerminal::Open()
{
    Close();
    char szName[256] = {};
    if (::openpty(&m_nMaster, &m_nSlave, szName, nullptr, nullptr) != 0)
    {
        m_strError = SystemError("openpty");
        return false;
    }
    // Raw from the start: an echoing line would send the answers back to the simulator.
    termios settings = {};
    if (::tcgetattr(m_nSlave, &settings) != 0)
    {
        m_strError = SystemError("tcgetattr");
        Close();
        return false;
    }
    ::cfmakeraw(&settings);
    if (::tcsetattr(m_nSlave, TCSANOW, &settings) != 0)
    {
        m_strError = SystemError("tcsetattr");
        Close();
        return false;
    }
    ::fcntl(m_nMaster, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_nSlave, F_SETFD, FD_CLOEXEC);
    m_strSlavePath = QString::fromLocal8Bit(szName);
    return true;
}

void CPseudoTerminal::Close()
{
    HangUp();
    m_strSlavePath.clear();
}

void CPseudoTerminal::HangUp()
{
    if (m_nMaster >= 0)
        ::close(m_nMaster);
    if (m_nSlave >= 0)
        ::close(m_nSlave);
    m_nMaster = m_nSlave = -1;
}

int CPseudoTerminal::Read(char* pBuffer, int nSize, int nTimeoutMs)
{
    pollfd pfd = {m_nMaster, POLLIN, 0};
    const int nReady = ::poll(&pfd, 1, nTimeoutMs);
    if (nReady < 0)
    {
        if (errno == EINTR)
            return 0;
        m_strError = SystemError("poll");
        return -1;
    }
    if (nReady == 0)
        return 0;
    const ssize_t nRead = ::read(m_nMaster, pBuffer, size_t(nSize));
    if (nRead < 0)
    {
        if (errno == EINTR || errno == EAGAIN)
            return 0;
        m_strError = SystemError("read");
        return -1;
    }
    return int(nRead);
}

bool CPseudoTerminal::SetSize(int nRows, int nColumns)
{
    struct winsize size = {};
    size.ws_row = static_cast<unsigned short>(nRows);
    size.ws_col = static_cast<unsigned short>(nColumns);
    if (::ioctl(m_nMaster, TIOCSWINSZ, &size) == 0)
        return true;
    m_strError = SystemError("TIOCSWINSZ");
    return false;
}

bool CPseudoTerminal::Write(const char* pBuffer, int nSize)
{
    while (nSize > 0)
    {
        const ssize_t nWritten = ::write(m_nMaster, pBuffer, size_t(nSize));
        if (nWritten < 0)
        {
            if (errno == EINTR)
                continue;
            m_strError = SystemError("write");
            return false;
        }
        pBuffer += nWritten;
        nSize -= int(nWritten);
    }
    return true;
}

void CPseudoTerminal::ReleaseStaleExclusive()
{
#if defined(TIOCGEXCL)
    int nExclusive = 0;
    if (m_nSlave < 0 || ::ioctl(m_nSlave, TIOCGEXCL, &nExclusive) != 0 || nExclusive == 0)
        return;
    if (::flock(m_nSlave, LOCK_EX | LOCK_NB) != 0)
        return; // its program is still there
    ::ioctl(m_nSlave, TIOCNXCL);
    ::flock(m_nSlave, LOCK_UN);
#endif
}

bool CPseudoTerminal::LineSettings(SLineSettings& settings)
{
    termios line = {};
    if (m_nSlave < 0 || ::tcgetattr(m_nSlave, &line) != 0)
    {
        m_strError = SystemError("tcgetattr");
        return false;
    }
    static const struct
    {
        speed_t nCode;
        int nBaud;
    } kSpeeds[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
                   {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    settings.nBaudRate = 0;
    for (const auto& speed : kSpeeds)
        if (::cfgetospeed(&line) == speed.nCode && ::cfgetispeed(&line) == speed.nCode)
            settings.nBaudRate = speed.nBaud;
    const tcflag_t nSize = line.c_cflag & CSIZE;
    settings.nDataBits = nSize == CS5 ? 5 : nSize == CS6 ? 6 : nSize == CS7 ? 7 : 8;
    settings.nStopBits = (line.c_cflag & CSTOPB) ? 2 : 1;
    settings.bParity = (line.c_cflag & PARENB) != 0;
    settings.bHardwareFlow = (line.c_cflag & CRTSCTS) != 0;
    settings.bSoftwareFlow = (line.c_iflag & (IXON | IXOFF)) != 0;
    settings.bRaw = !(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) && !(line.c_oflag & OPOST) &&
                    !(line.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP));
    int nExclusive = 0;
#if defined(TIOCGEXCL)
    ::ioctl(m_nSlave, TIOCGEXCL, &nExclusive);
#endif
    settings.bExclusive = nExclusive != 0;
    return true;
}
