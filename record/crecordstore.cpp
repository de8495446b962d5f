#include "crecordstore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUuid>

namespace
{
const char* const kColumns =
    "id, started, duration_ms, station, operator, program_version, port, fingerprint, "
    "serial, version, boot_version, operation, result, step, address, reason, verified, "
    "image_before, image_after, source, source_hash, last_acknowledged, demo, partial, "
    "ambiguous, changes";

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS images (hash TEXT PRIMARY KEY, bytes %BLOB% NOT NULL)",
    "CREATE TABLE IF NOT EXISTS entries (id TEXT PRIMARY KEY, started TEXT NOT NULL, duration_ms INTEGER NOT "
    "NULL, "
    "station TEXT NOT NULL, operator TEXT NOT NULL, program_version TEXT NOT NULL, port TEXT, fingerprint "
    "TEXT, "
    "serial TEXT, version INTEGER, boot_version INTEGER, operation TEXT NOT NULL, result TEXT NOT NULL, step "
    "TEXT, "
    "address INTEGER, reason TEXT, verified INTEGER, image_before TEXT, image_after TEXT, source TEXT, "
    "source_hash TEXT, last_acknowledged INTEGER, demo INTEGER NOT NULL, partial INTEGER NOT NULL, "
    "ambiguous INTEGER NOT NULL, changes TEXT, uploaded INTEGER NOT NULL DEFAULT 0)",
    "CREATE INDEX IF NOT EXISTS entries_by_unit ON entries (fingerprint, started)",
    "CREATE INDEX IF NOT EXISTS entries_by_time ON entries (started)",
    "CREATE INDEX IF NOT EXISTS entries_by_image ON entries (image_after)",
    "CREATE INDEX IF NOT EXISTS entries_waiting ON entries (started) WHERE uploaded = 0",
    // One row a unit, for a quality engineer's tools: what it holds after its last transaction
    // (unknown after a write that never ended), and its latest serial.
    "%VIEW% unit_latest AS SELECT fingerprint, (SELECT s.serial FROM entries s WHERE s.fingerprint = "
    "latest.fingerprint AND s.serial IS NOT NULL ORDER BY s.started DESC LIMIT 1) AS serial, station, "
    "operator, started AS time, operation, result, partial, CASE WHEN result = 'attempted' THEN NULL ELSE "
    "image_after END AS image_hash FROM (SELECT fingerprint, station, operator, started, operation, result, "
    "partial, image_after, ROW_NUMBER() OVER (PARTITION BY fingerprint ORDER BY started DESC, id DESC) AS n "
    "FROM entries WHERE fingerprint IS NOT NULL AND demo = 0) latest WHERE n = 1",
};

QVariant Nullable(const QString& strValue)
{
    return strValue.isEmpty() ? QVariant() : QVariant(strValue);
}

QVariant Nullable(int nValue)
{
    return nValue < 0 ? QVariant() : QVariant(nValue);
}

// A text that may not be NULL.
QVariant Given(const QString& strValue)
{
    return QVariant(strValue.isNull() ? QStringLiteral("") : strValue);
}

QString UtcText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}
} // namespace

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
    {
        QSqlQuery query(Database());
        QStringList statements;
        if (!m_db.SchemaLock().isEmpty())
            statements << m_db.SchemaLock();
        for (const char* pszStatement : kSchema)
            statements << QString::fromLatin1(pszStatement)
                              .replace(QLatin1String("%BLOB%"), m_db.BlobType())
                              .replace(QLatin1String("%VIEW%"), m_db.CreateView());
        for (const QString& strStatement : statements)
            if (!query.exec(strStatement))
            {
                m_strLastError = query.lastError().text();
                query.finish();
                Rollback();
                return false;
            }
        query.prepare(QStringLiteral(
            "INSERT INTO meta (key, value) VALUES ('schema', ?) ON CONFLICT (key) DO UPDATE SET value = "
            "excluded.value WHERE CAST(meta.value AS INTEGER) < CAST(excluded.value AS INTEGER)"));
        query.addBindValue(QString::number(kSchemaVersion));
        if (!Run(query))
        {
            query.finish();
            Rollback();
            return false;
        }
        query.finish();
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
        query.addBindValue(strHash);
        query.addBindValue(bytes);
        if (!Run(query))
            return false;
    }
    return true;
}

