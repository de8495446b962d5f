#include "cpseudoterminal.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
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
    if (m_nMaster >= 0)
        ::close(m_nMaster);
    if (m_nSlave >= 0)
        ::close(m_nSlave);
    m_nMaster = m_nSlave = -1;
    m_strSlavePath.clear();
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
