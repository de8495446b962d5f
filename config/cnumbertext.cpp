#include "cnumbertext.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace
{
bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

bool IsDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

// Skips blanks and an optional sign; returns the index after them.
qsizetype SkipBlanksAndSign(const QByteArray& text, bool& bNegative)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        bNegative = text[i++] == '-';
    return i;
}

// True when a number that does not fit a double is too large rather than too small: the power of
// ten of its first significant digit decides, not the sign of the exponent ("0.000...1" has none).
bool IsHuge(const std::string& strNumber)
{
    const auto nExpAt = strNumber.find_first_of("eE");
    const std::string strMantissa = strNumber.substr(0, nExpAt);
    long long nExp = 0;
    if (nExpAt != std::string::npos)
    {
        std::size_t i = nExpAt + 1;
        const bool bNegative = i < strNumber.size() && strNumber[i] == '-';
        if (i < strNumber.size() && (strNumber[i] == '-' || strNumber[i] == '+'))
            ++i;
        for (; i < strNumber.size() && IsDigit(strNumber[i]); ++i)
            nExp = qMin(nExp * 10 + (strNumber[i] - '0'), 1000000000LL);
        nExp = bNegative ? -nExp : nExp;
    }
    const auto nFirst = strMantissa.find_first_of("123456789");
    if (nFirst == std::string::npos)
        return false;
    auto nPoint = strMantissa.find('.');
    if (nPoint == std::string::npos)
        nPoint = strMantissa.size();
    const long long nPower =
        nFirst < nPoint ? (long long)(nPoint - nFirst) - 1 : -(long long)(nFirst - nPoint);
    return nPower + nExp > 0;
}

// Converts a plain decimal number (digits, ".", "e") that from_chars accepts; out-of-range
// values saturate as strtod does: overflow is infinite, underflow 0.
double FromDecimal(const std::string& strNumber)
{
    double dValue = 0;
    const auto result = std::from_chars(strNumber.data(), strNumber.data() + strNumber.size(), dValue);
    if (result.ec == std::errc::result_out_of_range)
        dValue = IsHuge(strNumber) ? HUGE_VAL : 0.0;
    return dValue;
}
} // namespace

quint8 CNumberText::ParseByte(const QByteArray& line)
{
    bool bNegative = false;
    qsizetype i = SkipBlanksAndSign(line, bNegative);
    unsigned nValue = 0; // only the low 8 bits matter, so wrapping is harmless
    for (; i < line.size() && IsDigit(line[i]); ++i)
        nValue = nValue * 10 + unsigned(line[i] - '0');
    if (bNegative)
        nValue = 0u - nValue;
    return quint8(nValue & 0xFF);
}

float CNumberText::ParseReal(const QByteArray& line)
{
    bool bNegative = false;
    qsizetype i = SkipBlanksAndSign(line, bNegative);
    std::string strNumber;
    bool bDigits = false;
    for (; i < line.size() && IsDigit(line[i]); ++i, bDigits = true)
        strNumber += line[i];
    if (i < line.size() && line[i] == '.')
    {
        strNumber += line[i++];
        for (; i < line.size() && IsDigit(line[i]); ++i, bDigits = true)
            strNumber += line[i];
    }
    if (!bDigits)
        return 0;
    if (strNumber.front() == '.')
        strNumber.insert(strNumber.begin(), '0');
    // An exponent counts only with at least one digit after its letter and optional sign.
    if (i < line.size() && (line[i] == 'e' || line[i] == 'E' || line[i] == 'd' || line[i] == 'D'))
    {
        qsizetype j = i + 1;
        std::string strExp = "e";
        if (j < line.size() && (line[j] == '+' || line[j] == '-'))
            strExp += line[j++];
        if (j < line.size() && IsDigit(line[j]))
        {
            for (; j < line.size() && IsDigit(line[j]); ++j)
                strExp += line[j];
            strNumber += strExp;
        }
    }
    const double dValue = FromDecimal(strNumber);
    return Narrow(bNegative ? -dValue : dValue);
}

bool CNumberText::ParseField(const QString& strText, float& fValue)
{
    qsizetype nUsed = 0;
    return Scan(strText, fValue, nUsed);
}

bool CNumberText::ParseArgument(const QString& strText, float& fValue)
{
    qsizetype nUsed = 0;
    const QString strTrimmed = strText.trimmed();
    return Scan(strTrimmed, fValue, nUsed) && nUsed == strTrimmed.size();
}

