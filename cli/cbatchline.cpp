#include "cbatchline.h"

#include "cbatchsummary.h"
#include "cportworker.h"
#include "ctransaction.h"

CBatchLine::CBatchLine(const QString& strPort) : strPort(strPort) {}
CBatchLine::~CBatchLine() = default;
CBatchLine::CBatchLine(CBatchLine&&) noexcept = default;
CBatchLine& CBatchLine::operator=(CBatchLine&&) noexcept = default;

void CBatchLine::OnUnitEvent(const QJsonObject& event)
{
    const QString strEvent = event["event"].toString();
    if (strEvent == QLatin1String("device"))
    {
        bInDevice = true;
        station.TookUnit();
        known = QJsonObject();
        written = CRecordCut::SProgress();
        m_strShown.clear();
    }
    else if (strEvent == QLatin1String("block"))
    {
        const int nAddress = event["address"].toInt(-1);
        if (event["acknowledged"].toBool())
            written = {nAddress, -1};
        else
            written.nUnsure = nAddress;
    }
    else if (strEvent == QLatin1String("known"))
    {
        known = event; // kept for a worker that dies before its result
        strUnit = event["fingerprint"].toString();
    }
}

void CBatchLine::TookResult(const QJsonObject& result)
{
    const QString strResult = result["result"].toString();
    const QString strReason = result["reason"].toString();
    bInDevice = false;
    bResult = true;
    strLastResult = strResult;
    const CTransaction::EResult nResult = CTransaction::ResultOfKey(strResult);
    m_bGood = CTransaction::Configured(nResult) || nResult == CTransaction::EResult::Already;
    m_strShown = CBatchSummary::ResultText(strResult, result["partial"].toBool());
    if (!result["serial"].toString().isEmpty())
        m_strShown += QStringLiteral(" (%1)").arg(result["serial"].toString());
    if (!m_bGood && !strReason.isEmpty())
        m_strShown += QStringLiteral(": ") + strReason.section(QLatin1Char('\n'), 0, 0);
}

QString CBatchLine::Status() const
{
    const QString strStatus = station.Status();
    // While the next unit is awaited, the last one's result stays in sight.
    if (m_strShown.isEmpty() || station.State() != QLatin1String("waiting") || !station.Dead().isEmpty())
        return strStatus.isEmpty() ? m_strShown : strStatus;
    return m_strShown + QStringLiteral(" · ") + strStatus;
}

CBatchDisplay::ETone CBatchLine::Tone() const
{
    if (!station.Dead().isEmpty())
        return CBatchDisplay::ETone::Bad;
    if (station.State() == QLatin1String("serial"))
        return CBatchDisplay::ETone::Notice;
    if (m_strShown.isEmpty() || bInDevice)
        return CBatchDisplay::ETone::Plain;
    return m_bGood ? CBatchDisplay::ETone::Good : CBatchDisplay::ETone::Bad;
}
