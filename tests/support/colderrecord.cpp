#include "colderrecord.h"

QString COlderRecord::UnitView4()
{
    return "CREATE VIEW unit_latest AS SELECT fingerprint, (SELECT s.serial FROM entries s WHERE "
           "s.fingerprint = latest.fingerprint AND s.serial IS NOT NULL ORDER BY s.started DESC LIMIT 1) AS "
           "serial, station, operator, started AS time, operation, result, partial, CASE WHEN result = "
           "'attempted' THEN NULL ELSE image_after END AS image_hash FROM (SELECT fingerprint, station, "
           "operator, started, operation, result, partial, image_after, ROW_NUMBER() OVER (PARTITION BY "
           "fingerprint ORDER BY started DESC, id DESC) AS n FROM entries WHERE fingerprint IS NOT NULL AND "
           "demo = 0) latest WHERE n = 1";
}

QStringList COlderRecord::Schema(int nVersion, bool bPostgres)
{
    QString strEntries =
        "CREATE TABLE entries (id TEXT PRIMARY KEY, started TEXT NOT NULL, duration_ms INTEGER NOT NULL, "
        "station TEXT NOT NULL, operator TEXT NOT NULL, program_version TEXT NOT NULL, port TEXT, "
        "fingerprint "
        "TEXT, serial TEXT, version INTEGER, boot_version INTEGER, operation TEXT NOT NULL, result TEXT NOT "
        "NULL, step TEXT, address INTEGER, reason TEXT, verified INTEGER, image_before TEXT, image_after "
        "TEXT, "
        "source TEXT, source_hash TEXT, last_acknowledged INTEGER, demo INTEGER NOT NULL, partial INTEGER "
        "NOT "
        "NULL, ambiguous INTEGER NOT NULL, changes TEXT, uploaded INTEGER NOT NULL DEFAULT 0";
    strEntries +=
        nVersion >= 4 ? ", reason_key TEXT, received INTEGER, expected INTEGER, uploader TEXT)" : ")";
    QStringList statements{"CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
                           QStringLiteral("INSERT INTO meta VALUES ('schema', '%1')").arg(nVersion),
                           strEntries};
    if (nVersion >= 4)
        statements << QStringLiteral("CREATE TABLE images (hash TEXT PRIMARY KEY, bytes %1 NOT NULL)")
                          .arg(bPostgres ? "BYTEA" : "BLOB")
                   << UnitView4();
    statements << "INSERT INTO entries (id, started, duration_ms, station, operator, program_version, "
                  "operation, result, step, address, reason, demo, partial, ambiguous) VALUES ('old', "
                  "'2026-01-05T10:00:00.000Z', 100, 'line-1', 'ivanov', '1.0', 'write', 'failed', 'write', "
                  "112, 'прибор отказал', 0, 0, 0)";
    return statements;
}
