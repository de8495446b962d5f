#include "crecordstore.h"

#include "cfingerprint.h"
#include "cparamzt01.h"
#include "crecordfilter.h"
#include "crecordschema.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QUuid>

#include <cstring>

CRecordStore::CRecordStore() = default;

CRecordStore::~CRecordStore() = default;

QString CRecordStore::Location(const QString& strGiven)
{
    if (!strGiven.isEmpty())
        return strGiven;
    const QString strEnvironment = qEnvironmentVariable("ZINT9_RECORD");
    if (!strEnvironment.isEmpty())
        return strEnvironment;
    const QString strSetting = QSettings().value(QStringLiteral("Settings/RecordDatabase")).toString();
    if (!strSetting.isEmpty())
        return strSetting;
    return UserLocation();
}

bool CRecordStore::CheckLocation(const QString& strGiven, QString& strError)
{
    const QString strLocation = Location(strGiven);
    // A scheme of one letter is a Windows drive.
    static const QRegularExpression kScheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]+):"));
    const QString strScheme = kScheme.match(strLocation).captured(1);
    if (strScheme.isEmpty() || strScheme == QLatin1String("sqlite") ||
        CRecordDatabase::IsPostgres(strLocation))
        return true;
    const QString strFrom = !strGiven.isEmpty() ? QStringLiteral("--record")
                            : !qEnvironmentVariable("ZINT9_RECORD").isEmpty()
                                ? QStringLiteral("ZINT9_RECORD")
                                : QStringLiteral("настройка RecordDatabase");
    strError = QStringLiteral("%1 «%2»: записи — это sqlite:ФАЙЛ, postgresql://… или путь к файлу")
                   .arg(strFrom, CRecordDatabase::Redacted(strLocation));
    return false;
}

QString CRecordStore::UserLocation()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/record.sqlite");
}

QSqlDatabase CRecordStore::Database() const
{
    return m_db.Database();
}

bool CRecordStore::Open(const QString& strLocation, int nTimeoutS)
{
    m_strKey = CRecordDatabase::Key(strLocation);
    if (!m_db.Open(strLocation, nTimeoutS))
    {
        m_strLastError = m_db.m_strLastError;
        return false;
    }
    if (CreateSchema())
        return true;
    m_db.Close();
    return false;
}

bool CRecordStore::Run(QSqlQuery& query)
{
    if (query.exec())
        return true;
    m_strLastError = query.lastError().text();
    return false;
}

bool CRecordStore::Begin()
{
    QSqlQuery query(Database());
    if (query.exec(m_db.Begin()))
        return true;
    m_strLastError = query.lastError().text();
    return false;
}

bool CRecordStore::Commit()
{
    QSqlQuery query(Database());
    if (query.exec(QStringLiteral("COMMIT")))
        return true;
    m_strLastError = query.lastError().text();
    Rollback();
    return false;
}

void CRecordStore::Rollback()
{
    QSqlQuery query(Database());
    query.exec(QStringLiteral("ROLLBACK"));
}

bool CRecordStore::CreateSchema()
{
    if (!Begin())
        return false;
    if (!CRecordSchema::Create(Database(), m_db, m_strLastError))
    {
        Rollback();
        return false;
    }
    return Commit();
}

bool CRecordStore::Put(const CRecordEntry& entry, const Images& images)
{
    return PutAll({entry}, images);
}

bool CRecordStore::PutImages(QSqlQuery& query, const Images& images)
{
    if (!query.prepare(
            QStringLiteral("INSERT INTO images (hash, bytes) VALUES (?, ?) ON CONFLICT (hash) DO NOTHING")))
    {
        m_strLastError = query.lastError().text();
        return false;
    }
    for (const auto& [strHash, bytes] : images)
    {
        if (const QString strFault = CFingerprint::ImageFault(strHash, bytes); !strFault.isEmpty())
        {
            m_strLastError = strFault;
            m_bRefused = true;
            return false;
        }
        query.addBindValue(strHash);
        query.addBindValue(bytes);
        if (!Run(query))
            return false;
    }
    return true;
}

bool CRecordStore::PutEntry(QSqlQuery& query, const CRecordEntry& entry)
{
    for (const QVariant& value : CRecordSchema::Values(entry))
        query.addBindValue(value);
    return Run(query);
}

bool CRecordStore::PutAll(const QList<CRecordEntry>& entries, const Images& images)
{
    m_bRefused = false;
    if (!IsOpen() || !Begin())
        return false;
    bool bOk = true;
    {
        QSqlQuery query(Database());
        bOk = PutImages(query, images);
        if (bOk && !query.prepare(CRecordSchema::Upsert()))
        {
            m_strLastError = query.lastError().text();
            bOk = false;
        }
        for (qsizetype i = 0; bOk && i < entries.size(); ++i)
            bOk = PutEntry(query, entries[i]);
        query.finish();
    }
    if (!bOk)
    {
        Rollback();
        return false;
    }
    return Commit();
}

bool CRecordStore::Select(const QString& strWhere, const QList<QVariant>& values, int nLimit,
                          QList<CRecordEntry>& entries, bool bOldestFirst)
{
    entries.clear();
    if (!IsOpen())
        return false;
    QSqlQuery query(Database());
    query.setForwardOnly(true);
    QString strSql = QStringLiteral("SELECT %1 FROM entries").arg(CRecordSchema::Columns());
    if (!strWhere.isEmpty())
        strSql += QStringLiteral(" WHERE ") + strWhere;
    strSql += bOldestFirst ? QStringLiteral(" ORDER BY started, id")
                           : QStringLiteral(" ORDER BY started DESC, id DESC");
    if (nLimit >= 0)
        strSql += QStringLiteral(" LIMIT %1").arg(nLimit);
    if (!query.prepare(strSql))
    {
        m_strLastError = query.lastError().text();
        return false;
    }
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!Run(query))
        return false;
    while (query.next())
        entries.append(CRecordSchema::Read(query));
    return true;
}

