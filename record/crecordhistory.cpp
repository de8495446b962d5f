#include "crecordhistory.h"

#include <algorithm>
#include <utility>

CRecordHistory::CRecordHistory(CRecordStore* pLocal, CRecordStore* pPlant, const CRecordStore::SQuery& query)
    : m_query(query), m_nLeft(query.nLimit)
{
    m_local.pStore = pLocal;
    m_local.bEnd = !pLocal;
    m_plant.pStore = pPlant;
    m_plant.bEnd = !pPlant;
}

bool CRecordHistory::Read(SSource& source)
{
    CRecordStore::SQuery query = m_query;
    // Neither record can give more of what is shown than the limit leaves; one a unit, a page
    // may show fewer.
    query.nLimit = m_nLeft < 0 || m_query.bLatest ? kPage : qMin(kPage, m_nLeft);
    query.after = source.after;
    query.strAfterId = source.strAfterId;
    QList<CRecordEntry> page;
    if (!source.pStore->Find(query, page))
    {
        source.bFailed = source.bEnd = true;
        return false;
    }
    source.bEnd = page.size() < query.nLimit;
    if (!page.isEmpty())
    {
        source.after = page.last().timeStart;
        source.strAfterId = page.last().strId;
        // A start that cannot be read back cannot be gone past: it would begin the record anew.
        source.bEnd = source.bEnd || !source.after.isValid();
    }
    source.page = std::move(page);
    source.nAt = 0;
    return true;
}

const CRecordEntry* CRecordHistory::Head(SSource& source)
{
    if (source.nAt == source.page.size() && (source.bEnd || !Read(source)))
        return nullptr;
    return source.nAt < source.page.size() ? &source.page[source.nAt] : nullptr;
}

bool CRecordHistory::IsNewer(const CRecordEntry& a, const CRecordEntry& b)
{
    // As both records order them: ORDER BY started DESC, id DESC.
    return a.timeStart != b.timeStart ? a.timeStart > b.timeStart : a.strId > b.strId;
}

QByteArray CRecordHistory::UnitKey(const QString& strFingerprint)
{
    // A fingerprint as CFingerprint makes it is kept as its 32 bytes, so that a plant of a
    // million units costs some tens of megabytes; any other text a station sent stays apart.
    const bool bHex =
        strFingerprint.size() == 64 &&
        std::all_of(strFingerprint.cbegin(), strFingerprint.cend(),
                    [](QChar ch) { return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f'); });
    return bHex ? 'h' + QByteArray::fromHex(strFingerprint.toLatin1()) : 't' + strFingerprint.toUtf8();
}

bool CRecordHistory::IsSuperseded(const CRecordEntry& plant)
{
    // Only an "attempted" entry is ever completed, and only by the station that made it: where
    // this station holds it too, its copy is the word, which the filters may have passed over.
    CRecordEntry mine;
    return plant.strResult == QLatin1String("attempted") && m_local.pStore && !m_local.bFailed &&
           m_local.pStore->Entry(plant.strId, mine);
}

bool CRecordHistory::Merged(CRecordEntry& entry)
{
    for (;;)
    {
        const CRecordEntry* pLocal = Head(m_local);
        const CRecordEntry* pPlant = Head(m_plant);
        if (!pLocal && !pPlant)
            return false;
        SSource* pSource = &m_local;
        if (!pLocal)
            pSource = &m_plant;
        // An entry both hold stands at the same place in both orders, its start never changing.
        else if (pPlant && pLocal->strId == pPlant->strId)
            ++m_plant.nAt;
        else if (pPlant && IsNewer(*pPlant, *pLocal))
            pSource = &m_plant;
        if (pSource == &m_plant && IsSuperseded(*pPlant))
        {
            ++pSource->nAt;
            continue;
        }
        entry = std::move(pSource->page[pSource->nAt++]);
        return true;
    }
}

bool CRecordHistory::Next(CRecordEntry& entry)
{
    if (m_nLeft == 0)
        return false;
    bool bNext = Merged(entry);
    // Newest first: a unit's first entry is its newest among those picked.
    while (bNext && m_query.bLatest && m_units.contains(UnitKey(entry.strFingerprint)))
        bNext = Merged(entry);
    if (!bNext)
        return false;
    if (m_query.bLatest)
        m_units.insert(UnitKey(entry.strFingerprint));
    if (m_nLeft > 0)
        --m_nLeft;
    return true;
}
