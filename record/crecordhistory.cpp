#include "crecordhistory.h"

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
    // Neither record can give more of what is shown than the limit leaves.
    query.nLimit = m_nLeft < 0 ? kPage : qMin(kPage, m_nLeft);
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

bool CRecordHistory::Next(CRecordEntry& entry)
{
    if (m_nLeft == 0)
        return false;
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
    entry = std::move(pSource->page[pSource->nAt++]);
    if (m_nLeft > 0)
        --m_nLeft;
    return true;
}
