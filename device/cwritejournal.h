#pragma once

#include <QString>

class CParamZT01;
class CWriteSession;

// What a write session tells the record of its work. The record keeps an entry for each connect
// and each write; without a journal nothing is recorded. A journal never stops the device work:
// its own failures are its own to report.
class CWriteJournal
{
public:
    virtual ~CWriteJournal() = default;
    // A connect has ended, read or not.
    virtual void Connected(const CWriteSession& session) = 0;
    // The backup is made and nothing has reached the device yet.
    virtual void WriteStarting(const CWriteSession& session) = 0;
    // The write has ended, verified or not.
    virtual void WriteFinished(const CWriteSession& session) = 0;
    // The id of the last entry made, by which a restore finds it.
    virtual QString LastEntryId() const = 0;
    // The unit last connected may hold a partial image.
    virtual bool UnitPartial() const = 0;
    // The record knows the image as one a torn write left in a unit.
    virtual bool ImagePartial(const CParamZT01& image) = 0;
    // The device version of the unit the image was read from (or backed up from), where the
    // record knows it; -1 where it does not.
    virtual int ImageOrigin(const CParamZT01& image) = 0;
};
