#include "cframecodec.h"

#include <QTest>

namespace
{
QByteArray Text(const quint8* pFrame, int n)
{
    QByteArray text(2 * n + 1, 0);
    text.resize(CFrameCodec::EncodeFrame(pFrame, n, text.data()));
    return text;
}

QByteArray Hex(const quint8* pBytes, int n)
{
    return QByteArray(reinterpret_cast<const char*>(pBytes), n).toHex(' ');
}
} // namespace

class TestFrameCodec : public QObject
{
    Q_OBJECT

private slots:
    void encodeBytes_data();
    void encodeBytes();
    void decodePairs_data();
    void decodePairs();
    void decodeNothing();
    void versionsRequest();
    void readRequestExample();
    void zeroSeeds();
    void sealedFramesFoldToZero_data();
    void sealedFramesFoldToZero();
    void changedByteFailsCheck();
    void foldIsModulo65536();
};

void TestFrameCodec::encodeBytes_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("00") << 0x00 << QByteArray("GG\n");
    QTest::newRow("5A") << 0x5A << QByteArray("LQ\n");
    QTest::newRow("FF") << 0xFF << QByteArray("VV\n");
    QTest::newRow("12") << 0x12 << QByteArray("HI\n");
}

void TestFrameCodec::encodeBytes()
{
    QFETCH(int, byte);
    QFETCH(QByteArray, text);
    const quint8 by = quint8(byte);
    QCOMPARE(Text(&by, 1), text);
}

void TestFrameCodec::decodePairs_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("byte");
    QTest::newRow("GG") << QByteArray("GG") << 0x00;
    QTest::newRow("VV") << QByteArray("VV") << 0xFF;
    QTest::newRow("LQ") << QByteArray("LQ") << 0x5A;
    QTest::newRow("digits 00") << QByteArray("00") << 0x99;
    QTest::newRow("lower case") << QByteArray("gg") << 0x00;
}

void TestFrameCodec::decodePairs()
{
    QFETCH(QByteArray, text);
    QFETCH(int, byte);
    quint8 by = 0x42;
    QCOMPARE(CFrameCodec::DecodeFrame(2, text.constData(), &by), quint16(1));
    QCOMPARE(int(by), byte);
}

void TestFrameCodec::decodeNothing()
{
    quint8 by = 0;
    QCOMPARE(CFrameCodec::DecodeFrame(0, "GG", &by), quint16(0));
    QCOMPARE(CFrameCodec::DecodeFrame(2, nullptr, &by), quint16(0));
    QCOMPARE(CFrameCodec::DecodeFrame(2, "GG", nullptr), quint16(0));
}

void TestFrameCodec::versionsRequest()
{
    quint8 frame[CFrameCodec::kShortFrame];
    CFrameCodec::BuildVersionsRequest(frame);
    const QByteArray text = Text(frame, CFrameCodec::kShortFrame);
    QCOMPARE(text, QByteArray("GGGI") + QByteArray(32, 'G') + '\n');
    QCOMPARE(text.size(), 37);
    // Whatever versions are current, the request is the same.
    quint8 again[CFrameCodec::kShortFrame];
    CFrameCodec::BuildVersionsRequest(again);
    QCOMPARE(Text(again, CFrameCodec::kShortFrame), text);
}

void TestFrameCodec::readRequestExample()
{
    quint8 frame[CFrameCodec::kShortFrame];
    CFrameCodec::BuildReadRequest(frame, 0, 0x1555, 0x0008);
    QCOMPARE(Hex(frame, CFrameCodec::kShortFrame),
             QByteArray("00 42 00 00 00 00 00 00 00 00 00 00 00 00 6b da 8d e3"));
    QCOMPARE(Text(frame, CFrameCodec::kShortFrame), QByteArray("GGKI") + QByteArray(24, 'G') + "MRTQOTUJ\n");
}

void TestFrameCodec::zeroSeeds()
{
    quint8 frame[CFrameCodec::kShortFrame];
    CFrameCodec::BuildReadRequest(frame, 0, 0, 0);
    QCOMPARE(Hex(frame + 14, 4), QByteArray("00 f0 00 ce"));
}

