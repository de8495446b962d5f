#pragma once

#include "crecordentry.h"
#include "crecordstore.h"

#include <QList>
#include <QString>

// Made-up entries for a record, as many as a test needs.
class CTestEntries
{
public:
    // nCount reads of units with the given result, a millisecond apart (oldest first), each
    // naming one of the few images given back.
    static QList<CRecordEntry> Reads(int nCount, const QString& strResult, CRecordStore::Images& images);
};
