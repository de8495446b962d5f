#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// Reads CSV back with a parser that is not the program's own (Python's csv module), so that a
// fault in the program's quoting cannot hide behind the same fault in its reader.
class CCsvParser
{
public:
    // The rows of UTF-8 CSV text; empty (with a warning) when the parser cannot run or refuses.
    static QList<QStringList> Parse(const QByteArray& csv);
};
