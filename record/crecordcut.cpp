#include "crecordcut.h"

#include "cfingerprint.h"
#include "cheldimage.h"
#include "crecordstore.h"

#include <cstring>

namespace
{
bool Load(CRecordStore& store, const QString& strHash, CParamZT01& image)
{
    QByteArray bytes;
    if (strHash.isEmpty() || !store.Image(strHash, bytes) || bytes.size() != CParamZT01::kImageSize)
        return false;
    std::memcpy(image.Image(), bytes.constData(), CParamZT01::kImageSize);
    return true;
}
} // namespace

bool CRecordCut::Complete(CRecordStore& store, const QString& strPort, const QString& strStation,
                          const QDateTime& since, const SProgress& progress, bool& bPartial,
                          QString& strEntry)
{
    bPartial = false;
    strEntry.clear();
    CRecordStore::SQuery query;
    query.strPort = strPort;
    query.strStation = strStation;
    query.since = since;
    QList<CRecordEntry> entries;
    if (!store.Find(query, entries))
        return false;
    for (CRecordEntry entry : entries)
    {
        if (entry.strResult != QLatin1String("attempted") ||
            (entry.strOperation != QLatin1String("write") && entry.strOperation != QLatin1String("restore")))
            continue;
        entry.strResult = QStringLiteral("interrupted");
        CParamZT01 before, written;
        CRecordStore::Images images;
        if (!Load(store, entry.strImageBefore, before) || !Load(store, entry.strImageAfter, written))
            entry.bPartial = true; // nothing to tell what it holds: anything
        else
        {
            const CParamZT01 held =
                CHeldImage::Of(before, written, progress.nLastAcknowledged, progress.nUnsure, entry.bPartial);
            if (!CHeldImage::Reached(before, written, progress.nLastAcknowledged, progress.nUnsure))
                entry.strChanges.clear(); // it holds what it held
            entry.strImageAfter = CFingerprint::ImageHash(held);
            images.append({entry.strImageAfter,
                           QByteArray(reinterpret_cast<const char*>(held.Image()), CParamZT01::kImageSize)});
        }
        entry.nLastAcknowledged = progress.nLastAcknowledged;
        bPartial = bPartial || entry.bPartial;
        if (!store.Put(entry, images))
            return false;
        strEntry = entry.strId;
    }
    return true;
}
