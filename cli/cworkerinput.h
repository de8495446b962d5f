#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What a batch worker hears from the first process on its standard input, after its job: a
// line "stop" (or the end of the input) to stop between units, and word of the run's other
// ports: "ambiguous FINGERPRINT" (a unit seen on two ports), "configured FINGERPRINT HASH" (a
// unit configured and verified, with its image's SHA-256); with --serials "serial REQUEST SERIAL
// OWNERS" (the answer to the worker's request for a serial: the serial percent-encoded, the
// fingerprints the record has it for, comma-separated, or "-") and "serials-ended". Read on a
// thread of its own.
class CWorkerInput
{
public:
    struct SSerial
    {
        int nRequest = 0;
        QString strSerial;
        QStringList owners; // the units the record knows under it
    };

    static void Watch();
    static bool Stopped();
    // The worker stops of itself (its parent can no longer hear it).
    static void Stop();
    static bool IsAmbiguous(const QString& strFingerprint);
    // This run configured the unit, and it then held the image of that hash.
    static bool IsConfigured(const QString& strFingerprint, const QString& strHash);
    static void Configured(const QString& strFingerprint, const QString& strHash);
    // Takes the serials that have come since, in order.
    static QList<SSerial> TakeSerials();
    // No more serials will come.
    static bool SerialsEnded();
};
