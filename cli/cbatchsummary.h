#pragma once

#include <QJsonArray>
#include <QString>
#include <QStringList>

// The words of a batch's results: the status of a line, and the table at the end of a run.
class CBatchSummary
{
public:
    // A result ("done", "unverified", "already", "failed", "refused", "interrupted") as the
    // operator reads it.
    static QString ResultText(const QString& strResult, bool bPartial = false);
    // One row a result, under a header.
    static QString Table(const QJsonArray& results);
    // The results in the order of their ports in the list.
    static QJsonArray InPortOrder(const QJsonArray& results, const QStringList& ports);
};
