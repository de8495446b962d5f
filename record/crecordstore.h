#pragma once

#include "crecorddatabase.h"
#include "crecordentry.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

class QSqlError;
class QSqlQuery;

// The record: every entry and every image it names, in a SQLite file (by default the user's
// own). Safe for many processes at once: WAL, a busy time-out, and every writing transaction
// begun IMMEDIATE so that two writers never both read before writing. Each failing call keeps
// its reason in m_strLastError.
class CRecordStore
{
public:
    using Images = QList<QPair<QString, QByteArray>>; // SHA-256 in hex and the 512 bytes

    struct SQuery
    {
        QString strFingerprint; // a full fingerprint or the start of one
        QString strSerial;
        QString strPort;
        QString strStation;
        QString strOperator;
        QString strOperation; // read, write, restore
        QString strResult;
        QString strSourceHash; // a full hash or the start of one
        QDateTime since;
        QDateTime until; // only entries that started before it
        int nLimit = -1;
        bool bDemo = false; // the demonstration image's entries only, which name no unit
        // Only entries that name a unit (a fingerprint, not the demonstration image), of which
        // CRecordHistory gives each unit's newest.
        bool bLatest = false;
        // Only the entries after this one in the order of Find: where the page before ended.
        QDateTime after;
        QString strAfterId;
    };

    CRecordStore();
    ~CRecordStore();
    CRecordStore(const CRecordStore&) = delete;
    CRecordStore& operator=(const CRecordStore&) = delete;

    // How a record is opened. Read creates and changes nothing (a file that is not there is an
    // empty record); Write keeps a station's own SQLite file's tables up itself, but a plant's
    // only where its owner has made them; Init makes or upgrades the tables, for an owner.
    enum class EAccess
    {
        Read,
        Write,
        Init,
    };

    // "sqlite:PATH", a plain path or a "postgresql://" URL; nTimeoutS bounds a PostgreSQL
    // connect. A SQLite file found damaged when it is to be written is set aside (TakeNotice says
    // where) and begun anew.
    bool Open(const QString& strLocation, int nTimeoutS = 3, EAccess nAccess = EAccess::Write);
    bool IsOpen() const { return m_db.IsOpen(); }
    // Which record the last Open named, opened or not (CRecordLocation::Key).
    const QString& Key() const { return m_strKey; }
    CRecordDatabase::EKind Kind() const { return m_db.Kind(); }
    // Stores the entry (a later call with the same id replaces it) and the images it names.
    bool Put(const CRecordEntry& entry, const Images& images);
    // The same for many entries (of distinct ids), in one transaction.
    bool PutAll(const QList<CRecordEntry>& entries, const Images& images);
    // Entries the plant's record does not hold yet, oldest first.
    bool Waiting(int nMax, QList<CRecordEntry>& entries);
    bool CountWaiting(int& nCount);
    // The plant's record has committed these entries as they are given; nMarked says how many
    // were still so.
    bool MarkUploaded(const QList<CRecordEntry>& entries, int& nMarked);
    // Newest first.
    bool Find(const SQuery& query, QList<CRecordEntry>& entries);
    bool Entry(const QString& strId, CRecordEntry& entry);
    bool Image(const QString& strHash, QByteArray& bytes);
    // Marks the entries as those of a unit whose fingerprint two ports showed at once.
    bool MarkAmbiguous(const QStringList& ids);
    // What the user should hear once of the record though nothing failed (a damaged file set
    // aside, a replaced one followed); empty after it is taken.
    QString TakeNotice();
    // Entries whose columns meet strWhere (with values bound in order), newest first.
    bool Select(const QString& strWhere, const QList<QVariant>& values, int nLimit,
                QList<CRecordEntry>& entries, bool bOldestFirst = false);

    QString m_strLastError;
    // The last Put failed on what it was given (an image that fails its key), not on the
    // database: given again, it fails again.
    bool m_bRefused = false;

private:
    QSqlDatabase Database() const;
    bool Run(QSqlQuery& query);
    bool Begin();
    bool Commit();
    void Rollback();
    bool CreateSchema();
    bool OpenAs(EAccess nAccess);
    // Checks, makes or upgrades the tables as nAccess allows; bNone: an empty record in memory.
    bool Prepare(EAccess nAccess, bool bNone);
    bool Reopen(EAccess nAccess);
    bool SetAside();
    bool SetJournalAside();
    bool Refuse(const QString& strWhy);
    // The connection's last reason, as the store's; false.
    bool Fail();
    bool Fail(const QSqlError& error);
    // Runs the statement once a row of values, in one writing transaction; pAffected counts the
    // rows changed.
    bool Update(const QString& strSql, const QList<QList<QVariant>>& rows, int* pAffected = nullptr);
    bool PutOnce(const QList<CRecordEntry>& entries, const Images& images);

    CRecordDatabase m_db;
    QString m_strKey;
    QString m_strLocation;
    QString m_strNotice;
    int m_nTimeoutS = 3;
    EAccess m_nAccess = EAccess::Write;
    bool m_bReplaced = false; // the file was replaced and the new one is not open yet
};
