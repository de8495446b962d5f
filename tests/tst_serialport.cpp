#include "cframecodec.h"
#include "cserialport.h"
#include "csimulator.h"

#include <QElapsedTimer>
#include <QTest>

class TestSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_sim.Stop(); }
    void openNone();
    void openAndClose();
    void openMissingPort();
    void exclusiveOpen();
    void secondOpenClosesFirst();
    void silentLineTimesOut();
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
    QVERIFY2(nElapsed >= 500, qPrintable(QString::number(nElapsed)));
    QVERIFY2(nElapsed < 1500, qPrintable(QString::number(nElapsed)));
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