bool CRecordStore::PutEntry(QSqlQuery& query, const CRecordEntry& entry)
{
    for (const QVariant& value : {Given(entry.strId),
                                  QVariant(UtcText(entry.timeStart)),
                                  QVariant(entry.nDurationMs),
                                  Given(entry.strStation),
                                  Given(entry.strOperator),
                                  Given(entry.strProgramVersion),
                                  Nullable(entry.strPort),
                                  Nullable(entry.strFingerprint),
                                  Nullable(entry.strSerial),
                                  Nullable(entry.nVersion),
                                  Nullable(entry.nBootVersion),
                                  Given(entry.strOperation),
                                  Given(entry.strResult),
                                  Nullable(entry.strStep),
                                  Nullable(entry.nAddress),
                                  Nullable(entry.strReason),
                                  entry.verified ? QVariant(int(*entry.verified)) : QVariant(),
                                  Nullable(entry.strImageBefore),
                                  Nullable(entry.strImageAfter),
                                  Nullable(entry.strSource),
                                  Nullable(entry.strSourceHash),
                                  Nullable(entry.nLastAcknowledged),
                                  QVariant(int(entry.bDemo)),
                                  QVariant(int(entry.bPartial)),
                                  QVariant(int(entry.bAmbiguous)),
                                  Nullable(entry.strChanges)})
        query.addBindValue(value);
    return Run(query);
}

