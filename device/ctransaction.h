#pragma once

#include "cfailure.h"
#include "cparamzt01.h"

#include <QDateTime>
#include <QString>

#include <optional>

// What one transaction with a unit came to, worked out once by the write session; the record's
// entry, a batch's result (its --json object, report row and summary row) and the front ends'
// messages are all made from it, so that they never disagree.
class CTransaction
{
public:
    enum class EOperation
    {
        Read,
        Write,
        Restore,
    };
    enum class EResult
    {
        Attempted,   // under way: nothing is known of its end yet
        Done,        // read; written whole and, where asked, read back equal
        Unverified,  // written whole, not read back (as asked)
        Already,     // the unit held what this run had given it: not written again
        Failed,      // nothing reached the unit, or what did is known
        Refused,     // by the checks, or by the unit
        Interrupted, // cut after the unit may have taken some of it
    };
    // How well the held image is known.
    enum class EHeld
    {
        Unknown, // never read
        Certain, // read, or written whole
        Partial, // may be neither the old image nor the new
    };

    // The keys the record and every output use: "read"; "done", "unverified", …
    static QString OperationKey(EOperation nOperation);
    static QString ResultKey(EResult nResult);
    // EResult::Failed for a key that is none of them.
    static EResult ResultOfKey(const QString& strKey);
    // The unit holds what it was to get: written whole, or found holding it.
    static bool Configured(EResult nResult)
    {
        return nResult == EResult::Done || nResult == EResult::Unverified || nResult == EResult::Already;
    }

    EOperation nOperation = EOperation::Read;
    EResult nResult = EResult::Attempted;
    CFailure failure;
    QDateTime timeStart; // UTC
    qint64 nDurationMs = 0;
    QString strPort;   // empty in demonstration mode
    int nVersion = -1; // -1: the unit did not answer the versions request
    int nBootVersion = -1;
    QString strBackup;
    std::optional<bool> verified; // not set where no read-back was asked
    int nLastAcknowledged = -1;   // of a write: the last block address the unit acknowledged
    CParamZT01 before;            // of a write: what the unit held before it
    CParamZT01 sent;              // of a write: the image sent
    CParamZT01 held;              // what the unit holds, as far as is known
    EHeld nHeld = EHeld::Unknown;
};
