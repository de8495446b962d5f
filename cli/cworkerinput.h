#pragma once

#include <QString>

// What a batch worker hears from the first process on its standard input, after its job: a
// line "stop" (or the end of the input) to stop between units, and word of the run's other
// ports: "ambiguous FINGERPRINT" (a unit seen on two ports), "configured FINGERPRINT HASH" (a
// unit configured and verified, with its image's SHA-256). Read on a thread of its own.
class CWorkerInput
{
public:
    static void Watch();
    static bool Stopped();
    // The worker stops of itself (its parent can no longer hear it).
    static void Stop();
    static bool IsAmbiguous(const QString& strFingerprint);
    // This run configured the unit, and it then held the image of that hash.
    static bool IsConfigured(const QString& strFingerprint, const QString& strHash);
    static void Configured(const QString& strFingerprint, const QString& strHash);
};
