#include "crecordstore.h"

#include "cfileidentity.h"
#include "cfingerprint.h"
#include "cparamzt01.h"
#include "crecordfilter.h"
#include "crecordlocation.h"
#include "crecordrows.h"
#include "crecordschema.h"
#include "crecordtext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <cstring>
#include <utility>

CRecordStore::CRecordStore() = default;

CRecordStore::~CRecordStore() = default;

QSqlDatabase CRecordStore::Database() const
{
    return m_db.Database();
}

bool CRecordStore::Open(const QString& strLocation, int nTimeoutS, EAccess nAccess)
{
    m_strKey = CRecordLocation::Key(strLocation);
    m_strLocation = strLocation;
    m_nTimeoutS = nTimeoutS;
    m_nAccess = nAccess;
    if (OpenAs(nAccess))
        return true;
    if (!m_db.m_bDamaged)
        return false;
    if (nAccess == EAccess::Read)
    {
        m_strLastError = CRecordText::Damaged(m_strLocation, m_strLastError);
        return false;
    }
    return SetAside() && OpenAs(nAccess);
}

bool CRecordStore::OpenAs(EAccess nAccess)
{
    const QFileInfo file(CRecordLocation::SqlitePath(m_strLocation));
    // Nothing written yet is an empty record, not a file made for it; a folder that is not
    // there is a mistyped name.
    const bool bNone =
        nAccess == EAccess::Read && !CRecordLocation::IsPostgres(m_strLocation) && !file.exists();
    if (bNone && !file.absoluteDir().exists() &&
        file.absoluteFilePath() != QFileInfo(CRecordLocation::User()).absoluteFilePath())
        return Refuse(QStringLiteral("нет папки %1").arg(QDir::toNativeSeparators(file.absolutePath())));
    if (!m_db.Open(bNone ? QStringLiteral(":memory:") : m_strLocation, m_nTimeoutS,
                   nAccess == EAccess::Read && !bNone))
    {
        m_strLastError = m_db.m_strLastError;
        return false;
    }
    if (Prepare(nAccess, bNone))
        return true;
    m_db.Close();
    return false;
}

bool CRecordStore::Prepare(EAccess nAccess, bool bNone)
{
    int nVersion = 0;
    if (!CRecordSchema::Version(m_db, nVersion))
        return Fail();
    if (nVersion > CRecordSchema::kVersion && nAccess != EAccess::Read)
        return Refuse(CRecordText::Newer(m_strLocation, nVersion));
    if (nAccess == EAccess::Init || bNone)
        return CreateSchema();
    if (nVersion >= CRecordSchema::kVersion)
        return true;
    // A station's own file it keeps up itself; a plant's only its owner (history --init).
    if (m_db.Kind() == CRecordDatabase::EKind::Postgres)
        return Refuse(CRecordText::Unprepared(m_strLocation, nVersion));
    if (nAccess == EAccess::Write)
        return CreateSchema();
    return Reopen(EAccess::Write) || Refuse(CRecordText::Unprepared(m_strLocation, nVersion));
}

bool CRecordStore::Refuse(const QString& strWhy)
{
    m_strLastError = strWhy;
    return false;
}

bool CRecordStore::Reopen(EAccess nAccess)
{
    m_db.Close();
    return OpenAs(nAccess);
}

