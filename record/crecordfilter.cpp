#include "crecordfilter.h"

#include "crecordschema.h"

void CRecordFilter::Conditions(const CRecordStore::SQuery& query, QStringList& where, QList<QVariant>& values)
{
    auto add = [&](const char* pszCondition, const QList<QVariant>& given)
    {
        where << QString::fromLatin1(pszCondition);
        values << given;
    };
    // The start of a hash, as the history shows one: all hashes from it up to the next digit
    // after it; hex digits all sort below 'g'.
    if (!query.strFingerprint.isEmpty())
    {
        add("fingerprint >= ?", {query.strFingerprint.toLower()});
        add("fingerprint < ?", {query.strFingerprint.toLower() + QLatin1Char('g')});
    }
    if (!query.strSourceHash.isEmpty())
    {
        add("source_hash >= ?", {query.strSourceHash.toLower()});
        add("source_hash < ?", {query.strSourceHash.toLower() + QLatin1Char('g')});
    }
    if (!query.strSerial.isEmpty())
        add("serial = ?", {query.strSerial});
    if (!query.strPort.isEmpty())
        add("port = ?", {query.strPort});
    if (!query.strStation.isEmpty())
        add("station = ?", {query.strStation});
    if (!query.strOperator.isEmpty())
        add("operator = ?", {query.strOperator});
    if (!query.strOperation.isEmpty())
        add("operation = ?", {query.strOperation});
    if (!query.strResult.isEmpty())
        add("result = ?", {query.strResult});
    if (query.since.isValid())
        add("started >= ?", {CRecordSchema::UtcText(query.since)});
    if (query.until.isValid())
        add("started < ?", {CRecordSchema::UtcText(query.until)});
    if (query.bDemo)
        add("demo = ?", {1});
    if (query.bLatest)
        add("fingerprint IS NOT NULL AND demo = ?", {0});
    if (query.after.isValid())
    {
        // Older, or as old with a lower id; the bound on "started" alone meets the index on it
        // in both dialects.
        const QString strAfter = CRecordSchema::UtcText(query.after);
        add("started <= ? AND (started < ? OR id < ?)", {strAfter, strAfter, query.strAfterId});
    }
}
