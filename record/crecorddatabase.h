#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

class QSqlError;

// One connection to a record: a SQLite file or a PostgreSQL database (see CRecordLocation). It
// knows what the two dialects say differently, and turns what the driver says into a reason a
// user can read.
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
    // bReadOnly: nothing is created or changed, a file in a folder that cannot be written too.
    bool Open(const QString& strLocation, int nTimeoutS, bool bReadOnly);
    void Close();
    bool IsOpen() const { return m_nKind != EKind::None; }
    EKind Kind() const { return m_nKind; }
    QSqlDatabase Database() const;
    // Keeps the reason of a failed statement in m_strLastError, and whether it says that the
    // file is damaged; false, for the caller to return.
    bool Fail(const QSqlError& error);
    // The SQLite file opened is no longer the one under its path (replaced or deleted).
    bool IsReplaced() const;
    // Which file the last SQLite open found under its path (CFileIdentity), kept after Close.
    const QByteArray& Identity() const { return m_identity; }
    // Notes which journal (the "-wal" file beside) this connection writes, after an open or a
    // commit; Journal() is it, kept after Close.
    void NoteJournal();
    const QByteArray& Journal() const { return m_journal; }
    // A transaction that writes takes its lock at once (SQLite) or waits for none (PostgreSQL).
    QString Begin() const;
    QString BlobType() const;
    // The start of a statement that makes a view or replaces it.
    QString CreateView() const;
    // The start of a statement that drops a view before CreateView makes it anew; empty where
    // CreateView replaces it in place.
    QString DropView() const;
    // Statements that keep two owners from creating the tables at once.
    QString SchemaLock() const;

    QString m_strLastError;
    // The last failure said the SQLite file is no database, or a damaged one.
    bool m_bDamaged = false;
    // The driver's code of the last failure.
    QString m_strCode;

private:
    bool OpenSqlite(const QString& strPath, bool bReadOnly);
    bool OpenSqliteFile(const QString& strName, const QString& strOptions);
    bool UseWal();
    bool OpenPostgres(const QString& strUrl, int nTimeoutS);
    bool Finish(QSqlDatabase& database, EKind nKind);

    EKind m_nKind = EKind::None;
    QString m_strConnection;
    QString m_strPath;
    QByteArray m_identity;
    QByteArray m_journal;
};
