#pragma once

#include <QString>
#include <QStringList>

// A record as an earlier version of the program left it, made statement by statement, so that a
// test sees what an upgrade finds.
class COlderRecord
{
public:
    // Schema 2 (before failures had keys) or 4 (before the units' view told the latest write
    // apart), with one failed write of no unit; bPostgres: a plant's database.
    static QStringList Schema(int nVersion, bool bPostgres);
    // The units' view as schema 4 made it.
    static QString UnitView4();
};
