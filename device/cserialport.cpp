#include "cserialport.h"

#include "clinelog.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QThread>

#include <cstring>
#include <utility>

namespace
{
QString FailureText(const char* pszFormat, const QString& strName)
{
    return QString::asprintf(pszFormat, strName.toUtf8().constData());
}
} // namespace

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort()
{
    if (m_bOpen)
        Close();
}

bool CSerialPort::NotOpened(const QString& strName)
{
    m_strError = FailureText("Ошибка oткрытия порта <%s>", strName);
    qCDebug(lcLine).noquote() << CLineLog::Line(
        0, '-', QStringLiteral("port %1 not opened: %2").arg(strName, m_strReason));
    return false;
}

bool CSerialPort::Open(const QString& strName)
{
    if (m_bDemo)
    {
        m_strPortName = strName;
        m_bOpen = true;
        return true;
    }
    if (strName == QLatin1String("None"))
        return true;
    if (m_bOpen)
        Close();
    m_strError.clear();
    m_strReason.clear();
    m_bBusy = false;
    m_bMissing = false;

    // Another program's lock file is respected and kept; the serial-port library would take one
    // in the classic form for stale once it is old, and delete it.
    if (HeldByLockFile(SystemLocation(strName), m_strReason))
    {
        m_bBusy = true;
        return NotOpened(strName);
    }
    auto pPort = std::make_unique<QSerialPort>();
    pPort->setPortName(SystemLocation(strName));
    // A port that another program holds is refused both by Qt's lock file and, for openers that
    // ignore lock files or run as root, by an exclusive lock on the device itself.
    if (!pPort->open(QIODevice::ReadWrite) || !LockExclusive(pPort->handle()))
    {
        const QString strQtError = pPort->errorString();
        m_bMissing = pPort->error() == QSerialPort::DeviceNotFoundError;
        pPort.reset(); // the probe below must not find this program holding the port
        m_strReason = FailureReason(SystemLocation(strName), m_bBusy);
        if (m_strReason.isEmpty() && !strQtError.isEmpty() && strQtError != QLatin1String("No error"))
            m_strReason = strQtError;
        return NotOpened(strName);
    }
    pPort->clear(QSerialPort::AllDirections);
    const bool bSet = pPort->setBaudRate(9600) && pPort->setDataBits(QSerialPort::Data8) &&
                      pPort->setParity(QSerialPort::NoParity) && pPort->setStopBits(QSerialPort::TwoStop) &&
                      pPort->setFlowControl(QSerialPort::NoFlowControl);
    if (!bSet)
    {
        m_strError = FailureText("Ошибка установки параметров порта <%s>", strName);
        return false;
    }
    // Modem lines do not exist on every kind of port (a pseudo-terminal has none): their
    // refusal is not a failure of the port.
    pPort->setDataTerminalReady(true);
    m_bManualRts = !EnableRtsToggle(pPort->handle()) && pPort->setRequestToSend(false);
    pPort->clearError();
    pPort->setReadBufferSize(4096);

    return Opened(std::move(pPort), strName);
}

bool CSerialPort::Opened(std::unique_ptr<QSerialPort> pPort, const QString& strName)
{
    m_hPort = std::move(pPort);
    m_nBaudRate = 9600;
    m_nWriteTimeout = 0;
    m_strPortName = strName;
    m_bOpen = true;
    m_bLost = false;
    m_bEchoTold = false;
    m_request.clear();
    m_timerOpen.start();
    qCDebug(lcLine).noquote() << CLineLog::Line(0, '-', QStringLiteral("port %1 opened").arg(strName));
    return true;
}

QString CSerialPort::SystemLocation(const QString& strName)
{
    // A name with a separator is a path, relative to the current folder as everywhere else; a
    // bare name is a port as the system lists it.
    if (!strName.contains(QLatin1Char('/')) || strName.startsWith(QLatin1Char('/')))
        return strName;
    return QFileInfo(strName).absoluteFilePath();
}

bool CSerialPort::Close()
{
    if (!m_bDemo && m_hPort)
    {
        qCDebug(lcLine).noquote() << CLineLog::Line(Elapsed(), '-', QStringLiteral("port closed"));
        m_hPort->close();
        m_hPort.reset();
    }
    m_strPortName.clear();
    m_bOpen = false;
    m_bLost = false;
    return true;
}