bool CRecordStore::Find(const SQuery& filter, QList<CRecordEntry>& entries)
{
    QStringList where;
    QList<QVariant> values;
    CRecordFilter::Conditions(filter, where, values);
    return Select(where.join(QStringLiteral(" AND ")), values, filter.nLimit, entries);
}

bool CRecordStore::Entry(const QString& strId, CRecordEntry& entry)
{
    QList<CRecordEntry> entries;
    if (!Select(QStringLiteral("id = ?"), {strId}, 1, entries))
        return false;
    if (entries.isEmpty())
    {
        m_strLastError = QStringLiteral("нет записи %1").arg(strId);
        return false;
    }
    entry = entries.first();
    return true;
}

bool CRecordStore::Image(const QString& strHash, QByteArray& bytes)
{
    if (!IsOpen())
        return false;
    QSqlQuery query(Database());
    if (!query.prepare(QStringLiteral("SELECT bytes FROM images WHERE hash = ?")))
    {
        m_strLastError = query.lastError().text();
        return false;
    }
    query.addBindValue(strHash);
    if (!Run(query))
        return false;
    if (!query.next())
    {
        m_strLastError = QStringLiteral("нет образа %1").arg(strHash);
        return false;
    }
    bytes = query.value(0).toByteArray();
    m_strLastError = CFingerprint::ImageFault(strHash, bytes);
    return m_strLastError.isEmpty();
}

bool CRecordStore::IsPartialUnit(const QString& strFingerprint, bool& bPartial)
{
    bPartial = false;
    if (strFingerprint.isEmpty())
        return true;
    // The last write or restore that may have changed the unit decides; one that never reached it
    // (refused at its first block, a failed backup) does not.
    QList<CRecordEntry> entries;
    if (!Select(QStringLiteral("fingerprint = ? AND operation IN ('write', 'restore') AND "
                               "(result IN ('done', 'unverified', 'attempted', 'interrupted') OR "
                               "last_acknowledged IS NOT NULL)"),
                {strFingerprint}, 1, entries))
        return false;
    // A write that never ended may have left anything; one cut where every changed byte had gone,
    // or none, left a whole image.
    bPartial = !entries.isEmpty() &&
               (entries.first().strResult == QLatin1String("attempted") || entries.first().bPartial);
    return true;
}

bool CRecordStore::IsPartialImage(const QString& strHash, bool& bPartial)
{
    QList<CRecordEntry> entries;
    // What a cut write left, until a later write or restore of the same image ended whole; a
    // read's mark says only that its unit was in doubt.
    if (!Select(QStringLiteral("image_after = ? AND operation IN ('write', 'restore') AND "
                               "(partial = 1 OR result = 'done')"),
                {strHash}, 1, entries))
        return false;
    bPartial = !entries.isEmpty() && entries.first().bPartial;
    return true;
}

bool CRecordStore::Waiting(int nMax, QList<CRecordEntry>& entries)
{
    return Select(QStringLiteral("uploaded = 0"), {}, nMax, entries, true);
}

bool CRecordStore::ImageVersion(const QString& strHash, int& nVersion)
{
    nVersion = -1;
    QList<CRecordEntry> entries;
    // A read's image is what the unit held; a write's "before" is what its backup holds.
    if (!Select(QStringLiteral("version IS NOT NULL AND ((operation = 'read' AND image_after = ?) OR "
                               "(operation IN ('write', 'restore') AND image_before = ?))"),
                {strHash, strHash}, 1, entries))
        return false;
    if (!entries.isEmpty())
        nVersion = entries.first().nVersion;
    return true;
}

bool CRecordStore::Update(const QString& strSql, const QList<QList<QVariant>>& rows, int* pAffected)
{
    if (pAffected)
        *pAffected = 0;
    if (!IsOpen() || !Begin())
        return false;
    bool bOk = true;
    {
        QSqlQuery query(Database());
        bOk = query.prepare(strSql);
        if (!bOk)
            m_strLastError = query.lastError().text();
        for (qsizetype i = 0; bOk && i < rows.size(); ++i)
        {
            for (const QVariant& value : rows[i])
                query.addBindValue(value);
            bOk = Run(query);
            if (bOk && pAffected)
                *pAffected += qMax(0, query.numRowsAffected());
        }
        query.finish();
    }
    if (!bOk)
    {
        Rollback();
        return false;
    }
    return Commit();
}

bool CRecordStore::MarkAmbiguous(const QStringList& ids)
{
    QList<QList<QVariant>> rows;
    for (const QString& strId : ids)
        rows.append({strId});
    // Changed after it was made: the entry goes up to the plant's record again.
    return Update(QStringLiteral("UPDATE entries SET ambiguous = 1, uploaded = 0 WHERE id = ?"), rows);
}

bool CRecordStore::MarkUploaded(const QList<CRecordEntry>& entries, int& nMarked)
{
    QList<QList<QVariant>> rows;
    for (const CRecordEntry& entry : entries)
        rows.append({entry.strId, entry.strResult, int(entry.bAmbiguous)});
    // Only as it went up: an entry completed or marked meanwhile waits for the next upload.
    return Update(
        QStringLiteral("UPDATE entries SET uploaded = 1 WHERE id = ? AND result = ? AND ambiguous = ?"), rows,
        &nMarked);
}
