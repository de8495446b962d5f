#pragma once

#include "crecordjournal.h"
#include "crecordstore.h"
#include "crecordupload.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QProcess;

// The record as a front end keeps it. Every entry goes first into the local record (the user's
// SQLite file, or the one named): the device line never waits on a network. Where the record
// named is a plant's PostgreSQL database, a process of its own (zint9-worker with a "sync" job)
// uploads what waits, and is killed when it does not answer in time: its entries stay waiting.
class CRecordKeeper
{
public:
    // strGiven: --record, or empty for ZINT9_RECORD, the setting, the user's file; strLocal: the
    // local record where the plant's is named, empty for the user's file.
    explicit CRecordKeeper(const QString& strGiven, const QString& strLocal = QString());
    ~CRecordKeeper();
    CRecordKeeper(const CRecordKeeper&) = delete;
    CRecordKeeper& operator=(const CRecordKeeper&) = delete;

    bool HasPlant() const { return !m_strPlant.isEmpty(); }
    // The plant's record without its password; empty when there is none.
    QString PlantShown() const;
    const QString& LocalLocation() const { return m_strLocal; }
    // The records a read looks into: the local one, and the plant's where one is named.
    QStringList Searched() const;
    // The local record, opened at first use; null when it cannot be opened (the journal then
    // keeps its entries in the spool).
    CRecordStore* Local();
    CRecordJournal* Journal(const CRecordJournal::SIdentity& identity);
    // The local record to be read: the one this run writes, or one opened read-only.
    CRecordStore* LocalReader();
    // The plant's record to be read, where one is named and answers; strNote says why not.
    CRecordStore* PlantReader(QString& strNote);
    // An entry by its id: this station's copy where it has one, else the plant's.
    bool Entry(const QString& strId, CRecordEntry& entry, QString& strError);
    // The records a history merges (CRecordHistory): the local one and, where a plant is named
    // and answers, the plant's, both opened to be read (strNote says when the plant does not).
    // Either may be null; false with strError when neither opens, strError set whenever the local
    // one does not.
    bool HistoryStores(CRecordStore*& pLocal, CRecordStore*& pPlant, QString& strNote, QString& strError);
    // What to say when the plant stopped answering in the middle of a history.
    QString PlantLost() const;
    // A unit's entries, newest first: every one this station made (the local record's, uploaded
    // or not) and, where a plant is named and answers, the other stations' too; strNote says when
    // the plant does not answer. False with strError when no record opens.
    bool UnitEntries(const CRecordStore::SQuery& query, QList<CRecordEntry>& entries, QString& strNote,
                     QString& strError);
    // An image of those entries by its SHA-256, from the local record or the plant's.
    bool Image(const QString& strHash, QByteArray& bytes, QString& strError);
    // Uploads what waits, in this process; pfnProgress is told how far it is.
    bool SyncNow(int& nUploaded, QString& strError,
                 const CRecordUpload::Progress& pfnProgress = CRecordUpload::Progress());
    // Starts an upload in a process of its own unless one runs.
    void StartSync();
    // Waits up to nMs for the uploads of what is recorded so far; one that runs on is killed.
    void FinishSync(int nMs);
    // Why the record is not where it should be (entries spooled, or kept locally only); once.
    QString TakeTrouble();
    // zint9-worker: beside the program in a build, in the package's folder when installed.
    static QString WorkerPath();

private:
    // Reads from this station's record, else from the plant's; a failure names both reasons.
    bool FromEither(const std::function<bool(CRecordStore&)>& pfnRead, QString& strError);
    // Entries the spool holds for the local record go into it before it is read: a read never
    // leaves them out unsaid.
    void TakeSpooled();
    bool WaitSync(int nMs);
    QString Trouble();

    QString m_strLocal;
    QString m_strPlant;
    CRecordStore m_local;
    bool m_bLocalTried = false;
    bool m_bSpoolTaken = false;
    CRecordStore m_localReader;
    CRecordStore m_plant; // opened for queries only
    std::unique_ptr<CRecordJournal> m_pJournal;
    std::unique_ptr<QProcess> m_pSync;
    QString m_strTrouble;
    bool m_bTold = false;
};
