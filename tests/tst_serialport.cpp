#include "cframecodec.h"
#include "cquicktry.h"
#include "cserialport.h"
#include "csimulator.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

class TestSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_sim.Stop(); }
    void openNone();
    void openAndClose();
    void openMissingPort();
    void openByPath_data();
    void openByPath();
    void exclusiveOpen();
    void classicLockFile_data();
    void classicLockFile();
    void secondOpenClosesFirst();
    void lineSettings();
    void readTimeouts_data();
    void readTimeouts();
    void silentLineTimesOut();
    void writeTimesOut();
    void simulatorRefuses_data();
    void simulatorRefuses();
    void exchange();
    void closedPort();
    void demoMode_data();
    void demoMode();
    void enumPorts();

private:
    CSimulator m_sim;
    CSimulator m_silent; // a line with nothing on it: requests are not understood
};

void TestSerialPort::initTestCase()
{
    QVERIFY2(m_sim.Start(), qPrintable(m_sim.m_strError));
    QVERIFY2(m_silent.Start(), qPrintable(m_silent.m_strError));
    m_silent.WithDevice(
        [](CSimDevice& device)
        {
            CSimDevice::SFault fault;
            fault.nCount = -1;
            device.AddFault(fault);
        });
}

void TestSerialPort::openNone()
{
    CSerialPort port;
    QVERIFY(port.Open("None"));
    QVERIFY(!port.m_bOpen);
    QVERIFY(port.GetPortName().isEmpty());
    QVERIFY(!port.Write("x", 1));
    // Open with "None" changes nothing, even while a port is open.
    QVERIFY(port.Open(m_sim.SlavePath()));
    QVERIFY(port.Open("None"));
    QVERIFY(port.m_bOpen);
    QCOMPARE(port.GetPortName(), m_sim.SlavePath());
}

void TestSerialPort::openAndClose()
{
    CSerialPort port;
    QVERIFY(!port.m_bOpen);
    QVERIFY(!port.m_hPort);
    QVERIFY2(port.Open(m_sim.SlavePath()), qPrintable(port.m_strError));
    QVERIFY(port.m_bOpen);
    QVERIFY(port.m_hPort);
    QVERIFY(port.m_strError.isEmpty());
    QCOMPARE(port.m_nBaudRate, quint32(9600));
    QVERIFY(port.Close());
    QVERIFY(!port.m_bOpen);
    QVERIFY(!port.m_hPort);
    QVERIFY(port.GetPortName().isEmpty());
    QVERIFY(port.Close()); // closing a closed port only clears the name
}

void TestSerialPort::openMissingPort()
{
    CSerialPort port;
    QVERIFY(!port.Open("/dev/zint9-no-such-port"));
    QCOMPARE(port.m_strError, QStringLiteral("Ошибка oткрытия порта </dev/zint9-no-such-port>"));
    QVERIFY(!port.m_bOpen);
    QVERIFY(port.GetPortName().isEmpty());
    QVERIFY(!port.Open("ttyZINT9"));
    QCOMPARE(port.m_strError, QStringLiteral("Ошибка oткрытия порта <ttyZINT9>"));
}

void TestSerialPort::openByPath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("opens");
    QTest::newRow("./name") << "./z1" << true;
    QTest::newRow("folder/name, under the current folder, not /dev") << "dev/z1" << true;
    QTest::newRow("../name") << "../here/z1" << true;
    QTest::newRow("missing, named where it was looked for") << "./z2" << false;
}

void TestSerialPort::openByPath()
{
    QFETCH(QString, name);
    QFETCH(bool, opens);
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkpath("here/dev"));
    const QString strHere = folder.path() + "/here";
    QVERIFY(QFile::link(m_sim.SlavePath(), strHere + "/z1"));
    QVERIFY(QFile::link(m_sim.SlavePath(), strHere + "/dev/z1"));
    const QString strWas = QDir::currentPath();
    QVERIFY(QDir::setCurrent(strHere));
    CSerialPort port;
    const bool bOpened = port.Open(name);
    QDir::setCurrent(strWas);
    QCOMPARE(bOpened, opens);
    if (opens)
        QCOMPARE(port.GetPortName(), name); // shown as the user gave it
    else
        QCOMPARE(port.m_strReason, "нет такого порта: " + QFileInfo(strHere + "/z2").absoluteFilePath());
}

