#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Number reading and writing rules, with "." as the decimal point whatever the system locale.
class CNumberText
{
public:
    // Catalogue integer: leading blanks, optional sign, decimal digits; no digits reads 0;
    // reduced to its low 8 bits.
    static quint8 ParseByte(const QByteArray& line);
    // Catalogue real: leading blanks, optional sign, digits, optional "." fraction, optional
    // exponent introduced by e, E, d or D; no number reads 0.
    static float ParseReal(const QByteArray& line);

    // A number typed into a field: leading blanks, then one number scanned from the start of
    // the text, anything after it ignored ("12abc" is 12). False when no number can be scanned
    // or when the number is not finite (NaN or infinite values must never reach a device).
    static bool ParseField(const QString& strText, float& fValue);
    // A number given on a command line: as a field reads it, but nothing may follow it but
    // blanks, since no field filter stands before it ("5,5" is refused, not read as 5).
    static bool ParseArgument(const QString& strText, float& fValue);
    // A double as a float, without the undefined conversion of a value beyond the float's range:
    // such a value becomes infinite (and is then refused wherever a number must be finite).
    static float Narrow(double dValue);
    // "%.*g" with 6 significant digits.
    static QString Format(float fValue);
    // Fills the "%f" / "%.Nf" conversions of a string-table text with the values in turn, as the
    // C library's printf does, with "." as the decimal point.
    static QString Printf(const QString& strFormat, double dValue1, double dValue2 = 0);

private:
    // ParseField's scan; nUsed is the length of the text up to the number's end.
    static bool Scan(const QString& strText, float& fValue, qsizetype& nUsed);
};