void TestFrameCodec::sealedFramesFoldToZero_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("boot");
    QTest::newRow("block 0") << 0 << 0x1555 << 0x0008;
    QTest::newRow("last block") << 504 << 0x1555 << 0x0008;
    QTest::newRow("all ones") << 256 << 0xFFFF << 0xFFFF;
    QTest::newRow("zero seeds") << 8 << 0 << 0;
}

void TestFrameCodec::sealedFramesFoldToZero()
{
    QFETCH(int, address);
    QFETCH(int, version);
    QFETCH(int, boot);
    quint8 shortFrame[CFrameCodec::kShortFrame];
    CFrameCodec::BuildReadRequest(shortFrame, quint32(address), quint16(version), quint16(boot));
    QVERIFY(CFrameCodec::CheckFrame(shortFrame, CFrameCodec::kShortFrame, quint16(version), quint16(boot)));
    const auto [wA, wB] = CFrameCodec::FoldWords(shortFrame, 9, quint16(boot), quint16(version));
    QCOMPARE(wA, quint16(0));
    QCOMPARE(wB, quint16(0));

    const quint8 data[8] = {0xFF, 0x00, 0x5A, 0xA5, 0x12, 0x34, 0x56, 0x78};
    quint8 longFrame[CFrameCodec::kLongFrame];
    CFrameCodec::BuildWriteRequest(longFrame, quint32(address), data, quint16(version), quint16(boot));
    QCOMPARE(Hex(longFrame, 6).left(5), QByteArray("01 02"));
    QCOMPARE(int(longFrame[2] | longFrame[3] << 8), address);
    QCOMPARE(Hex(longFrame + 14, 8), Hex(data, 8));
    QVERIFY(CFrameCodec::CheckFrame(longFrame, CFrameCodec::kLongFrame, quint16(version), quint16(boot)));
    // Other seeds do not fit the seal.
    QVERIFY(
        !CFrameCodec::CheckFrame(longFrame, CFrameCodec::kLongFrame, quint16(version + 1), quint16(boot)));
    QCOMPARE(Text(longFrame, CFrameCodec::kLongFrame).size(), 53);
    QCOMPARE(Text(longFrame, CFrameCodec::kLongFrame).back(), '\n');
}

void TestFrameCodec::changedByteFailsCheck()
{
    const quint8 data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    quint8 frame[CFrameCodec::kLongFrame];
    CFrameCodec::BuildWriteRequest(frame, 64, data, 0x1555, 0x0008);
    // Through the text and back, as a read answer travels.
    const QByteArray text = Text(frame, CFrameCodec::kLongFrame);
    quint8 decoded[CFrameCodec::kLongFrame];
    QCOMPARE(CFrameCodec::DecodeFrame(52, text.constData(), decoded), quint16(26));
    QVERIFY(CFrameCodec::CheckFrame(decoded, CFrameCodec::kLongFrame, 0x1555, 0x0008));
    for (int i = 0; i < CFrameCodec::kLongFrame; ++i)
    {
        quint8 changed[CFrameCodec::kLongFrame];
        std::copy(decoded, decoded + CFrameCodec::kLongFrame, changed);
        changed[i] ^= 0x10;
        QVERIFY2(!CFrameCodec::CheckFrame(changed, CFrameCodec::kLongFrame, 0x1555, 0x0008),
                 qPrintable(QString::number(i)));
    }
}

void TestFrameCodec::foldIsModulo65536()
{
    const quint8 words[4] = {0xFF, 0xFF, 0x02, 0x00}; // 0xFFFF, 0x0002
    const auto [wA, wB] = CFrameCodec::FoldWords(words, 2, 0x0001, 0x0000);
    QCOMPARE(wA, quint16(0x0002)); // 1 + 0xFFFF = 0 (not 1, as it would be modulo 65535), then + 2
    QCOMPARE(wB, quint16(0x0002)); // 0 + 0 = 0, then 0 + 2
}

QTEST_GUILESS_MAIN(TestFrameCodec)
#include "tst_framecodec.moc"
