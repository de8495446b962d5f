#pragma once

#include "cparamzt01.h"
#include "crecordentry.h"

#include <QList>
#include <QString>

#include <optional>

class CRecordKeeper;
class CZTAppConfig;

// What a configuration protocol says of one unit, taken from the record: the entry of its write
// (or of a read, for a unit in the state it was read in), the image it holds after it, and for
// a write the image before it. Widget-free; CProtocolPage draws it.
class CProtocol
{
public:
    struct SRow
    {
        QString strName;
        QString strValue;
    };
    struct SChange
    {
        QString strName;
        QString strBefore;
        QString strAfter;
    };

    // The protocol of the entry strId; false with strError when it or its images are not there.
    static bool OfEntry(CRecordKeeper& keeper, const QString& strId, CProtocol& protocol, QString& strError);
    // The protocol of a unit as it stands, read just now (read): its latest write or restore
    // while the unit still holds what that gave it, else its latest read of the image it holds,
    // with the write that did not configure it since.
    static bool OfUnit(CRecordKeeper& keeper, const CRecordEntry& read, CProtocol& protocol,
                       QString& strError);
    // A write's result in words, with its reason: «прибор отказал: …».
    static QString ResultText(const CRecordEntry& entry);

    // A write or restore: it changed the unit; else the state as read.
    bool IsWrite() const { return entry.strOperation != QLatin1String("read"); }
    QList<SRow> Unit() const;
    QList<SRow> Work() const;
    QList<SRow> Settings(const CZTAppConfig& app) const;
    // What the write changed, in the wizard's words; empty for a read or a write of the same
    // settings.
    QList<SChange> Changes(const CZTAppConfig& app) const;
    // «Запись выполнена, записанное сверено с прибором», …
    QString Outcome() const;
    // A time in this computer's zone, and the zone.
    static QString LocalTime(const QDateTime& time);
    // A file name for it: the serial (or the fingerprint's start) and the time,
    // "protocol-SN-0001-20261211-081502.pdf".
    QString FileName() const;

    CRecordEntry entry;
    CParamZT01 held;
    std::optional<CParamZT01> before;
    std::optional<CRecordEntry>
        lastAttempt; // of a unit as read: the latest write, which did not configure it

private:
    static bool Image(CRecordKeeper& keeper, const QString& strHash, CParamZT01& image, QString& strError);
};