bool CRecordStore::PutAll(const QList<CRecordEntry>& entries, const Images& images)
{
    if (!IsOpen() || !Begin())
        return false;
    bool bOk = true;
    {
        QSqlQuery query(Database());
        bOk = PutImages(query, images);
        if (bOk && !query.prepare(UpsertEntry()))
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

QString CRecordStore::UpsertEntry()
{
    const QStringList columns = QString::fromLatin1(kColumns).split(QStringLiteral(", "));
    QStringList places, updates;
    for (const QString& strColumn : columns)
    {
        places << QStringLiteral("?");
        if (strColumn != QLatin1String("id"))
            updates << QStringLiteral("%1 = excluded.%1").arg(strColumn);
    }
    // A final outcome replaces the "attempted" row written before the device was touched, and
    // a unit found ambiguous after its entry was made is marked; an entry stored twice (a spool
    // drained by two runs, an upload cut before it was noted) stays one, and a final one stays
    // final. A changed entry waits to go up to the plant again.
    updates << QStringLiteral("uploaded = 0");
    return QStringLiteral("INSERT INTO entries (%1) VALUES (%2) ON CONFLICT (id) DO UPDATE SET %3 "
                          "WHERE entries.result = 'attempted' OR entries.ambiguous < excluded.ambiguous")
        .arg(columns.join(QStringLiteral(", ")), places.join(QStringLiteral(", ")),
             updates.join(QStringLiteral(", ")));
}

bool CRecordStore::Select(const QString& strWhere, const QList<QVariant>& values, int nLimit,
                          QList<CRecordEntry>& entries, bool bOldestFirst)
{
    entries.clear();
    if (!IsOpen())
        return false;
    QSqlQuery query(Database());
    query.setForwardOnly(true);
    QString strSql = QStringLiteral("SELECT %1 FROM entries").arg(QLatin1String(kColumns));
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
    auto number = [&query](int nColumn) { return query.isNull(nColumn) ? -1 : query.value(nColumn).toInt(); };
    while (query.next())
    {
        CRecordEntry entry;
        entry.strId = query.value(0).toString();
        entry.timeStart = QDateTime::fromString(query.value(1).toString(), Qt::ISODateWithMs);
        entry.nDurationMs = query.value(2).toLongLong();
        entry.strStation = query.value(3).toString();
        entry.strOperator = query.value(4).toString();
        entry.strProgramVersion = query.value(5).toString();
        entry.strPort = query.value(6).toString();
        entry.strFingerprint = query.value(7).toString();
        entry.strSerial = query.value(8).toString();
        entry.nVersion = number(9);
        entry.nBootVersion = number(10);
        entry.strOperation = query.value(11).toString();
        entry.strResult = query.value(12).toString();
        entry.strStep = query.value(13).toString();
        entry.nAddress = number(14);
        entry.strReason = query.value(15).toString();
        if (!query.isNull(16))
            entry.verified = query.value(16).toInt() != 0;
        entry.strImageBefore = query.value(17).toString();
        entry.strImageAfter = query.value(18).toString();
        entry.strSource = query.value(19).toString();
        entry.strSourceHash = query.value(20).toString();
        entry.nLastAcknowledged = number(21);
        entry.bDemo = query.value(22).toInt() != 0;
        entry.bPartial = query.value(23).toInt() != 0;
        entry.bAmbiguous = query.value(24).toInt() != 0;
        entry.strChanges = query.value(25).toString();
        entries.append(entry);
    }
    return true;
}

bool CRecordStore::Find(const SQuery& filter, QList<CRecordEntry>& entries)
{
    QStringList where;
    QList<QVariant> values;
    auto add = [&](const char* pszCondition, const QVariant& value)
    {
        where << QString::fromLatin1(pszCondition);
        values << value;
    };
    if (!filter.strFingerprint.isEmpty())
    {
        // The start of one, as the history shows it: all fingerprints from it up to the next
        // digit after it; hex digits all sort below 'g'.
        add("fingerprint >= ?", filter.strFingerprint.toLower());
        add("fingerprint < ?", filter.strFingerprint.toLower() + QLatin1Char('g'));
    }
    if (!filter.strSerial.isEmpty())
        add("serial = ?", filter.strSerial);
    if (!filter.strPort.isEmpty())
        add("port = ?", filter.strPort);
    if (!filter.strStation.isEmpty())
        add("station = ?", filter.strStation);
    if (!filter.strOperator.isEmpty())
        add("operator = ?", filter.strOperator);
    if (filter.since.isValid())
        add("started >= ?", UtcText(filter.since));
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
    return true;
}

bool CRecordStore::IsPartialUnit(const QString& strFingerprint, bool& bPartial)
{
    bPartial = false;
    if (strFingerprint.isEmpty())
        return true;
    // The last write or restore that may have changed the unit decides; one that never reached it
    // (refused at its first block, a failed backup) does not.
    QList<CRecordEntry> entries;
    if (!Select(QStringLiteral(
                    "fingerprint = ? AND operation IN ('write', 'restore') AND "
                    "(result IN ('done', 'attempted', 'interrupted') OR last_acknowledged IS NOT NULL)"),
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
    if (!Select(QStringLiteral("image_after = ? AND partial = 1"), {strHash}, 1, entries))
        return false;
    bPartial = !entries.isEmpty();
    return true;
}

bool CRecordStore::MarkAmbiguous(const QStringList& ids)
{
    if (!IsOpen() || !Begin())
        return false;
    bool bOk = true;
    {
        QSqlQuery query(Database());
        // Changed after it was made: the entry goes up to the plant's record again.
        bOk = query.prepare(QStringLiteral("UPDATE entries SET ambiguous = 1, uploaded = 0 WHERE id = ?"));
        if (!bOk)
            m_strLastError = query.lastError().text();
        for (qsizetype i = 0; bOk && i < ids.size(); ++i)
        {
            query.addBindValue(ids[i]);
            bOk = Run(query);
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

bool CRecordStore::Waiting(int nMax, QList<CRecordEntry>& entries)
{
    return Select(QStringLiteral("uploaded = 0"), {}, nMax, entries, true);
}

bool CRecordStore::MarkUploaded(const QList<CRecordEntry>& entries, int& nMarked)
{
    nMarked = 0;
    if (!IsOpen() || !Begin())
        return false;
    bool bOk = true;
    {
        QSqlQuery query(Database());
        // Only as it went up: an entry completed or marked meanwhile waits for the next upload.
        bOk = query.prepare(
            QStringLiteral("UPDATE entries SET uploaded = 1 WHERE id = ? AND result = ? AND ambiguous = ?"));
        if (!bOk)
            m_strLastError = query.lastError().text();
        for (qsizetype i = 0; bOk && i < entries.size(); ++i)
        {
            query.addBindValue(entries[i].strId);
            query.addBindValue(entries[i].strResult);
            query.addBindValue(int(entries[i].bAmbiguous));
            bOk = Run(query);
            nMarked += qMax(0, query.numRowsAffected());
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