bool CRecordStore::SetAside()
{
    // Said once, kept whole: the entries in it stay there for whoever can mend it.
    const QString strPath = QFileInfo(CRecordLocation::SqlitePath(m_strLocation)).absoluteFilePath();
    const QString strAside =
        strPath + QStringLiteral(".damaged-") + QDateTime::currentDateTimeUtc().toString("yyyyMMdd-HHmmss");
    const QString strWhy = m_strLastError;
    m_db.Close();
    // Another process that found it so first has set it aside already.
    if (CFileIdentity::Of(strPath) != m_db.Identity())
        return true;
    for (const QString& strSuffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        if (QFileInfo::exists(strPath + strSuffix) &&
            !QFile::rename(strPath + strSuffix, strAside + strSuffix))
            return Refuse(CRecordText::Damaged(m_strLocation, strWhy));
    m_strNotice = CRecordText::SetAside(m_strLocation, strWhy, strAside);
    return true;
}

bool CRecordStore::SetJournalAside()
{
    // The old file's journal stays beside the name (SQLite never removes one whose file has gone),
    // and SQLite would pour it into the new file: it is kept aside. One that is not the journal
    // this record wrote may be the new file's own: then the entries wait in the spool.
    const QString strPath = QFileInfo(CRecordLocation::SqlitePath(m_strLocation)).absoluteFilePath();
    const QString strJournal = strPath + QStringLiteral("-wal");
    if (!QFileInfo::exists(strJournal))
        return true;
    if (CFileIdentity::Of(strJournal) != m_db.Journal())
        return Refuse(CRecordText::ReplacedHeld(m_strLocation));
    const QString strAside =
        strPath + QStringLiteral(".replaced-") + QDateTime::currentDateTimeUtc().toString("yyyyMMdd-HHmmss");
    for (const char* pszSuffix : {"-wal", "-shm"})
        if (QFileInfo::exists(strPath + pszSuffix) &&
            !QFile::rename(strPath + pszSuffix, strAside + pszSuffix))
            return Refuse(CRecordText::ReplacedHeld(m_strLocation));
    return true;
}

QString CRecordStore::TakeNotice()
{
    return std::exchange(m_strNotice, QString());
}

bool CRecordStore::Fail()
{
    m_strLastError = m_db.m_strLastError;
    return false;
}

bool CRecordStore::Fail(const QSqlError& error)
{
    m_db.Fail(error);
    return Fail();
}

bool CRecordStore::Run(QSqlQuery& query)
{
    return query.exec() || Fail(query.lastError());
}

bool CRecordStore::Begin()
{
    // A file replaced or deleted under a record kept open would take every later entry with it.
    if (m_bReplaced || m_db.IsReplaced())
    {
        m_bReplaced = true;
        m_db.Close();
        if (!SetJournalAside())
            return false;
        m_bReplaced = false; // the new file's tables are made inside OpenAs, through here
        if (!OpenAs(m_nAccess))
        {
            m_bReplaced = true;
            return false;
        }
        m_strNotice = CRecordText::Replaced(m_strLocation);
    }
    QSqlQuery query(Database());
    return query.exec(m_db.Begin()) || Fail(query.lastError());
}

bool CRecordStore::Commit()
{
    QSqlQuery query(Database());
    if (query.exec(QStringLiteral("COMMIT")))
    {
        m_db.NoteJournal();
        return true;
    }
    Fail(query.lastError());
    Rollback();
    return false;
}

void CRecordStore::Rollback()
{
    QSqlQuery query(Database());
    query.exec(QStringLiteral("ROLLBACK"));
}

bool CRecordStore::CreateSchema()
{
    if (!Begin())
        return false;
    if (!CRecordSchema::Create(Database(), m_db, m_strLastError))
    {
        Rollback();
        return false;
    }
    return Commit();
}

bool CRecordStore::Put(const CRecordEntry& entry, const Images& images)
{
    return PutAll({entry}, images);
}

bool CRecordStore::PutAll(const QList<CRecordEntry>& entries, const Images& images)
{
    if (PutOnce(entries, images))
        return true;
    // Found damaged only now: the entries go into a new file, not into the spool for ever.
    return m_db.m_bDamaged && m_nAccess != EAccess::Read && SetAside() && OpenAs(m_nAccess) &&
           PutOnce(entries, images);
}

bool CRecordStore::PutOnce(const QList<CRecordEntry>& entries, const Images& images)
{
    m_bRefused = false;
    if ((!IsOpen() && !m_bReplaced) || !Begin())
        return false;
    CRecordRows rows(Database());
    if (!rows.PutImages(images) || !rows.PutEntries(entries))
    {
        if (rows.m_error.isValid())
            Fail(rows.m_error);
        else
            m_strLastError = rows.m_strLastError;
        m_bRefused = rows.m_bRefused;
        Rollback();
        return false;
    }
    return Commit();
}

bool CRecordStore::Select(const QString& strWhere, const QList<QVariant>& values, int nLimit,
                          QList<CRecordEntry>& entries, bool bOldestFirst)
{
    entries.clear();
    if (!IsOpen())
        return false;
    QSqlQuery query(Database());
    query.setForwardOnly(true);
    QString strSql = QStringLiteral("SELECT %1 FROM entries").arg(CRecordSchema::Columns());
    if (!strWhere.isEmpty())
        strSql += QStringLiteral(" WHERE ") + strWhere;
    strSql += bOldestFirst ? QStringLiteral(" ORDER BY started, id")
                           : QStringLiteral(" ORDER BY started DESC, id DESC");
    if (nLimit >= 0)
        strSql += QStringLiteral(" LIMIT %1").arg(nLimit);
    if (!query.prepare(strSql))
    {
        return Fail(query.lastError());
    }
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!Run(query))
        return false;
    while (query.next())
        entries.append(CRecordSchema::Read(query));
    return true;
}