void TestSerialPort::exclusiveOpen()
{
    CSerialPort first;
    CSerialPort second;
    QVERIFY(first.Open(m_sim.SlavePath()));
    QVERIFY(!second.Open(m_sim.SlavePath()));
    QCOMPARE(second.m_strError, QStringLiteral("Ошибка oткрытия порта <%1>").arg(m_sim.SlavePath()));
    QVERIFY(!second.m_bOpen);
    QVERIFY(first.Close());
    QVERIFY2(second.Open(m_sim.SlavePath()), qPrintable(second.m_strError));
    QVERIFY(second.Close());

    // A probe's lock, held a moment while the port is opened, is waited for: it lets go once
    // the opener has the port open (its exclusive mode set) and is taking its own lock.
    const int nProbe = ::open(QFile::encodeName(m_sim.SlavePath()).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(nProbe >= 0 && ::flock(nProbe, LOCK_EX | LOCK_NB) == 0 && ::ioctl(nProbe, TIOCNXCL) == 0);
    std::thread probe(
        [nProbe]
        {
            QDeadlineTimer deadline(10000);
            for (int nExclusive = 0; nExclusive == 0 && !deadline.hasExpired(); QThread::msleep(1))
                ::ioctl(nProbe, TIOCGEXCL, &nExclusive);
            QThread::msleep(10);
            ::close(nProbe);
        });
    const bool bOpened = second.Open(m_sim.SlavePath());
    probe.join();
    QVERIFY2(bOpened, qPrintable(second.m_strReason));
}

void TestSerialPort::classicLockFile_data()
{
    QTest::addColumn<int>("holder");  // the process the lock names: 0 running, 1 gone, 2 ended, not reaped
    QTest::addColumn<bool>("byLink"); // the port opened by a link, locked under the device's name
    QTest::newRow("held by a running program") << 0 << false;
    QTest::newRow("held under the device's name, opened by a link") << 0 << true;
    QTest::newRow("its program gone") << 1 << false;
    QTest::newRow("its program ended, not yet reaped") << 2 << false;
}

void TestSerialPort::classicLockFile()
{
    QFETCH(int, holder);
    QFETCH(bool, byLink);
    if (!QFileInfo(QStringLiteral("/var/lock")).isWritable())
        QSKIP("/var/lock is not writable here");
    const bool alive = holder == 0;
    // A zombie: a child that ends under a parent that never waits for it (it ends after the shell
    // has become sleep: a shell could reap one that ended first).
    QProcess process;
    if (holder == 2)
        process.start(QStringLiteral("sh"), {"-c", "sleep 0.2 & echo $!; exec sleep 60"});
    else
        process.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    QVERIFY(process.waitForStarted());
    QVERIFY(holder != 2 || process.waitForReadyRead(5000));
    const qint64 nPid = holder == 2 ? process.readLine().trimmed().toLongLong() : process.processId();
    if (holder == 1)
    {
        process.kill();
        QVERIFY(process.waitForFinished());
    }
    auto ended = [nPid]
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(nPid));
        return stat.open(QIODevice::ReadOnly) && stat.readAll().contains(") Z ");
    };
    if (holder == 2)
        QTRY_VERIFY(ended());
    // Ten ASCII digits and a line feed, old enough for the serial-port library to call it stale.
    QString strName = m_sim.SlavePath().mid(5);
    const QString strLock = "/var/lock/LCK.." + strName.replace('/', '_');
    QFile lock(strLock);
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QString::asprintf("%10lld\n", nPid).toLatin1());
    lock.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
    lock.close();
    QTemporaryDir folder;
    const QString strLink = folder.filePath("usb-adapter-if00-port0");
    QVERIFY(QFile::link(m_sim.SlavePath(), strLink));

    CSerialPort port;
    const bool bOpened = port.Open(byLink ? strLink : m_sim.SlavePath());
    port.Close();
    const bool bKept = QFile::exists(strLock);
    QFile::remove(strLock);
    process.kill();
    process.waitForFinished();
    QCOMPARE(bOpened, !alive);
    QCOMPARE(bKept, alive); // another program's lock stays; a stale one goes
    if (alive)
    {
        QVERIFY(port.IsBusy());
        QVERIFY2(port.m_strReason.contains(QStringLiteral("процесс %1, sleep").arg(nPid)),
                 qPrintable(port.m_strReason));
    }
}

void TestSerialPort::secondOpenClosesFirst()
{
    CSerialPort port;
    QVERIFY(port.Open(m_sim.SlavePath()));
    QVERIFY(port.Open(m_silent.SlavePath()));
    QCOMPARE(port.GetPortName(), m_silent.SlavePath());
    // The first port is free again.
    CSerialPort other;
    QVERIFY2(other.Open(m_sim.SlavePath()), qPrintable(other.m_strError));
}

namespace
{
// A time-out measured by wall time: never shorter than 40 ms before it is due; the late side
// is bounded generously, as a loaded machine may be slow to wake the waiting thread.
bool TimedOutAt(qint64 nElapsed, int nTimeout)
{
    return nElapsed >= nTimeout - 40 && nElapsed <= nTimeout + 250;
}
} // namespace