void CSerialPort::CheckLost()
{
    // An unplugged adapter (or a hung-up line) leaves nothing to wait for: later exchanges fail
    // at once instead of each waiting out its time-out.
    const QSerialPort::SerialPortError nError = m_hPort->error();
    if (m_bLost || (nError != QSerialPort::ResourceError && nError != QSerialPort::ReadError &&
                    nError != QSerialPort::WriteError))
        return;
    m_bLost = true;
    qCDebug(lcLine).noquote() << CLineLog::Line(Elapsed(), '-',
                                                QStringLiteral("port lost: %1").arg(m_hPort->errorString()));
}

bool CSerialPort::IsLost()
{
    if (m_bDemo || !m_hPort || m_bLost)
        return m_bLost;
    if (HungUp(m_hPort->handle()))
    {
        m_bLost = true;
        qCDebug(lcLine).noquote() << CLineLog::Line(Elapsed(), '-', QStringLiteral("port lost while idle"));
    }
    return m_bLost;
}

bool CSerialPort::Write(const void* pBuffer, int n)
{
    if (m_bDemo)
    {
        QThread::msleep(n / 2);
        return true;
    }
    if (!m_hPort || m_bLost)
        return false;
    // The first write after opening fixes the write time-out for the later ones.
    if (m_nWriteTimeout == 0)
        m_nWriteTimeout = int(quint32(n) * 11000 / m_nBaudRate + 71);
    const QDeadlineTimer deadline(m_nWriteTimeout);

    m_hPort->clear(QSerialPort::AllDirections);
    if (m_bManualRts)
        m_hPort->setRequestToSend(true);
    bool bWritten = m_hPort->write(static_cast<const char*>(pBuffer), n) == n;
    while (bWritten && m_hPort->bytesToWrite() > 0)
        bWritten = m_hPort->waitForBytesWritten(int(deadline.remainingTime()));
    if (m_bManualRts)
    {
        WaitUntilSent(m_hPort->handle());
        m_hPort->setRequestToSend(false);
    }
    if (!bWritten)
    {
        CheckLost();
        m_hPort->clear(QSerialPort::Output);
    }
    m_request = bWritten ? QByteArray(static_cast<const char*>(pBuffer), n) : QByteArray();
    return bWritten;
}

bool CSerialPort::Read(void* pBuffer, int n, int& nReceived)
{
    nReceived = 0;
    if (m_bDemo)
    {
        QThread::msleep(2 * n);
        std::memset(pBuffer, 0x55, n);
        nReceived = n;
        return true;
    }
    m_bLastEchoed = false;
    if (!m_hPort || m_bLost)
        return false;
    QDeadlineTimer deadline(ReadTimeout(n));
    if (!m_request.isEmpty() && SkipEcho(std::exchange(m_request, QByteArray()), deadline))
        deadline.setRemainingTime(ReadTimeout(n)); // the answer follows the echo
    while (m_hPort->bytesAvailable() < n && m_hPort->waitForReadyRead(int(deadline.remainingTime())))
    {
    }
    nReceived = int(m_hPort->read(static_cast<char*>(pBuffer), n));
    if (nReceived < 0)
        nReceived = 0;
    if (nReceived < n)
        CheckLost();
    return nReceived == n;
}

bool CSerialPort::SkipEcho(const QByteArray& request, const QDeadlineTimer& deadline)
{
    for (;;)
    {
        const QByteArray head = m_hPort->peek(request.size());
        if (!request.startsWith(head))
            return false;
        if (head.size() == request.size())
            break;
        if (!m_hPort->waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    m_hPort->skip(request.size());
    m_bLastEchoed = true;
    if (!m_bEchoTold)
        qCDebug(lcLine).noquote() << CLineLog::Line(
            Elapsed(), '-', QStringLiteral("the line echoes each request (adapter echo): echoes dropped"));
    m_bEchoTold = true;
    return true;
}

int CSerialPort::Drain(int nQuietMs, int nMaxMs)
{
    if (m_bDemo || !m_hPort || m_bLost)
        return 0;
    int nDiscarded = int(m_hPort->readAll().size());
    const QDeadlineTimer deadline(nMaxMs);
    while (!deadline.hasExpired() &&
           m_hPort->waitForReadyRead(int(qMin<qint64>(nQuietMs, deadline.remainingTime()))))
        nDiscarded += int(m_hPort->readAll().size());
    CheckLost();
    return nDiscarded;
}

bool CSerialPort::EnumPorts(QStringList& list)
{
    list.clear();
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        list.append(info.portName());
    return true;
}

bool CSerialPort::EnumPortDetails(QList<SPortInfo>& list)
{
    list.clear();
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        list.append({info.portName(), info.systemLocation(), info.description(), info.manufacturer(),
                     info.serialNumber()});
    return true;
}
