#pragma once

#include <QJsonArray>
#include <QString>

// The words of a batch's results: the status of a line, and the table at the end of a run.
class CBatchSummary
{
public:
    // A result ("ok", "unverified", "failed", "refused") as the operator reads it.
    static QString ResultText(const QString& strResult, bool bPartial = false);
    // One row a result, under a header.
    static QString Table(const QJsonArray& results);
};
