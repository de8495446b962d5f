#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdio>

// The words of a batch's results: the status of a line, and the table at the end of a run.
class CBatchSummary
{
public:
    // A result ("done", "unverified", "already", "failed", "refused", "interrupted") as the
    // operator reads it.
    static QString ResultText(const QString& strResult, bool bPartial = false);
    // One row a result, under a header, within kColumns: long fields are shortened (the whole
    // text is in the JSON).
    static QString Table(const QJsonArray& results);
    static constexpr int kColumns = 120;
    // Every unit configured, and each one's traffic log kept whole (a lost one fails the run,
    // not the unit's own result).
    static bool AllConfigured(const QJsonArray& results);
    // The table, or with bJson the array, on pOut.
    static void Print(std::FILE* pOut, const QJsonArray& results, bool bJson);
    // Marks each result whether its unit is ambiguous (its fingerprint in ambiguous) and returns
    // the record's entries of those that are; the results' lists of entries go.
    static QStringList MarkAmbiguous(QJsonArray& results, const QSet<QString>& ambiguous);
    // The results in the order of their ports in the list.
    static QJsonArray InPortOrder(const QJsonArray& results, const QStringList& ports);

private:
    // The device's and the boot loader's versions, as one short field.
    static QString Versions(const QJsonObject& result);
    // What a shortened text keeps: its start and end, its start, or its end.
    enum class EKeep
    {
        Both,
        Start,
        End,
    };
    // At most nMax characters, an ellipsis for what is left out.
    static QString Shortened(const QString& strText, qsizetype nMax, EKeep nKeep = EKeep::Both);
};
