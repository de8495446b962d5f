#pragma once

#include "crecordstore.h"

#include <QList>
#include <QStringList>
#include <QVariant>

// What a query of the record asks of the entries table: its conditions, each with its values.
class CRecordFilter
{
public:
    static void Conditions(const CRecordStore::SQuery& query, QStringList& where, QList<QVariant>& values);
};
