#include "crecordschema.h"

#include "crecorddatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace
{
const char* const kColumns =
    "id, started, duration_ms, station, operator, program_version, port, fingerprint, "
    "serial, version, boot_version, operation, result, step, address, reason, verified, "
    "image_before, image_after, source, source_hash, last_acknowledged, demo, partial, "
    "ambiguous, changes, reason_key, received, expected, backup";

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
    "ambiguous INTEGER NOT NULL, changes TEXT, uploaded INTEGER NOT NULL DEFAULT 0, reason_key TEXT, "
    "received INTEGER, expected INTEGER, uploader TEXT, backup TEXT)",
    "CREATE INDEX IF NOT EXISTS entries_by_unit ON entries (fingerprint, started)",
    "CREATE INDEX IF NOT EXISTS entries_by_time ON entries (started)",
    "CREATE INDEX IF NOT EXISTS entries_by_image ON entries (image_after)",
    "CREATE INDEX IF NOT EXISTS entries_by_image_before ON entries (image_before)",
    "CREATE INDEX IF NOT EXISTS entries_waiting ON entries (started) WHERE uploaded = 0",
    // One row a unit, for a quality engineer's tools: what it holds after its last transaction
    // (unknown after a write that never ended), and its latest serial; then its latest write (a
    // restore only undoes one), and whether it holds what its last verified write gave it with
    // nothing gone wrong in a write or restore since. New columns go at the end: a replaced view
    // keeps the columns, the grants and the views built on it.
    "%VIEW% unit_latest AS SELECT latest.fingerprint, (SELECT s.serial FROM entries s WHERE s.fingerprint = "
    "latest.fingerprint AND s.serial IS NOT NULL ORDER BY s.started DESC LIMIT 1) AS serial, latest.station, "
    "latest.operator, latest.started AS time, latest.operation, latest.result, latest.partial, CASE WHEN "
    "latest.result = 'attempted' THEN NULL ELSE latest.image_after END AS image_hash, w.started AS "
    "last_write_time, w.result AS last_write_result, CASE WHEN latest.result <> 'attempted' AND "
    "latest.partial = 0 AND latest.image_after = d.image_after AND NOT EXISTS (SELECT 1 FROM entries f "
    "WHERE f.fingerprint = latest.fingerprint AND f.demo = 0 AND f.operation IN ('write', 'restore') AND "
    "(f.result IN ('failed', 'refused', 'interrupted', 'attempted') OR f.partial = 1) AND (f.started > "
    "d.started OR (f.started = d.started AND f.id > d.id))) THEN 1 ELSE 0 END AS configured FROM (SELECT "
    "fingerprint, station, operator, started, operation, result, partial, image_after, ROW_NUMBER() OVER "
    "(PARTITION BY fingerprint ORDER BY started DESC, id DESC) AS n FROM entries WHERE fingerprint IS NOT "
    "NULL AND demo = 0) latest LEFT JOIN (SELECT fingerprint, started, result, ROW_NUMBER() OVER (PARTITION "
    "BY fingerprint ORDER BY started DESC, id DESC) AS n FROM entries WHERE fingerprint IS NOT NULL AND demo "
    "= 0 AND operation = 'write') w ON w.fingerprint = latest.fingerprint AND w.n = 1 LEFT JOIN (SELECT "
    "fingerprint, id, started, image_after, ROW_NUMBER() OVER (PARTITION BY fingerprint ORDER BY started "
    "DESC, id DESC) AS n FROM entries WHERE fingerprint IS NOT NULL AND demo = 0 AND operation = 'write' AND "
    "result = 'done') d ON d.fingerprint = latest.fingerprint AND d.n = 1 WHERE latest.n = 1",
};

