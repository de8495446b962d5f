#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class QSerialPort;

// The one serial port of the device link: 9600 baud, 8 data bits, no parity, 2 stop bits.
// Every operation blocks for at most its time-out. In demonstration mode it touches no port:
// opening records the name, writing and reading only wait, reads return 0x55 bytes.
class CSerialPort
{
public:
    CSerialPort();
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // What the system knows of a port besides its name; empty where it knows nothing.
    struct SPortInfo
    {
        QString strName;
        QString strLocation; // the device path
        QString strDescription;
        QString strManufacturer;
        QString strSerialNumber;
    };

    // strName as EnumPorts lists it (ttyUSB0, COM3) or, when it holds a "/", a path (relative to
    // the current folder unless it begins with "/").
    // "None" opens nothing and succeeds. On failure m_strError says which step failed and
    // m_strReason, where it can be found out, why.
    bool Open(const QString& strName);
    bool Close();
    // Sends exactly n bytes after discarding anything unread from an earlier exchange.
    bool Write(const void* pBuffer, int n);
    // Receives exactly n bytes; nReceived says how many arrived before the time-out. The first
    // read after a write drops an echo of that request (an adapter with local echo, a loopback
    // plug) and waits for the answer behind it.
    bool Read(void* pBuffer, int n, int& nReceived);
    // The last read found its request echoed back.
    bool LastReadEchoed() const { return m_bLastEchoed; }
    // Discards what arrives until the line has been quiet for nQuietMs (at most nMaxMs in all),
    // so that a late answer is not taken for the next request's; returns the bytes discarded.
    int Drain(int nQuietMs, int nMaxMs);
    // The line time of n characters in ms, rounded up.
    int LineTime(int n) const { return int((quint32(n) * 11000 + m_nBaudRate - 1) / m_nBaudRate); }
    static bool EnumPorts(QStringList& list);
    // What Open opens for strName: a path made absolute, or the bare name.
    static QString SystemLocation(const QString& strName);
    // The device behind strName, the same for every name of it (a link, another path); empty
    // when there is none (cserialport_unix.cpp, cserialport_win.cpp).
    static QString DeviceIdentity(const QString& strName);
    // Whether the open port has gone away, asked of the system now: an adapter pulled while
    // nothing was sent is otherwise noticed only by the next exchange. Sets m_bLost.
    bool IsLost();
    // The last failed Open failed because another program holds the port.
    bool IsBusy() const { return m_bBusy; }
    // The last failed Open found no such port (an adapter not plugged in, a link to nothing).
    bool IsMissing() const { return m_bMissing; }
    // The time-outs in ms: a read of n bytes waits the line time of n characters and 500 ms; the
    // write time-out, fixed by the first write after Open at its line time and 71 ms, 0 before.
    int ReadTimeout(int n) const { return int(quint32(n) * 11000 / m_nBaudRate + 500); }
    int WriteTimeout() const { return m_nWriteTimeout; }
    static bool EnumPortDetails(QList<SPortInfo>& list);
    QString GetPortName() const { return m_strPortName; }
    // Milliseconds since the last successful Open.
    qint64 Elapsed() const { return m_timerOpen.isValid() ? m_timerOpen.elapsed() : 0; }

    bool m_bOpen = false;
    std::unique_ptr<QSerialPort> m_hPort; // the open port; null when closed
    quint32 m_nBaudRate = 9600;           // enters the time-out formulas
    QString m_strError;                   // text of the last failed Open
    QString m_strReason;                  // why it failed, for the engineer; may be empty
    bool m_bLost = false;                 // the port went away (adapter unplugged) while open
    QString m_strPortName;                // name given to the last successful Open
    bool m_bDemo = false;                 // demonstration mode; set once at start-up

private:
    // The port was not opened: said in m_strError, with m_strReason in the traffic log.
    bool NotOpened(const QString& strName);
    // The port, open and set up, becomes this object's.
    bool Opened(std::unique_ptr<QSerialPort> pPort, const QString& strName);
    // Platform parts (cserialport_unix.cpp, cserialport_win.cpp).
    static bool LockExclusive(qintptr hNative);
    static bool EnableRtsToggle(qintptr hNative);
    static void WaitUntilSent(qintptr hNative);
    // The line is hung up or the device removed.
    static bool HungUp(qintptr hNative);
    // A lock file (LCK..name in the usual folders) names a live process: the port is that
    // program's, and strReason says which. A lock file whose process is gone is removed.
    static bool HeldByLockFile(const QString& strLocation, QString& strReason);
    // Finds out why strName cannot be opened; empty when nothing explains it.
    static QString FailureReason(const QString& strName, bool& bBusy);
    void CheckLost();
    // Drops what arrives while it is request, byte for byte, once the whole of it has come;
    // true when it did. An answer is never taken for an echo: a request ends with a line feed
    // where no answer holds one.
    bool SkipEcho(const QByteArray& request, const QDeadlineTimer& deadline);

    QElapsedTimer m_timerOpen;

    int m_nWriteTimeout = 0;   // ms; fixed by the first write after Open
    bool m_bManualRts = false; // RTS is raised around each write by the program
    bool m_bBusy = false;      // the last Open found the port held by another program
    bool m_bMissing = false;   // the last Open found no such port
    QByteArray m_request;      // the last request written, until a read has looked for its echo
    bool m_bLastEchoed = false;
    bool m_bEchoTold = false; // the traffic log has said that the line echoes
};
