#pragma once

#include <QString>
#include <QStringList>

// What the record says of itself when it is not as it should be, in the user's words.
class CRecordText
{
public:
    // "в записях … нет записи …": strWhat (an entry's id, a unit's write) is in none of them.
    static QString NoEntry(const QStringList& locations, const QString& strWhat);
    static QString Damaged(const QString& strLocation, const QString& strWhy);
    static QString SetAside(const QString& strLocation, const QString& strWhy, const QString& strAside);
    static QString Replaced(const QString& strLocation);
    static QString ReplacedHeld(const QString& strLocation);
    // Tables of a later version than this program's.
    static QString Newer(const QString& strLocation, int nVersion);
    // No tables, or older ones, where this program may not make them.
    static QString Unprepared(const QString& strLocation, int nVersion);
};
