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
    const QString strFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (QDir().mkpath(strFolder) && QFileInfo(strFolder).isWritable())
        return strFolder + QStringLiteral("/record-spool.jsonl");
    return QDir::tempPath() +
           QStringLiteral("/zint9-record-spool-%1.jsonl").arg(qEnvironmentVariable("USER"));
}

CRecordSpool::CRecordSpool(const QString& strPath) : m_strPath(strPath) {}

bool CRecordSpool::Append(const CRecordEntry& entry, const Images& images)
{
    QJsonArray stored;
    for (const auto& [strHash, bytes] : images)
        stored.append(QJsonArray{strHash, QString::fromLatin1(bytes.toBase64())});
    QJsonObject line{{"entry", entry.Json()}, {"images", stored}};
    QFile file(m_strPath);
    // One write a line, under the lock a drain takes: a line is whole or not there.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || !CFileLock::Lock(file))
    {
        m_strLastError = file.errorString();
        return false;
    }
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
    if (!file.open(QIODevice::ReadWrite) || !CFileLock::Lock(file))
    {
        m_strLastError = file.errorString();
        return false;
    }
    QByteArray kept;
    for (QByteArray line = file.readLine(); !line.isEmpty(); line = file.readLine())
    {
        const QJsonObject json = QJsonDocument::fromJson(line).object();
        if (json.isEmpty())
            continue; // a line cut by a full disk holds nothing to keep
        Images images;
        for (const QJsonValue& image : json["images"].toArray())
            images.append({image[0].toString(), QByteArray::fromBase64(image[1].toString().toLatin1())});
        if (store.Put(CRecordEntry::FromJson(json["entry"].toObject()), images))
            ++nStored;
        else
            kept += line.endsWith('\n') ? line : line + '\n';
    }
    // Emptied, not removed: another run may be waiting for the lock to append to this very file.
    if (!file.resize(0) || !file.seek(0) || file.write(kept) != kept.size() || !file.flush())
    {
        m_strLastError = file.errorString();
        return false;
    }
    return true;
}
