#pragma once

#include "crecordentry.h"
#include "crecordstore.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>

// A history read from this station's record and the plant's at once, newest first (by start,
// then by id), each entry once: where both hold an entry, this station's copy, the newer word on
// it (its marks are made here first; its start never changes). Each record is read a page at a
// time, so that no whole result is ever held, whatever the record's size. A record that fails
// is left out from there on; its store keeps the reason. With query.bLatest it gives one entry a
// unit: the newest of those the filters pick.
class CRecordHistory
{
public:
    static constexpr int kPage = 500;

    // Either record may be null; query.nLimit bounds what Next gives of both together.
    CRecordHistory(CRecordStore* pLocal, CRecordStore* pPlant, const CRecordStore::SQuery& query);
    // The next entry; false at the end.
    bool Next(CRecordEntry& entry);
    bool LocalFailed() const { return m_local.bFailed; }
    bool PlantFailed() const { return m_plant.bFailed; }

private:
    struct SSource
    {
        CRecordStore* pStore = nullptr;
        QList<CRecordEntry> page;
        qsizetype nAt = 0;
        // Where its last page ended: the next begins after it.
        QDateTime after;
        QString strAfterId;
        bool bEnd = false;
        bool bFailed = false;
    };

    // The source's next entry, its next page read where one is due; null at its end.
    const CRecordEntry* Head(SSource& source);
    bool Read(SSource& source);
    // The next entry of both records together, the limit aside.
    bool Merged(CRecordEntry& entry);
    // The plant's copy is one this station has completed since it went up.
    bool IsSuperseded(const CRecordEntry& plant);
    static bool IsNewer(const CRecordEntry& a, const CRecordEntry& b);
    // What m_units keeps of a unit.
    static QByteArray UnitKey(const QString& strFingerprint);

    CRecordStore::SQuery m_query;
    int m_nLeft; // -1: no limit
    SSource m_local;
    SSource m_plant;
    QSet<QByteArray> m_units; // with bLatest: the fingerprints given so far
};