// A plant's database keeps each login to its own entries, whatever a station sends: a final entry
// stays as it was made (only a later doubt about its unit is added), and an "attempted" one is
// completed only by the login that made it.
const char* const kGuard[] = {
    "CREATE OR REPLACE FUNCTION entries_guard() RETURNS trigger LANGUAGE plpgsql AS $$\n"
    "DECLARE mark INTEGER;\n"
    "BEGIN\n"
    "    IF TG_OP = 'INSERT' THEN\n"
    "        NEW.uploader := session_user;\n"
    "        RETURN NEW;\n"
    "    END IF;\n"
    "    IF OLD.uploader IS NOT NULL AND OLD.uploader <> session_user THEN\n"
    "        RETURN NULL;\n"
    "    END IF;\n"
    "    IF OLD.result <> 'attempted' THEN\n"
    "        mark := GREATEST(OLD.ambiguous, NEW.ambiguous);\n"
    "        NEW := OLD;\n"
    "        NEW.ambiguous := mark;\n"
    "    END IF;\n"
    "    NEW.uploader := OLD.uploader;\n"
    "    RETURN NEW;\n"
    "END $$",
    "CREATE OR REPLACE TRIGGER entries_guard BEFORE INSERT OR UPDATE ON entries FOR EACH ROW EXECUTE "
    "FUNCTION entries_guard()",
    // An image is stored only under its own SHA-256: none can be planted before its station
    // uploads it. Rows from before the guard are checked when they are read.
    "DO $$ BEGIN\n"
    "    IF NOT EXISTS (SELECT 1 FROM pg_constraint WHERE conname = 'images_hash') THEN\n"
    "        ALTER TABLE images ADD CONSTRAINT images_hash CHECK (hash = encode(sha256(bytes), 'hex')) NOT "
    "VALID;\n"
    "    END IF;\n"
    "    EXECUTE format('REVOKE TEMPORARY ON DATABASE %I FROM PUBLIC', current_database());\n"
    "END $$",
    // The roles a plant's logins are made members of; made here where the owner may make roles.
    "DO $$ BEGIN\n"
    "    IF (SELECT rolcreaterole OR rolsuper FROM pg_roles WHERE rolname = current_user) THEN\n"
    "        IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'zint9_station') THEN\n"
    "            CREATE ROLE zint9_station NOLOGIN;\n"
    "        END IF;\n"
    "        IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'zint9_reader') THEN\n"
    "            CREATE ROLE zint9_reader NOLOGIN;\n"
    "        END IF;\n"
    "    END IF;\n"
    "    IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'zint9_station') THEN\n"
    "        GRANT SELECT, INSERT, UPDATE ON entries TO zint9_station;\n"
    "        GRANT SELECT, INSERT ON images TO zint9_station;\n"
    "        GRANT SELECT ON meta TO zint9_station;\n"
    "    END IF;\n"
    "    IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'zint9_reader') THEN\n"
    "        GRANT SELECT ON unit_latest TO zint9_reader;\n"
    "    END IF;\n"
    "END $$",
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

// "(?, ?), (?, ?)": nRows rows of nColumns bound values.
QString Places(int nRows, int nColumns)
{
    QStringList places(nColumns, QStringLiteral("?"));
    const QString strRow = QLatin1Char('(') + places.join(QStringLiteral(", ")) + QLatin1Char(')');
    return QStringList(nRows, strRow).join(QStringLiteral(", "));
}

} // namespace

QStringList CRecordSchema::Upgrades(const QStringList& columns)
{
    // Columns added since the first version; an older record keeps its entries, which have none.
    const char* const added[][2] = {{"reason_key", "TEXT"},
                                    {"received", "INTEGER"},
                                    {"expected", "INTEGER"},
                                    {"uploader", "TEXT"},
                                    {"backup", "TEXT"}};
    QStringList statements;
    for (const auto& column : added)
        if (!columns.contains(QLatin1String(column[0])))
            statements << QStringLiteral("ALTER TABLE entries ADD COLUMN %1 %2")
                              .arg(QLatin1String(column[0]), QLatin1String(column[1]));
    return statements;
}

bool CRecordSchema::Create(const QSqlDatabase& database, const CRecordDatabase& db, QString& strError)
{
    QSqlQuery query(database);
    auto run = [&](const QString& strStatement)
    {
        if (query.exec(strStatement))
            return true;
        strError = query.lastError().databaseText().trimmed();
        return false;
    };
    for (const QString& strStatement : Statements(db))
        if (!run(strStatement))
            return false;
    // The entries table as it stands, made now or by an earlier version.
    QStringList columns;
    const QSqlRecord record = database.record(QStringLiteral("entries"));
    for (int i = 0; i < record.count(); ++i)
        columns << record.fieldName(i);
    for (const QString& strStatement : Upgrades(columns))
        if (!run(strStatement))
            return false;
    if (db.Kind() == CRecordDatabase::EKind::Postgres)
        for (const char* pszStatement : kGuard)
            if (!run(QString::fromLatin1(pszStatement)))
                return false;
    query.prepare(QStringLiteral(
        "INSERT INTO meta (key, value) VALUES ('schema', ?) ON CONFLICT (key) DO UPDATE SET value = "
        "excluded.value WHERE CAST(meta.value AS INTEGER) < CAST(excluded.value AS INTEGER)"));
    query.addBindValue(QString::number(kVersion));
    if (query.exec())
        return true;
    strError = query.lastError().databaseText().trimmed();
    return false;
}