bool CRecordStore::Find(const SQuery& filter, QList<CRecordEntry>& entries)
{
    QStringList where;
    QList<QVariant> values;
    CRecordFilter::Conditions(filter, where, values);
    return Select(where.join(QStringLiteral(" AND ")), values, filter.nLimit, entries);
}

bool CRecordStore::Entry(const QString& strId, CRecordEntry& entry)
{
    QList<CRecordEntry> entries;
    if (!Select(QStringLiteral("id = ?"), {strId}, 1, entries))
        return false;
    if (entries.isEmpty())
    {
        m_strLastError = CRecordText::NoEntry({m_strLocation}, strId);
        return false;
    }
    entry = entries.first();
    return true;
}

bool CRecordStore::Image(const QString& strHash, QByteArray& bytes)
{
    if (!IsOpen())
        return false;
    QSqlQuery query(Database());
    if (!query.prepare(QStringLiteral("SELECT bytes FROM images WHERE hash = ?")))
    {
        return Fail(query.lastError());
    }
    query.addBindValue(strHash);
    if (!Run(query))
        return false;
    if (!query.next())
    {
        m_strLastError = QStringLiteral("нет образа %1").arg(strHash);
        return false;
    }
    bytes = query.value(0).toByteArray();
    m_strLastError = CFingerprint::ImageFault(strHash, bytes);
    return m_strLastError.isEmpty();
}

bool CRecordStore::Waiting(int nMax, QList<CRecordEntry>& entries)
{
    return Select(QStringLiteral("uploaded = 0"), {}, nMax, entries, true);
}

bool CRecordStore::CountWaiting(int& nCount)
{
    nCount = 0;
    if (!IsOpen())
        return false;
    QSqlQuery query(Database());
    if (!query.exec(QStringLiteral("SELECT count(*) FROM entries WHERE uploaded = 0")))
        return Fail(query.lastError());
    nCount = query.next() ? query.value(0).toInt() : 0;
    return true;
}

bool CRecordStore::Update(const QString& strSql, const QList<QList<QVariant>>& rows, int* pAffected)
{
    if (pAffected)
        *pAffected = 0;
    if ((!IsOpen() && !m_bReplaced) || !Begin())
        return false;
    bool bOk = true;
    {
        QSqlQuery query(Database());
        bOk = query.prepare(strSql);
        if (!bOk)
            Fail(query.lastError());
        for (qsizetype i = 0; bOk && i < rows.size(); ++i)
        {
            for (const QVariant& value : rows[i])
                query.addBindValue(value);
            bOk = Run(query);
            if (bOk && pAffected)
                *pAffected += qMax(0, query.numRowsAffected());
        }
        query.finish();
    }
    if (!bOk)
    {
        Rollback();
        return false;
    }
    return Commit();
}

bool CRecordStore::MarkAmbiguous(const QStringList& ids)
{
    QList<QList<QVariant>> rows;
    for (const QString& strId : ids)
        rows.append({strId});
    // Changed after it was made: the entry goes up to the plant's record again.
    return Update(QStringLiteral("UPDATE entries SET ambiguous = 1, uploaded = 0 WHERE id = ?"), rows);
}

bool CRecordStore::MarkUploaded(const QList<CRecordEntry>& entries, int& nMarked)
{
    QList<QList<QVariant>> rows;
    for (const CRecordEntry& entry : entries)
        rows.append({entry.strId, entry.strResult, int(entry.bAmbiguous)});
    // Only as it went up: an entry completed or marked meanwhile waits for the next upload.
    return Update(
        QStringLiteral("UPDATE entries SET uploaded = 1 WHERE id = ? AND result = ? AND ambiguous = ?"), rows,
        &nMarked);
}