void TestSerialPort::lineSettings()
{
    CSerialPort port;
    QVERIFY2(port.Open(m_sim.SlavePath()), qPrintable(port.m_strError));
    // As the device's side of the line sees it.
    CPseudoTerminal::SLineSettings line;
    QVERIFY2(m_sim.LineSettings(line), qPrintable(m_sim.m_strError));
    QCOMPARE(line.nBaudRate, 9600);
    QCOMPARE(line.nDataBits, 8);
    QCOMPARE(line.nStopBits, 2);
    QVERIFY(!line.bParity);
    QVERIFY(!line.bHardwareFlow);
    QVERIFY(!line.bSoftwareFlow);
    QVERIFY(line.bRaw);
}

void TestSerialPort::readTimeouts_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("timeout");
    QTest::newRow("write answer, first byte") << 1 << 501;
    QTest::newRow("write answer, rest") << 3 << 503;
    QTest::newRow("versions answer") << 4 << 504;
    QTest::newRow("read answer") << 53 << 560;
}

void TestSerialPort::readTimeouts()
{
    QFETCH(int, bytes);
    QFETCH(int, timeout);
    CSerialPort port;
    QVERIFY(port.Open(m_sim.SlavePath()));
    QCOMPARE(port.ReadTimeout(bytes), timeout);
}

void TestSerialPort::silentLineTimesOut()
{
    CSerialPort port;
    QVERIFY(port.Open(m_silent.SlavePath()));
    QVERIFY(port.Write("GGGG\n", 5));
    quint8 buffer[4] = {};
    int nReceived = -1;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!port.Read(buffer, 4, nReceived));
    const qint64 nElapsed = timer.elapsed();
    QCOMPARE(nReceived, 0);
    QVERIFY2(TimedOutAt(nElapsed, 504), qPrintable(QString::number(nElapsed)));
}

void TestSerialPort::writeTimesOut()
{
    CSimulator stalled; // takes nothing off the line, which fills up
    QVERIFY2(stalled.Start(), qPrintable(stalled.m_strError));
    stalled.SetStalled(true);
    CSerialPort port;
    QVERIFY(port.Open(stalled.SlavePath()));
    QCOMPARE(port.WriteTimeout(), 0);
    const QByteArray shortFrame(CFrameCodec::kShortText, 'G');
    QVERIFY(port.Write(shortFrame.constData(), int(shortFrame.size())));
    QCOMPARE(port.WriteTimeout(), 113); // fixed by the first write
    // A write larger than the line can take in: it fails after the fixed time-out.
    const QByteArray flood(1 << 20, 'G');
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!port.Write(flood.constData(), int(flood.size())));
    const qint64 nElapsed = timer.elapsed();
    QVERIFY2(TimedOutAt(nElapsed, 113), qPrintable(QString::number(nElapsed)));
    QCOMPARE(port.WriteTimeout(), 113);
}

void TestSerialPort::simulatorRefuses_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("answer"); // bytes expected back; 0: no answer
    const quint16 wVersion = 0x0123;
    const quint16 wBoot = 0x0008;
    auto text = [](const quint8* pFrame, int n)
    {
        char szText[CFrameCodec::kLongText];
        CFrameCodec::EncodeFrame(pFrame, n, szText);
        return QByteArray(szText, 2 * n + 1);
    };
    quint8 read[CFrameCodec::kShortFrame];
    CFrameCodec::BuildReadRequest(read, 8, wVersion, wBoot);
    const QByteArray readRequest = text(read, CFrameCodec::kShortFrame);
    quint8 data[CFrameCodec::kBlockSize] = {1, 2, 3, 4, 5, 6, 7, 8};
    quint8 write[CFrameCodec::kLongFrame];
    CFrameCodec::BuildWriteRequest(write, 8, data, wVersion, wBoot);
    QTest::newRow("read request") << readRequest << 53;
    QTest::newRow("write request") << text(write, CFrameCodec::kLongFrame) << 1;
    // Sealed again after the change, so that only the reserved byte is wrong.
    read[13] = 0x01;
    CFrameCodec::SealFrame(read, CFrameCodec::kShortFrame, wVersion, wBoot);
    QTest::newRow("reserved byte in a read request") << text(read, CFrameCodec::kShortFrame) << 0;
    write[6] = 0x80;
    CFrameCodec::SealFrame(write, CFrameCodec::kLongFrame, wVersion, wBoot);
    QTest::newRow("reserved byte in a write request") << text(write, CFrameCodec::kLongFrame) << 0;
    QTest::newRow("one character short") << QByteArray(readRequest).remove(0, 1) << 0;
    QTest::newRow("one character long") << QByteArray(readRequest).prepend('G') << 0;
    QTest::newRow("CR LF line end") << QByteArray(readRequest).insert(readRequest.size() - 1, '\r') << 0;
    QTest::newRow("no line end") << readRequest.left(readRequest.size() - 1) << 0;
}

