#include "crecordfilter.h"

#include "crecordschema.h"

void CRecordFilter::Conditions(const CRecordStore::SQuery& query, QStringList& where, QList<QVariant>& values)
{
    auto add = [&](const char* pszCondition, const QList<QVariant>& given)
    {
        where << QString::fromLatin1(pszCondition);
        values << given;
    };
    if (!query.strFingerprint.isEmpty())
    {
        // The start of one, as the history shows it: all fingerprints from it up to the next
        // digit after it; hex digits all sort below 'g'.
        add("fingerprint >= ?", {query.strFingerprint.toLower()});
        add("fingerprint < ?", {query.strFingerprint.toLower() + QLatin1Char('g')});
    }
    if (!query.strSerial.isEmpty())
        add("serial = ?", {query.strSerial});
    if (!query.strPort.isEmpty())
        add("port = ?", {query.strPort});
    if (!query.strStation.isEmpty())
        add("station = ?", {query.strStation});
    if (!query.strOperator.isEmpty())
        add("operator = ?", {query.strOperator});
    if (query.since.isValid())
        add("started >= ?", {CRecordSchema::UtcText(query.since)});
    if (query.bDemo)
        add("demo = ?", {1});
    if (query.after.isValid())
    {
        // Older, or as old with a lower id; the bound on "started" alone meets the index on it
        // in both dialects.
        const QString strAfter = CRecordSchema::UtcText(query.after);
        add("started <= ? AND (started < ? OR id < ?)", {strAfter, strAfter, query.strAfterId});
    }
}
