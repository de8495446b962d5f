#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

// One transaction with one unit, as the record keeps it: who did what, where and when, to which
// unit, with which outcome, and the images before and after (by their SHA-256).
class CRecordEntry
{
public:
    // The entry as `zint9 history --json` gives it, and back.
    QJsonObject Json() const;
    static CRecordEntry FromJson(const QJsonObject& json);
    // The keys of Json() in the order a table shows them.
    static QStringList Keys();
    // The words strOperation and strResult take in the record.
    static QStringList Operations();
    static QStringList Results();

    QString strId;       // a UUID, unique across stations
    QDateTime timeStart; // UTC
    qint64 nDurationMs = 0;
    QString strStation;
    QString strOperator;
    QString strProgramVersion;
    QString strPort;
    QString strFingerprint; // empty: the unit could not be identified
    QString strSerial;
    int nVersion = -1; // device version; -1 unknown
    int nBootVersion = -1;
    QString strOperation; // read, write, restore
    QString strResult;    // attempted, done, failed, refused, interrupted
    QString strStep;      // of a failure: open, versions, read, backup, write, verify
    int nAddress = -1;
    QString strReason;    // in words
    QString strReasonKey; // the same for queries: timeout, refused, mismatch, …
    // A time-out: the bytes received of those expected; a mismatch: the byte read back and the
    // one written. -1 where the reason has none.
    int nReceived = -1;
    int nExpected = -1;
    std::optional<bool> verified; // not set where no verify was asked
    QString strImageBefore;       // SHA-256 in hex; empty for none
    QString strImageAfter;
    QString strBackup; // of a write or restore: the file that keeps the image before it
    QString strSource; // write --in: the file
    QString strSourceHash;
    int nLastAcknowledged = -1; // of a write: the last block address the unit acknowledged
    bool bDemo = false;
    bool bPartial = false;   // the unit may hold a partial image
    bool bAmbiguous = false; // another port of the same run showed the same fingerprint
    QString strChanges;      // the settings that changed, as the history shows them
};