void TestSerialPort::simulatorRefuses()
{
    QFETCH(QByteArray, request);
    QFETCH(int, answer);
    m_sim.WithDevice([](CSimDevice& device) { device.SetVersions(0x0123, 0x0008); });
    CSerialPort port;
    QVERIFY(port.Open(m_sim.SlavePath()));
    if (answer == 0 && request.endsWith('\n'))
    {
        // A versions request right behind it, in the same write: its answer must be the first
        // that comes back, with no time-out waited out.
        quint8 frame[CFrameCodec::kShortFrame];
        char text[CFrameCodec::kShortText];
        CFrameCodec::BuildVersionsRequest(frame);
        CFrameCodec::EncodeFrame(frame, CFrameCodec::kShortFrame, text);
        request.append(text, CFrameCodec::kShortText);
        answer = 4;
    }
    QVERIFY(port.Write(request.constData(), int(request.size())));
    QByteArray buffer(qMax(answer, 1), 0);
    int nReceived = -1;
    QCOMPARE(port.Read(buffer.data(), int(buffer.size()), nReceived), answer > 0);
    QCOMPARE(nReceived, answer);
    if (answer == 4)
        QCOMPARE(buffer, QByteArray("\x01\x23\x00\x08", 4));
    QVERIFY(port.Write("\n", 1)); // ends whatever line was left open, for the next request
}

void TestSerialPort::exchange()
{
    m_sim.WithDevice([](CSimDevice& device) { device.SetVersions(0x0123, 0x0008); });
    CSerialPort port;
    QVERIFY(port.Open(m_sim.SlavePath()));
    quint8 frame[CFrameCodec::kShortFrame];
    char text[CFrameCodec::kShortText];
    CFrameCodec::BuildVersionsRequest(frame);
    CFrameCodec::EncodeFrame(frame, CFrameCodec::kShortFrame, text);
    // Stale bytes from an earlier exchange are discarded by the next write.
    QVERIFY(port.Write(text, CFrameCodec::kShortText));
    QTest::qWait(50);
    QVERIFY(port.Write(text, CFrameCodec::kShortText));
    quint8 answer[4] = {};
    int nReceived = 0;
    QVERIFY(port.Read(answer, 4, nReceived));
    QCOMPARE(nReceived, 4);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(answer), 4), QByteArray("\x01\x23\x00\x08", 4));
    // Nothing more is waiting.
    QVERIFY(!port.Read(answer, 1, nReceived));
    QCOMPARE(nReceived, 0);
}

void TestSerialPort::closedPort()
{
    CSerialPort port;
    quint8 buffer[4];
    int nReceived = -1;
    QVERIFY(!port.Write("x", 1));
    QVERIFY(!port.Read(buffer, 4, nReceived));
    QCOMPARE(nReceived, 0);
}

void TestSerialPort::demoMode_data()
{
    QTest::addColumn<bool>("write");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("wait");
    QTest::newRow("write 37") << true << 37 << 18;
    QTest::newRow("write 53") << true << 53 << 26;
    QTest::newRow("read 4") << false << 4 << 8;
    QTest::newRow("read 53") << false << 53 << 106;
}

void TestSerialPort::demoMode()
{
    QFETCH(bool, write);
    QFETCH(int, bytes);
    QFETCH(int, wait);
    CSerialPort port;
    port.m_bDemo = true;
    QVERIFY(port.Open("COM7"));
    QVERIFY(port.m_bOpen);
    QCOMPARE(port.GetPortName(), QStringLiteral("COM7"));
    QVERIFY(!port.m_hPort);
    QByteArray buffer(bytes, 0);
    int nReceived = 0;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(write ? port.Write(buffer.constData(), bytes) : port.Read(buffer.data(), bytes, nReceived));
    QVERIFY(timer.elapsed() >= wait);
    if (!write)
    {
        QCOMPARE(nReceived, bytes);
        QCOMPARE(buffer, QByteArray(bytes, 0x55));
    }
    QVERIFY(port.Close());
    QVERIFY(!port.m_bOpen);
    QVERIFY(port.GetPortName().isEmpty());
}

void TestSerialPort::enumPorts()
{
    QStringList list = {"stale"};
    QVERIFY(CSerialPort::EnumPorts(list));
    QVERIFY(!list.contains("stale"));
    for (const QString& strName : list)
        QVERIFY(!strName.startsWith('/'));
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
