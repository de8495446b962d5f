#pragma once

#include "crecordentry.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class CRecordDatabase;
class QSqlDatabase;
class QSqlQuery;

// The record's tables, the same in a station's SQLite file and a plant's PostgreSQL database,
// and how an entry maps onto a row of them.
class CRecordSchema
{
public:
    static constexpr int kVersion = 6;

    // The columns of an entry's row, in the order of Values() and Read().
    static QString Columns();
    // What creates or upgrades the tables, in this database's dialect.
    static QStringList Statements(const CRecordDatabase& db);
    // Creates or upgrades the tables, inside the caller's transaction; false with the reason.
    static bool Create(const QSqlDatabase& database, const CRecordDatabase& db, QString& strError);
    // The version of the tables there, 0 where there are none; false with the reason.
    static bool Version(CRecordDatabase& db, int& nVersion);
    // What adds the columns an older record's entries table lacks, given the columns it has.
    static QStringList Upgrades(const QStringList& columns);
    static QList<QVariant> Values(const CRecordEntry& entry);
    static CRecordEntry Read(const QSqlQuery& query);
    // A time as the "started" column holds it: UTC, ISO 8601 with milliseconds, so that text
    // order is time order.
    static QString UtcText(const QDateTime& time);
    // Stores nRows rows (of distinct ids); one with the same id as a stored row replaces it only
    // where that may be.
    static QString Upsert(int nRows = 1);
    // Stores nRows images (hash, bytes) that are not stored yet.
    static QString ImageInsert(int nRows);
};
