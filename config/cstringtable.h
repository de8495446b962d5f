#pragma once

#include <QString>

// The numbered texts of res/strings.txt, loaded once on first use.
class CStringTable
{
public:
    // The text of string nId; an unknown number gives an empty string.
    static QString Load(int nId);
    // Parses the table's source text; exposed for the tests.
    static QHash<int, QString> Parse(const QByteArray& utf8);
};
