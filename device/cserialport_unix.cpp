#include "cserialport.h"

#if defined(__linux__)
#include <linux/serial.h>
#endif
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

bool CSerialPort::LockExclusive(qintptr hNative)
{
    return hNative >= 0 && ::flock(int(hNative), LOCK_EX | LOCK_NB) == 0;
}

bool CSerialPort::EnableRtsToggle(qintptr hNative)
{
#if defined(TIOCSRS485)
    // RS-485 mode: the driver raises RTS while it sends and drops it after the last bit.
    serial_rs485 rs485 = {};
    if (::ioctl(int(hNative), TIOCGRS485, &rs485) != 0)
        return false;
    rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    rs485.flags &= ~SER_RS485_RTS_AFTER_SEND;
    return ::ioctl(int(hNative), TIOCSRS485, &rs485) == 0;
#else
    (void)hNative;
    return false;
#endif
}

void CSerialPort::WaitUntilSent(qintptr hNative)
{
    ::tcdrain(int(hNative));
}
