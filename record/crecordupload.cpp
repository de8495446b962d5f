#include "crecordupload.h"

#include "crecordstore.h"

#include <QSet>

bool CRecordUpload::Run(CRecordStore& local, CRecordStore& plant, int& nUploaded, QString& strError)
{
    constexpr int kBatch = 500;
    nUploaded = 0;
    for (;;)
    {
        QList<CRecordEntry> entries;
        if (!local.Waiting(kBatch, entries))
        {
            strError = local.m_strLastError;
            return false;
        }
        if (entries.isEmpty())
            return true;
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
        nUploaded += entries.size();
        // Entries changed while they went up wait for the next upload; none marked at all would
        // only send the same batch again.
        if (entries.size() < kBatch || nMarked == 0)
            return true;
    }
}
