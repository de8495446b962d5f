#pragma once

#include "crecorddatabase.h"
#include "crecordentry.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

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
        QDateTime since;
        int nLimit = -1;
        bool bDemo = false; // the demonstration image's entries only, which name no unit
        // Only the entries after this one in the order of Find: where the page before ended.
        QDateTime after;
        QString strAfterId;
    };

    CRecordStore();
    ~CRecordStore();
    CRecordStore(const CRecordStore&) = delete;
    CRecordStore& operator=(const CRecordStore&) = delete;

    // Where the record is: the given location, else ZINT9_RECORD, else the setting
    // "RecordDatabase", else the SQLite file in the user's data folder.
    static QString Location(const QString& strGiven);
    // The SQLite file in the user's data folder.
    static QString UserLocation();
    // Location(strGiven) is "sqlite:…", "postgresql://…" or a plain path; false, with what is
    // wrong and where the value came from, for anything else (a mistyped scheme would otherwise
    // make a folder named after it and keep the plant's entries there).
    static bool CheckLocation(const QString& strGiven, QString& strError);
    // "sqlite:PATH", a plain path or a "postgresql://" URL; creates the tables where they are
    // missing. nTimeoutS bounds a PostgreSQL connect.
    bool Open(const QString& strLocation, int nTimeoutS = 3);
    bool IsOpen() const { return m_db.IsOpen(); }
    // Which record the last Open named, opened or not (CRecordDatabase::Key).
    const QString& Key() const { return m_strKey; }
    CRecordDatabase::EKind Kind() const { return m_db.Kind(); }
    // Stores the entry (a later call with the same id replaces it) and the images it names.
    bool Put(const CRecordEntry& entry, const Images& images);
    // The same for many entries, in one transaction.
    bool PutAll(const QList<CRecordEntry>& entries, const Images& images);
    // Entries the plant's record does not hold yet, oldest first.
    bool Waiting(int nMax, QList<CRecordEntry>& entries);
    // The plant's record has committed these entries as they are given; nMarked says how many
    // were still so.
    bool MarkUploaded(const QList<CRecordEntry>& entries, int& nMarked);
    // Newest first.
    bool Find(const SQuery& query, QList<CRecordEntry>& entries);
    bool Entry(const QString& strId, CRecordEntry& entry);
    bool Image(const QString& strHash, QByteArray& bytes);
    // True when the unit's last write or restore may have left it holding a partial image.
    bool IsPartialUnit(const QString& strFingerprint, bool& bPartial);
    // Marks the entries as those of a unit whose fingerprint two ports showed at once.
    bool MarkAmbiguous(const QStringList& ids);
    // The device version of the latest unit seen holding the image (read from it, or backed up
    // before a write into it); -1 when the record knows none.
    bool ImageVersion(const QString& strHash, int& nVersion);
    // True when the record knows the image as one a torn write left behind, and no whole write
    // or restore of it since.
    bool IsPartialImage(const QString& strHash, bool& bPartial);

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
    bool Select(const QString& strWhere, const QList<QVariant>& values, int nLimit,
                QList<CRecordEntry>& entries, bool bOldestFirst = false);
    bool PutImages(QSqlQuery& query, const Images& images);
    // Runs the statement once a row of values, in one writing transaction; pAffected counts the
    // rows changed.
    bool Update(const QString& strSql, const QList<QList<QVariant>>& rows, int* pAffected = nullptr);
    bool PutEntry(QSqlQuery& query, const CRecordEntry& entry);

    CRecordDatabase m_db;
    QString m_strKey;
};