bool CRecordSchema::Version(CRecordDatabase& db, int& nVersion)
{
    nVersion = 0;
    if (!db.Database().tables().contains(QStringLiteral("meta")))
        return true;
    QSqlQuery query(db.Database());
    if (!query.exec(QStringLiteral("SELECT value FROM meta WHERE key = 'schema'")))
        return db.Fail(query.lastError());
    if (query.next())
        nVersion = query.value(0).toInt();
    return true;
}

QString CRecordSchema::UtcText(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QString CRecordSchema::Columns()
{
    return QString::fromLatin1(kColumns);
}

QStringList CRecordSchema::Statements(const CRecordDatabase& db)
{
    QStringList statements;
    if (!db.SchemaLock().isEmpty())
        statements << db.SchemaLock();
    for (const char* pszStatement : kSchema)
    {
        const QString strStatement = QString::fromLatin1(pszStatement);
        if (strStatement.startsWith(QLatin1String("%VIEW% ")) && !db.DropView().isEmpty())
            statements << db.DropView() + strStatement.section(QLatin1Char(' '), 1, 1);
        statements << QString(strStatement)
                          .replace(QLatin1String("%BLOB%"), db.BlobType())
                          .replace(QLatin1String("%VIEW%"), db.CreateView());
    }
    return statements;
}

QList<QVariant> CRecordSchema::Values(const CRecordEntry& entry)
{
    return {Given(entry.strId),
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
            Nullable(entry.strChanges),
            Nullable(entry.strReasonKey),
            Nullable(entry.nReceived),
            Nullable(entry.nExpected),
            Nullable(entry.strBackup)};
}

CRecordEntry CRecordSchema::Read(const QSqlQuery& query)
{
    auto number = [&query](int nColumn) { return query.isNull(nColumn) ? -1 : query.value(nColumn).toInt(); };
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
    entry.strReasonKey = query.value(26).toString();
    entry.nReceived = number(27);
    entry.nExpected = number(28);
    entry.strBackup = query.value(29).toString();
    return entry;
}

QString CRecordSchema::Upsert(int nRows)
{
    // A final outcome replaces the "attempted" row its own station wrote before the device was
    // touched, and a unit found ambiguous after its entry was made is marked; nothing else of a
    // stored entry changes. An entry stored twice (a spool drained by two runs, an upload cut
    // before it was noted) stays one, and a final one stays final. A changed entry waits to go up
    // to the plant again.
    static const char* const kCompletes =
        "(entries.result = 'attempted' AND entries.station = excluded.station)";
    const QStringList columns = Columns().split(QStringLiteral(", "));
    QStringList updates;
    for (const QString& strColumn : columns)
    {
        if (strColumn == QLatin1String("ambiguous"))
            updates << QStringLiteral("ambiguous = CASE WHEN excluded.ambiguous > entries.ambiguous THEN "
                                      "excluded.ambiguous ELSE entries.ambiguous END");
        else if (strColumn != QLatin1String("id"))
            updates << QStringLiteral("%1 = CASE WHEN %2 THEN excluded.%1 ELSE entries.%1 END")
                           .arg(strColumn, QLatin1String(kCompletes));
    }
    updates << QStringLiteral("uploaded = 0");
    return QStringLiteral("INSERT INTO entries (%1) VALUES %2 ON CONFLICT (id) DO UPDATE SET %3 WHERE %4 OR "
                          "entries.ambiguous < excluded.ambiguous")
        .arg(columns.join(QStringLiteral(", ")), Places(nRows, int(columns.size())),
             updates.join(QStringLiteral(", ")), QLatin1String(kCompletes));
}

QString CRecordSchema::ImageInsert(int nRows)
{
    // An image is its hash: one stored already is the same.
    return QStringLiteral("INSERT INTO images (hash, bytes) VALUES %1 ON CONFLICT (hash) DO NOTHING")
        .arg(Places(nRows, 2));
}
