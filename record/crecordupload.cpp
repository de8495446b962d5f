#include "crecordupload.h"

#include "crecordstore.h"

#include <QSet>

namespace
{
// The images the entries name, each once.
CRecordStore::Images ImagesOf(CRecordStore& local, const QList<CRecordEntry>& entries)
{
    CRecordStore::Images images;
    QSet<QString> hashes;
    for (const CRecordEntry& entry : entries)
        for (const QString& strHash : {entry.strImageBefore, entry.strImageAfter})
        {
            QByteArray bytes;
            if (strHash.isEmpty() || hashes.contains(strHash) || !local.Image(strHash, bytes))
                continue;
            hashes.insert(strHash);
            images.append({strHash, bytes});
        }
    return images;
}
} // namespace

bool CRecordUpload::Run(CRecordStore& local, CRecordStore& plant, int& nUploaded, QString& strError,
                        const Progress& pfnProgress)
{
    nUploaded = 0;
    int nWaiting = 0;
    if (pfnProgress && local.CountWaiting(nWaiting))
        pfnProgress(0, nWaiting);
    for (;;)
    {
        QList<CRecordEntry> entries;
        if (!local.Waiting(kChunk, entries))
        {
            strError = local.m_strLastError;
            return false;
        }
        if (entries.isEmpty())
            return true;
        const CRecordStore::Images images = ImagesOf(local, entries);
        int nMarked = 0;
        if (!plant.PutAll(entries, images))
        {
            strError = plant.m_strLastError;
            return false;
        }
        if (!local.MarkUploaded(entries, nMarked))
        {
            strError = local.m_strLastError;
            return false;
        }
        nUploaded += int(entries.size());
        if (pfnProgress)
            pfnProgress(nUploaded, qMax(nWaiting, nUploaded));
        // Entries changed while they went up wait for the next upload; none marked at all would
        // only send the same chunk again.
        if (entries.size() < kChunk || nMarked == 0)
            return true;
    }
}
