#pragma once

#include "crecordentry.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariant>

// Many entries and images stored with few statements, inside the caller's transaction: each
// statement carries as many rows as a database takes bound values, since over a slow link a
// statement costs its round trip far more than its bytes. A failing call keeps the database's
// error in m_error, or, for an image that fails its key, the reason in m_strLastError.
class CRecordRows
{
public:
    // The fewer bound values a statement may carry of SQLite's (32 766) and PostgreSQL's (65 535).
    static constexpr int kMaxValues = 32766;
    // What a statement into a SQLite file carries.
    static constexpr int kSqliteValues = 999;

    explicit CRecordRows(const QSqlDatabase& database) : m_database(database) {}
    // Every image is checked against its SHA-256 before any is stored; m_bRefused says when one
    // failed it.
    bool PutImages(const QList<QPair<QString, QByteArray>>& images);
    // Entries of distinct ids.
    bool PutEntries(const QList<CRecordEntry>& entries);

    QString m_strLastError;
    QSqlError m_error;
    bool m_bRefused = false;

private:
    // Runs pfnSql(n) over the values, nColumns of them a row, in statements of as many rows as
    // may be.
    bool Insert(QString (*pfnSql)(int), int nColumns, const QList<QVariant>& values);

    QSqlDatabase m_database;
};
