#include "ccodepage1251.h"
#include "cnumbertext.h"

#include <QTest>

#include <cmath>

class TestNumberText : public QObject
{
    Q_OBJECT

private slots:
    void parseByte_data();
    void parseByte();
    void parseReal_data();
    void parseReal();
    void parseField_data();
    void parseField();
    void format_data();
    void format();
    void fillNumbers_data();
    void fillNumbers();
    void codePage();
};

void TestNumberText::parseByte_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("expected");
    QTest::newRow("plain") << QByteArray("5") << 5;
    QTest::newRow("261 wraps to 5") << QByteArray("261") << 5;
    QTest::newRow("256 wraps to 0") << QByteArray("256") << 0;
    QTest::newRow("leading blanks") << QByteArray("  \t13") << 13;
    QTest::newRow("trailing text") << QByteArray("12abc") << 12;
    QTest::newRow("no digits") << QByteArray("abc") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("plus sign") << QByteArray("+7") << 7;
    QTest::newRow("minus one") << QByteArray("-1") << 255;
    // 10^20 is a multiple of 256, so only 261 counts.
    QTest::newRow("long number") << QByteArray("100000000000000000261") << 5;
}

void TestNumberText::parseByte()
{
    QFETCH(QByteArray, line);
    QFETCH(int, expected);
    QCOMPARE(int(CNumberText::ParseByte(line)), expected);
}

void TestNumberText::parseReal_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<float>("expected");
    QTest::newRow("integer") << QByteArray("1360") << 1360.0f;
    QTest::newRow("negative") << QByteArray("-200") << -200.0f;
    QTest::newRow("fraction") << QByteArray("0.25") << 0.25f;
    QTest::newRow("no integer part") << QByteArray("-.5") << -0.5f;
    QTest::newRow("exponent e") << QByteArray("1.5e2") << 150.0f;
    QTest::newRow("exponent E") << QByteArray("1.5E-1") << 0.15f;
    QTest::newRow("exponent d") << QByteArray("2d3") << 2000.0f;
    QTest::newRow("exponent D") << QByteArray("2D+1") << 20.0f;
    QTest::newRow("exponent without digits") << QByteArray("3e") << 3.0f;
    QTest::newRow("decimal comma") << QByteArray("1,5") << 1.0f;
    QTest::newRow("letters") << QByteArray("abc") << 0.0f;
    QTest::newRow("lone point") << QByteArray(".") << 0.0f;
    QTest::newRow("blanks and text after") << QByteArray("  60 s") << 60.0f;
    QTest::newRow("underflow without exponent") << "0." + QByteArray(400, '0') + "1" << 0.0f;
    QTest::newRow("underflow with exponent") << QByteArray("-1e-400") << -0.0f;
    QTest::newRow("overflow after leading zeros") << "0000." + QByteArray(3, '0') + "1e400" << HUGE_VALF;
}

void TestNumberText::parseReal()
{
    QFETCH(QByteArray, line);
    QFETCH(float, expected);
    QCOMPARE(CNumberText::ParseReal(line), expected);
}

void TestNumberText::parseField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<float>("expected");
    QTest::newRow("integer") << "4" << true << 4.0f;
    QTest::newRow("fraction") << "20.5" << true << 20.5f;
    QTest::newRow("negative") << "-200" << true << -200.0f;
    QTest::newRow("text after the number") << "12abc" << true << 12.0f;
    QTest::newRow("leading blanks") << "  7" << true << 7.0f;
    QTest::newRow("no integer part") << ".5" << true << 0.5f;
    QTest::newRow("exponent") << "1e2" << true << 100.0f;
    QTest::newRow("hexadecimal") << "0x10" << true << 16.0f;
    QTest::newRow("0x alone") << "0x" << false << 0.0f;
    QTest::newRow("0x and no hex digit") << "0xg" << false << 0.0f;
    QTest::newRow("0x and a sign") << "0x-1" << false << 0.0f;
    QTest::newRow("empty") << "" << false << 0.0f;
    QTest::newRow("minus alone") << "-" << false << 0.0f;
    QTest::newRow("point alone") << "." << false << 0.0f;
    QTest::newRow("two signs") << "--5" << false << 0.0f;
    QTest::newRow("letters") << "abc" << false << 0.0f;
    QTest::newRow("nan") << "nan" << false << 0.0f;
    QTest::newRow("infinity") << "inf" << false << 0.0f;
    QTest::newRow("negative infinity") << "-infinity" << false << 0.0f;
    QTest::newRow("beyond a float") << "1e39" << false << 0.0f;
    QTest::newRow("beyond a double") << "1e400" << false << 0.0f;
    QTest::newRow("underflow") << "0." + QString(400, '0') + "1" << true << 0.0f;
    QTest::newRow("underflow without integer part") << "." + QString(400, '0') + "1" << true << 0.0f;
    QTest::newRow("underflow with exponent") << "1e-400" << true << 0.0f;
}

void TestNumberText::parseField()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(float, expected);
    float fValue = -12345;
    QCOMPARE(CNumberText::ParseField(text, fValue), accepted);
    QCOMPARE(fValue, accepted ? expected : -12345.0f);
}

void TestNumberText::format_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("integer") << 4.0f << "4";
    QTest::newRow("fraction") << 20.5f << "20.5";
    QTest::newRow("negative") << -200.0f << "-200";
    QTest::newRow("six digits") << 4.0123f << "4.0123";
    QTest::newRow("rounded") << 19.987f << "19.987";
    QTest::newRow("large") << 1234567.0f << "1.23457e+06";
    QTest::newRow("small") << 0.00001f << "1e-05";
    QTest::newRow("zero") << 0.0f << "0";
}

void TestNumberText::format()
{
    QFETCH(float, value);
    QFETCH(QString, expected);
    QCOMPARE(CNumberText::Format(value), expected);
}

void TestNumberText::fillNumbers_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<double>("value1");
    QTest::addColumn<double>("value2");
    QTest::addColumn<QString>("expected");
    // Exact halves go to the even neighbour, as the C library's printf rounds them.
    QTest::newRow("4.5 to 4") << "= %.0f)!" << 4.5 << 0.0 << "= 4)!";
    QTest::newRow("5.5 to 6") << "%.0f" << 5.5 << 0.0 << "6";
    QTest::newRow("-0.5 to -0") << "%.0f" << -0.5 << 0.0 << "-0";
    QTest::newRow("0.125 to 0.12") << "%.2f" << 0.125 << 0.0 << "0.12";
    QTest::newRow("1.005 is below the half") << "%.2f" << 1.005 << 0.0 << "1.00";
    QTest::newRow("two values") << "между %.2f и %.2f" << -200.0 << 1360.0 << "между -200.00 и 1360.00";
    QTest::newRow("default precision and percent") << "%f%%" << 0.5 << 0.0 << "0.500000%";
}

void TestNumberText::fillNumbers()
{
    QFETCH(QString, format);
    QFETCH(double, value1);
    QFETCH(double, value2);
    QFETCH(QString, expected);
    QCOMPARE(CNumberText::Printf(format, value1, value2), expected);
}

void TestNumberText::codePage()
{
    const QByteArray bytes("\xC7\xC8\xCD\xD2-9 \xB0"
                           "C \xA8\xB8 \xB9");
    QCOMPARE(CCodePage1251::Decode(bytes), QStringLiteral("ЗИНТ-9 °C Ёё №"));
    QCOMPARE(CCodePage1251::Encode(CCodePage1251::Decode(bytes)), bytes);
    QCOMPARE(CCodePage1251::Encode(QStringLiteral("中")), QByteArray("?"));
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
