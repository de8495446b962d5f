#include "cserialport.h"

#include <windows.h>

bool CSerialPort::LockExclusive(qintptr /*hNative*/)
{
    // Windows opens a communications device for one opener only.
    return true;
}

bool CSerialPort::EnableRtsToggle(qintptr hNative)
{
    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    const auto hPort = reinterpret_cast<HANDLE>(hNative);
    if (!GetCommState(hPort, &dcb))
        return false;
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    return SetCommState(hPort, &dcb) != 0;
}

void CSerialPort::WaitUntilSent(qintptr hNative)
{
    FlushFileBuffers(reinterpret_cast<HANDLE>(hNative));
}

bool CSerialPort::HungUp(qintptr hNative)
{
    // A removed device refuses even the question of its state.
    DWORD nErrors = 0;
    return ClearCommError(reinterpret_cast<HANDLE>(hNative), &nErrors, nullptr) == 0;
}

bool CSerialPort::HeldByLockFile(const QString& /*strLocation*/, QString& /*strReason*/)
{
    // Windows has no lock files: a port another program holds does not open.
    return false;
}

QString CSerialPort::DeviceIdentity(const QString& strName)
{
    // COM3, com3 and \\.\COM3 are one port.
    QString strPort = strName.toUpper();
    strPort.remove(QStringLiteral("\\\\.\\"));
    return strPort;
}

QString CSerialPort::FailureReason(const QString& /*strName*/, bool& bBusy)
{
    bBusy = false;
    // The serial-port library's own error text says it here.
    return QString();
}
