#pragma once

#include <QDateTime>
#include <QString>

class CConsole;
class COptions;
class CTransaction;

// A batch worker's --trace FOLDER: one traffic log a port; at a station one a unit, named with
// its time and, once it is known, the unit's fingerprint. A log that cannot be written whole is
// said, and bLost set.
class CUnitTrace
{
public:
    // The log of the unit in hand, begun; its path, or empty.
    static QString Start(const COptions& options, const QString& strPort, const QDateTime& started,
                         CConsole& console, bool& bLost);
    // Ended, and named with the fingerprint of the unit the transaction left.
    static void Finish(const QString& strPath, const COptions& options, const CTransaction& transaction,
                       CConsole& console, bool& bLost);
};
