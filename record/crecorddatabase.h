#pragma once

#include <QSqlDatabase>
#include <QString>

// One connection to a record: a SQLite file ("sqlite:PATH" or a plain path) or a PostgreSQL
// database ("postgresql://[user[:password]@][host][:port]/dbname?host=SOCKETDIR&port=N&…", as
// PostgreSQL's own clients take it; a password left out comes from ~/.pgpass, a service from the
// service file). It knows what the two dialects say differently.
class CRecordDatabase
{
public:
    enum class EKind
    {
        None,
        Sqlite,
        Postgres,
    };

    CRecordDatabase() = default;
    ~CRecordDatabase();
    CRecordDatabase(const CRecordDatabase&) = delete;
    CRecordDatabase& operator=(const CRecordDatabase&) = delete;

    // nTimeoutS bounds the PostgreSQL connect; SQLite waits for another writer up to 10 s.
    bool Open(const QString& strLocation, int nTimeoutS = 3);
    void Close();
    bool IsOpen() const { return m_nKind != EKind::None; }
    EKind Kind() const { return m_nKind; }
    QSqlDatabase Database() const;
    // A transaction that writes takes its lock at once (SQLite) or waits for none (PostgreSQL).
    QString Begin() const;
    QString BlobType() const;
    // The start of a statement that makes a view where it is missing.
    QString CreateView() const;
    // Statements that keep two stations from creating the tables at once.
    QString SchemaLock() const;
    // The location as it may be shown: without its password.
    static QString Redacted(const QString& strLocation);
    // Which record a location names, as an entry waiting for it keeps it: the SQLite file's
    // absolute path, or the PostgreSQL URL without its password.
    static QString Key(const QString& strLocation);
    static bool IsPostgres(const QString& strLocation);

    QString m_strLastError;

private:
    bool OpenSqlite(const QString& strPath);
    bool OpenPostgres(const QString& strUrl, int nTimeoutS);
    bool Finish(QSqlDatabase& database, EKind nKind);

    EKind m_nKind = EKind::None;
    QString m_strConnection;
};
