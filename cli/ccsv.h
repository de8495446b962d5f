#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>

// Lines of a CSV file as spreadsheets read them: a field with a comma, a quote or a line break is
// quoted, its quotes doubled.
class CCsv
{
public:
    static QString Line(const QStringList& fields);
    // A JSON value as a field: null empty, numbers in their shortest form, true and false, a
    // text that begins as a formula does behind a "'".
    static QString Text(const QJsonValue& value);
};
