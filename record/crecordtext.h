#pragma once

#include <QString>

// What the record says of itself when it is not as it should be, in the user's words.
class CRecordText
{
public:
    static QString Damaged(const QString& strLocation, const QString& strWhy);
    static QString SetAside(const QString& strLocation, const QString& strWhy, const QString& strAside);
    static QString Replaced(const QString& strLocation);
    static QString ReplacedHeld(const QString& strLocation);
    // Tables of a later version than this program's.
    static QString Newer(const QString& strLocation, int nVersion);
    // No tables, or older ones, where this program may not make them.
    static QString Unprepared(const QString& strLocation, int nVersion);
};
