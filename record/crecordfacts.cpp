#include "crecordfacts.h"

#include "crecordstore.h"

bool CRecordFacts::IsPartialUnit(CRecordStore& store, const QString& strFingerprint, bool& bPartial)
{
    bPartial = false;
    if (strFingerprint.isEmpty())
        return true;
    // The last write or restore that may have changed the unit decides; one that never reached it
    // (refused at its first block, a failed backup) does not.
    QList<CRecordEntry> entries;
    if (!store.Select(QStringLiteral("fingerprint = ? AND operation IN ('write', 'restore') AND "
                                     "(result IN ('done', 'unverified', 'attempted', 'interrupted') OR "
                                     "last_acknowledged IS NOT NULL)"),
                      {strFingerprint}, 1, entries))
        return false;
    // A write that never ended may have left anything; one cut where every changed byte had gone,
    // or none, left a whole image.
    bPartial = !entries.isEmpty() &&
               (entries.first().strResult == QLatin1String("attempted") || entries.first().bPartial);
    return true;
}

bool CRecordFacts::IsPartialImage(CRecordStore& store, const QString& strHash, bool& bPartial)
{
    QList<CRecordEntry> entries;
    // What a cut write left, until a later write or restore of the same image ended whole; a
    // read's mark says only that its unit was in doubt.
    if (!store.Select(QStringLiteral("image_after = ? AND operation IN ('write', 'restore') AND "
                                     "(partial = 1 OR result = 'done')"),
                      {strHash}, 1, entries))
        return false;
    bPartial = !entries.isEmpty() && entries.first().bPartial;
    return true;
}

bool CRecordFacts::ImageVersion(CRecordStore& store, const QString& strHash, int& nVersion)
{
    nVersion = -1;
    QList<CRecordEntry> entries;
    // A read's image is what the unit held; a write's "before" is what its backup holds.
    if (!store.Select(QStringLiteral("version IS NOT NULL AND ((operation = 'read' AND image_after = ?) OR "
                                     "(operation IN ('write', 'restore') AND image_before = ?))"),
                      {strHash, strHash}, 1, entries))
        return false;
    if (!entries.isEmpty())
        nVersion = entries.first().nVersion;
    return true;
}