bool CNumberText::Scan(const QString& strText, float& fValue, qsizetype& nUsed)
{
    const QByteArray text = strText.toLatin1();
    bool bNegative = false;
    const qsizetype i = SkipBlanksAndSign(text, bNegative);
    const char* pBegin = text.constData() + i;
    const char* pEnd = text.constData() + text.size();
    if (pBegin < pEnd && (*pBegin == '-' || *pBegin == '+'))
        return false;
    double dValue = 0;
    const char* pStop = pBegin;
    if (pEnd - pBegin >= 2 && pBegin[0] == '0' && (pBegin[1] == 'x' || pBegin[1] == 'X'))
    {
        // Hexadecimal, as "%lf" scans it; "0x" without a hex digit after it is refused there.
        const auto hex = std::from_chars(pBegin + 2, pEnd, dValue, std::chars_format::hex);
        if (hex.ec != std::errc() || pBegin[2] == '-')
            return false;
        pStop = hex.ptr;
    }
    else
    {
        const auto result = std::from_chars(pBegin, pEnd, dValue);
        pStop = result.ptr;
        if (result.ec == std::errc::invalid_argument)
        {
            // "%lf" also takes a fraction without an integer part (".5").
            if (pBegin == pEnd || *pBegin != '.' || pBegin + 1 == pEnd || !IsDigit(pBegin[1]))
                return false;
            std::string strNumber = "0";
            strNumber.append(pBegin, pEnd);
            const auto fraction =
                std::from_chars(strNumber.data(), strNumber.data() + strNumber.size(), dValue);
            pStop = pBegin + (fraction.ptr - strNumber.data() - 1);
            if (fraction.ec == std::errc::result_out_of_range)
            {
                if (FromDecimal(std::string(strNumber.c_str(), fraction.ptr)) != 0)
                    return false;
                dValue = 0;
            }
        }
        else if (result.ec == std::errc::result_out_of_range)
        {
            // Overflow would be infinite; underflow is a tiny number that reads as 0.
            const std::string strNumber(pBegin, result.ptr);
            if (FromDecimal(strNumber) != 0)
                return false;
            dValue = 0;
        }
    }
    const float fResult = Narrow(bNegative ? -dValue : dValue);
    if (!std::isfinite(fResult))
        return false;
    fValue = fResult;
    nUsed = pStop - text.constData();
    return true;
}

float CNumberText::Narrow(double dValue)
{
    if (std::isnan(dValue))
        return std::numeric_limits<float>::quiet_NaN();
    if (std::fabs(dValue) > double(std::numeric_limits<float>::max()))
        return dValue < 0 ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
    return float(dValue);
}

QString CNumberText::Format(float fValue)
{
    char szBuffer[64];
    const auto result =
        std::to_chars(szBuffer, szBuffer + sizeof(szBuffer), double(fValue), std::chars_format::general, 6);
    return QString::fromLatin1(szBuffer, result.ptr - szBuffer);
}

QString CNumberText::Printf(const QString& strFormat, double dValue1, double dValue2)
{
    // "%f" and "%.Nf" take the values in turn, rounded as the C library's printf rounds (exact
    // halves to even) and always with "."; "%%" is a percent sign.
    const double dValues[] = {dValue1, dValue2};
    int nNext = 0;
    QString strResult;
    for (qsizetype i = 0; i < strFormat.size(); ++i)
    {
        if (strFormat[i] != u'%' || i + 1 >= strFormat.size())
        {
            strResult += strFormat[i];
            continue;
        }
        if (strFormat[i + 1] == u'%')
        {
            strResult += u'%';
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        int nPrecision = 6;
        if (j < strFormat.size() && strFormat[j] == u'.')
        {
            nPrecision = 0;
            for (++j; j < strFormat.size() && strFormat[j].isDigit(); ++j)
                nPrecision = qMin(nPrecision * 10 + strFormat[j].digitValue(), 60);
        }
        if (j >= strFormat.size() || strFormat[j] != u'f' || nNext >= 2)
        {
            strResult += strFormat[i]; // not a conversion of this formatter: kept as text
            continue;
        }
        char szBuffer[400];
        const auto result = std::to_chars(szBuffer, szBuffer + sizeof(szBuffer), dValues[nNext++],
                                          std::chars_format::fixed, nPrecision);
        strResult += QString::fromLatin1(szBuffer, result.ptr - szBuffer);
        i = j;
    }
    return strResult;
}
