#include "crecordrows.h"

#include "cfingerprint.h"
#include "crecordschema.h"

#include <QSqlError>
#include <QSqlQuery>

bool CRecordRows::PutImages(const QList<QPair<QString, QByteArray>>& images)
{
    m_bRefused = false;
    QList<QVariant> values;
    for (const auto& [strHash, bytes] : images)
    {
        if (const QString strFault = CFingerprint::ImageFault(strHash, bytes); !strFault.isEmpty())
        {
            m_strLastError = strFault;
            m_bRefused = true;
            return false;
        }
        values << strHash << bytes;
    }
    return Insert(CRecordSchema::ImageInsert, 2, values);
}

bool CRecordRows::PutEntries(const QList<CRecordEntry>& entries)
{
    QList<QVariant> values;
    for (const CRecordEntry& entry : entries)
        values << CRecordSchema::Values(entry);
    return Insert(CRecordSchema::Upsert, int(CRecordSchema::Columns().count(QLatin1Char(',')) + 1), values);
}

bool CRecordRows::Insert(QString (*pfnSql)(int), int nColumns, const QList<QVariant>& values)
{
    const qsizetype nRows = values.size() / qMax(1, nColumns);
    // A local file gains nothing by long statements, and SQLite binds each value by a search
    // through all of them: there a statement's values stay few.
    const int nMaxValues = m_database.driverName() == QLatin1String("QSQLITE") ? kSqliteValues : kMaxValues;
    const qsizetype nMaxRows = qMax(1, nMaxValues / qMax(1, nColumns));
    QSqlQuery query(m_database);
    qsizetype nPrepared = 0;
    bool bOk = true;
    for (qsizetype nFirst = 0; bOk && nFirst < nRows; nFirst += nMaxRows)
    {
        // Only the last statement may carry fewer rows, and needs a text of its own.
        const qsizetype nCount = qMin(nMaxRows, nRows - nFirst);
        if (nCount != nPrepared)
            bOk = query.prepare(pfnSql(int(nCount)));
        nPrepared = nCount;
        for (qsizetype i = nFirst * nColumns; bOk && i < (nFirst + nCount) * nColumns; ++i)
            query.addBindValue(values[i]);
        bOk = bOk && query.exec();
    }
    if (!bOk)
        m_error = query.lastError();
    query.finish();
    return bOk;
}
