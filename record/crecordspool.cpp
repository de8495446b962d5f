#include "crecordspool.h"

#include "cfilelock.h"
#include "crecordstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

QString CRecordSpool::DefaultPath()
{
    // Only the user's own folder: a spool in a shared one could be written first by anybody,
    // and its entries would be taken as this station's. Where it cannot be written, the journal
    // says so.
    const QString strFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!QFileInfo::exists(strFolder) && QDir().mkpath(strFolder))
        QFile::setPermissions(strFolder,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return strFolder + QStringLiteral("/record-spool.jsonl");
}

CRecordSpool::CRecordSpool(const QString& strPath) : m_strPath(strPath) {}

bool CRecordSpool::Append(const CRecordEntry& entry, const Images& images, const QString& strRecord)
{
    QJsonArray stored;
    for (const auto& [strHash, bytes] : images)
        stored.append(QJsonArray{strHash, QString::fromLatin1(bytes.toBase64())});
    QJsonObject line{{"entry", entry.Json()}, {"images", stored}};
    if (!strRecord.isEmpty())
        line["record"] = strRecord;
    QFile file(m_strPath);
    if (QFileInfo(m_strPath).isSymLink())
    {
        m_strLastError = QStringLiteral("%1 — символическая ссылка, очередь записей туда не пишется")
                             .arg(QDir::toNativeSeparators(m_strPath));
        return false;
    }
    // One write a line, under the lock a drain takes: a line is whole or not there.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
    {
        m_strLastError = file.errorString();
        return false;
    }
    if (!CFileLock::Lock(file, kLockWaitMs))
        return Busy();
    const QByteArray text = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    const qint64 nBefore = file.size();
    if (file.write(text) != text.size() || !file.flush())
    {
        m_strLastError = file.errorString();
        file.resize(nBefore); // a cut line would join the next one
        return false;
    }
    return true;
}

bool CRecordSpool::Drain(CRecordStore& store, int& nStored)
{
    nStored = 0;
    QFile file(m_strPath);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadWrite))
    {
        m_strLastError = file.errorString();
        return false;
    }
    if (!CFileLock::Lock(file, kLockWaitMs))
        return Busy();
    QByteArray kept, aside;
    int nAside = 0;
    QString strWhy;
    for (QByteArray line = file.readLine(); !line.isEmpty(); line = file.readLine())
    {
        if (!line.endsWith('\n'))
            line += '\n';
        QJsonParseError error;
        const QJsonObject json = QJsonDocument::fromJson(line, &error).object();
        QString strRefused;
        const QString strFor = json["record"].toString();
        if (error.error != QJsonParseError::NoError || json.isEmpty())
            strRefused = QStringLiteral("строка повреждена: ") + error.errorString();
        else if (!strFor.isEmpty() && strFor != store.Key())
            kept += line; // another record's: it waits for that one
        else if (Store(store, json))
            ++nStored;
        else if (store.m_bRefused)
            strRefused = store.m_strLastError;
        else
            kept += line; // the record could not take it now: it waits for the next run
        if (strRefused.isEmpty())
            continue;
        aside += line;
        ++nAside;
        strWhy = strRefused;
    }
    // Emptied, not removed: another run may be waiting for the lock to append to this very file.
    if (!file.resize(0) || !file.seek(0) || file.write(kept) != kept.size() || !file.flush())
    {
        m_strLastError = file.errorString();
        return false;
    }
    return nAside == 0 || PutAside(aside, nAside, strWhy);
}

int CRecordSpool::Waiting(const QString& strRecord) const
{
    QFile file(m_strPath);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    int nWaiting = 0;
    for (QByteArray line = file.readLine(); !line.isEmpty(); line = file.readLine())
    {
        const QString strFor = QJsonDocument::fromJson(line).object()["record"].toString();
        nWaiting += strFor.isEmpty() || strFor == strRecord ? 1 : 0;
    }
    return nWaiting;
}

bool CRecordSpool::Busy()
{
    // The lock's failure has no words of the file's own ("Unknown error").
    m_strLastError = QStringLiteral("очередь записей %1 занята другим процессом дольше %2 с")
                         .arg(QDir::toNativeSeparators(m_strPath))
                         .arg(kLockWaitMs / 1000);
    return false;
}

bool CRecordSpool::Store(CRecordStore& store, const QJsonObject& json)
{
    Images images;
    for (const QJsonValue& image : json["images"].toArray())
        images.append({image[0].toString(), QByteArray::fromBase64(image[1].toString().toLatin1())});
    return store.Put(CRecordEntry::FromJson(json["entry"].toObject()), images);
}

bool CRecordSpool::PutAside(const QByteArray& lines, int nLines, const QString& strWhy)
{
    // Kept, not lost, and said once: the next run finds them no more in the spool.
    QFile file(AsidePath());
    const bool bKept = file.open(QIODevice::WriteOnly | QIODevice::Append) &&
                       file.write(lines) == lines.size() && file.flush();
    m_strLastError =
        QStringLiteral("очередь записей %1: не принято строк: %2 (%3); %4")
            .arg(QDir::toNativeSeparators(m_strPath))
            .arg(nLines)
            .arg(strWhy, bKept ? QStringLiteral("они отложены в ") + QDir::toNativeSeparators(AsidePath())
                               : QStringLiteral("отложить их не удалось: ") + file.errorString());
    return false;
}
