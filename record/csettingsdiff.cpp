#include "csettingsdiff.h"

#include "csettingstext.h"

#include <cstddef>

namespace
{
// The bytes the settings rows show; a difference there is a row, not a count.
constexpr CParamZT01::SRange kSettings[] = {
    {offsetof(CParamZT01, bySensorType), 2}, {offsetof(CParamZT01, byColdJunction), 1},
    {offsetof(CParamZT01, fLowLimit), 8},    {offsetof(CParamZT01, fDacCalLow), 12},
    {offsetof(CParamZT01, byOutRange), 1},   {offsetof(CParamZT01, fPeakBand), 8},
};

template <std::size_t N>
bool In(int nAddress, const CParamZT01::SRange (&ranges)[N])
{
    for (const CParamZT01::SRange& range : ranges)
        if (nAddress >= range.nOffset && nAddress < range.nOffset + range.nSize)
            return true;
    return false;
}
} // namespace

CSettingsDiff::CSettingsDiff(const CZTAppConfig& app, const CParamZT01& a, const CParamZT01& b)
{
    const QStringList linesA = CSettingsText::Lines(app, a, CSettingsText::Object(app, a));
    const QStringList linesB = CSettingsText::Lines(app, b, CSettingsText::Object(app, b));
    for (qsizetype i = 0; i < linesA.size() && i < linesB.size(); ++i)
    {
        if (linesA[i] == linesB[i])
            continue;
        const qsizetype nColon = linesA[i].indexOf(QStringLiteral(": "));
        m_rows.append({linesA[i].left(nColon), linesA[i].mid(nColon + 2), linesB[i].mid(nColon + 2)});
    }
    for (int i = 0; i < CParamZT01::kImageSize; ++i)
    {
        if (a.Image()[i] == b.Image()[i])
            continue;
        m_bEqual = false;
        if (In(i, kSettings))
            continue;
        if (In(i, CParamZT01::kDeviceBlock))
            ++m_nDevice;
        else if (In(i, CParamZT01::kSensorBlock))
            ++m_nSensor;
        else
            ++m_nRest;
    }
}

QString CSettingsDiff::Summary() const
{
    QStringList parts;
    for (const SRow& row : m_rows)
        parts << QStringLiteral("%1: %2 → %3").arg(row.strName, row.strA, row.strB);
    if (m_nSensor > 0)
        parts << QStringLiteral("данные датчика: %1 байт").arg(m_nSensor);
    return parts.join(QStringLiteral("; "));
}
