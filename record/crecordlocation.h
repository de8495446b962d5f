#pragma once

#include <QString>

// Where a record is, as a user names it: "sqlite:PATH", a plain path, or a PostgreSQL URL
// ("postgresql://[user[:password]@][host][:port]/dbname?host=SOCKETDIR&port=N&…", as PostgreSQL's
// own clients take it; a password left out comes from ~/.pgpass, a service from the service file).
class CRecordLocation
{
public:
    // The given location, else ZINT9_RECORD, else the setting "RecordDatabase", else the SQLite
    // file in the user's data folder.
    static QString Of(const QString& strGiven);
    // The SQLite file in the user's data folder.
    static QString User();
    // Of(strGiven) is a path, "sqlite:…" or a well-formed PostgreSQL URL; false, with what is wrong
    // and where the value came from, for anything else (a mistyped scheme would otherwise make a
    // folder named after it, and a password with a bare "/" would send a piece of it as a host).
    static bool Check(const QString& strGiven, QString& strError);
    static bool CheckUrl(const QString& strUrl, QString& strError);
    static bool IsPostgres(const QString& strLocation);
    // Begins as a PostgreSQL URL but is not one.
    static bool LooksPostgres(const QString& strLocation);
    // The location as it may be shown: without any password it carries.
    static QString Redacted(const QString& strLocation);
    // The location as a command may be given it again: a SQLite file by its absolute path, a
    // PostgreSQL URL without any password it carries (~/.pgpass or the service file gives it).
    static QString WithoutPassword(const QString& strLocation);
    // Which record a location names, as an entry waiting for it keeps it: the SQLite file's
    // absolute path, or the PostgreSQL URL without its password.
    static QString Key(const QString& strLocation);
    // The SQLite file a location names.
    static QString SqlitePath(const QString& strLocation);
};
