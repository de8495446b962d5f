#include "crecorddatabase.h"

#include "cfileidentity.h"
#include "crecordlocation.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>

namespace
{
// SQLite's codes for a file that is no database, or a damaged one; for a lock not got.
const int kDamaged[] = {11, 26};
constexpr int kBusy = 5;
// How long a writer waits for another's lock.
constexpr int kWriteWaitMs = 10000;
} // namespace

CRecordDatabase::~CRecordDatabase()
{
    Close();
}

void CRecordDatabase::Close()
{
    if (m_strConnection.isEmpty())
        return;
    QSqlDatabase::database(m_strConnection, false).close();
    QSqlDatabase::removeDatabase(m_strConnection);
    m_strConnection.clear();
    m_nKind = EKind::None;
}

QSqlDatabase CRecordDatabase::Database() const
{
    return QSqlDatabase::database(m_strConnection, false);
}

bool CRecordDatabase::Fail(const QSqlError& error)
{
    // The database's own words; Qt's ("QSqlQuery::exec: database not open") are no user's.
    QString strText = error.databaseText().trimmed();
    if (strText.isEmpty() && !IsOpen())
        strText = QStringLiteral("записи не открыты");
    if (strText.isEmpty())
        strText = error.driverText().trimmed();
    m_strLastError = strText.isEmpty() ? QStringLiteral("ошибка базы записей") : strText;
    m_strCode = error.nativeErrorCode();
    m_bDamaged = false;
    // The primary code, whatever its extension.
    for (const int nCode : kDamaged)
        m_bDamaged = m_bDamaged || (m_nKind != EKind::Postgres && (m_strCode.toInt() & 0xff) == nCode);
    return false;
}

void CRecordDatabase::NoteJournal()
{
    if (m_nKind == EKind::Sqlite)
        m_journal = CFileIdentity::Of(m_strPath + QStringLiteral("-wal"));
}

bool CRecordDatabase::IsReplaced() const
{
    return m_nKind == EKind::Sqlite && !m_identity.isEmpty() && CFileIdentity::Of(m_strPath) != m_identity;
}

bool CRecordDatabase::Open(const QString& strLocation, int nTimeoutS, bool bReadOnly)
{
    Close();
    m_bDamaged = false;
    m_identity.clear();
    m_journal.clear();
    if (CRecordLocation::IsPostgres(strLocation))
        return OpenPostgres(strLocation, nTimeoutS);
    return OpenSqlite(CRecordLocation::SqlitePath(strLocation), bReadOnly);
}

bool CRecordDatabase::Finish(QSqlDatabase& database, EKind nKind)
{
    const bool bOpen = database.open();
    if (!bOpen)
        Fail(database.lastError());
    const QString strConnection = database.connectionName();
    database = QSqlDatabase(); // the connection is removed only once no handle refers to it
    if (!bOpen)
    {
        QSqlDatabase::removeDatabase(strConnection);
        return false;
    }
    m_strConnection = strConnection;
    m_nKind = nKind;
    return true;
}

bool CRecordDatabase::OpenSqliteFile(const QString& strName, const QString& strOptions)
{
    const QString strConnection =
        QStringLiteral("zint9-record-") + QUuid::createUuid().toString(QUuid::Id128);
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), strConnection);
    database.setDatabaseName(strName);
    // A reader waits only for a writer that holds the whole file (a checkpoint, an exclusive lock).
    database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1;")
                                   .arg(strOptions.contains("READONLY") ? 3000 : kWriteWaitMs) +
                               strOptions);
    if (!Finish(database, EKind::Sqlite))
        return false;
    // SQLite opens the file at its first statement.
    QSqlQuery probe(Database());
    if (probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return true;
    Fail(probe.lastError());
    probe = QSqlQuery();
    Close();
    return false;
}

bool CRecordDatabase::OpenSqlite(const QString& strPath, bool bReadOnly)
{
    if (strPath.isEmpty())
    {
        m_strLastError = QStringLiteral("не указан файл записей");
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
    {
        m_strLastError = QStringLiteral("нет драйвера SQLite для Qt (пакет libqt6sql6-sqlite)");
        return false;
    }
    m_strPath = QFileInfo(strPath).absoluteFilePath();
    if (bReadOnly)
    {
        // A folder that cannot be written has no room for the reader's shared-memory file:
        // then the file is read as it stands, which nobody can change meanwhile either. A file
        // that is busy or damaged is said so, never read stale.
        // (SQLite's codes READONLY and CANTOPEN, with any extension: READONLY_DIRECTORY…)
        const auto cannotShare = [this]
        { return (m_strCode.toInt() & 0xff) == 8 || (m_strCode.toInt() & 0xff) == 14; };
        if (OpenSqliteFile(strPath, QStringLiteral("QSQLITE_OPEN_READONLY")) || !cannotShare())
            return IsOpen();
        const QString strUri = QStringLiteral("file:") +
                               QString::fromLatin1(QUrl::toPercentEncoding(m_strPath, "/")) +
                               QStringLiteral("?immutable=1");
        return OpenSqliteFile(strUri, QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
    }
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    // Known before the open too: a file found damaged is set aside only while it is still there.
    m_identity = CFileIdentity::Of(m_strPath);
    if (!OpenSqliteFile(strPath, QString()))
        return false;
    m_identity = CFileIdentity::Of(m_strPath);
    if (UseWal())
    {
        NoteJournal();
        return true;
    }
    Close();
    return false;
}

bool CRecordDatabase::UseWal()
{
    // WAL lets readers go on while a writer commits; a lost power costs at most the last entry.
    // Openers of a new file that all switch it at once would each wait for the other's lock:
    // SQLite fails one of them at once instead of waiting, so it tries again.
    const QDeadlineTimer deadline(kWriteWaitMs);
    QSqlQuery pragma(Database());
    while (!pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
    {
        if ((pragma.lastError().nativeErrorCode().toInt() & 0xff) != kBusy || deadline.hasExpired())
            return Fail(pragma.lastError());
        pragma.finish();
        QThread::msleep(QRandomGenerator::global()->bounded(2, 20));
    }
    return pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL")) || Fail(pragma.lastError());
}

bool CRecordDatabase::OpenPostgres(const QString& strUrl, int nTimeoutS)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
    {
        m_strLastError = QStringLiteral("нет драйвера PostgreSQL для Qt (пакет libqt6sql6-psql)");
        return false;
    }
    // A mistyped URL would send a piece of its password to the server as a host or a name.
    if (!CRecordLocation::CheckUrl(strUrl, m_strLastError))
        return false;
    const QUrl url(strUrl);
    QUrlQuery query(url);
    const QString strConnection =
        QStringLiteral("zint9-record-") + QUuid::createUuid().toString(QUuid::Id128);
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), strConnection);
    auto given = [&query](const char* pszKey, const QString& strElse)
    { return query.hasQueryItem(pszKey) ? query.queryItemValue(pszKey, QUrl::FullyDecoded) : strElse; };
    // What Qt's driver quotes itself goes to it as such; the rest is quoted here, so that no
    // value (a password with a space) can end early and name another parameter.
    database.setDatabaseName(given("dbname", url.path(QUrl::FullyDecoded).mid(1)));
    database.setUserName(given("user", url.userName(QUrl::FullyDecoded)));
    database.setPassword(given("password", url.password(QUrl::FullyDecoded)));
    // A folder as host is a Unix socket's, as libpq takes it.
    database.setHostName(given("host", url.host()));
    if (query.hasQueryItem("port") || url.port() > 0)
        database.setPort(query.hasQueryItem("port") ? query.queryItemValue("port").toInt() : url.port());
    QStringList options{QStringLiteral("connect_timeout=%1").arg(nTimeoutS),
                        // The server's notices ("relation … already exists") are no user's business.
                        QStringLiteral("options='-c client_min_messages=warning'")};
    for (const auto& [strKey, strValue] : query.queryItems(QUrl::FullyDecoded))
        if (!QStringList{"host", "port", "dbname", "user", "password"}.contains(strKey))
            options << strKey + QStringLiteral("='") +
                           QString(strValue)
                               .replace(QLatin1Char('\\'), QLatin1String("\\\\"))
                               .replace(QLatin1Char('\''), QLatin1String("\\'")) +
                           QLatin1Char('\'');
    database.setConnectOptions(options.join(QLatin1Char(';')));
    return Finish(database, EKind::Postgres);
}

QString CRecordDatabase::Begin() const
{
    // IMMEDIATE takes SQLite's write lock at once: two writers that both read first would otherwise
    // fail to upgrade their locks and lose an entry.
    return m_nKind == EKind::Sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
}

QString CRecordDatabase::BlobType() const
{
    return m_nKind == EKind::Postgres ? QStringLiteral("BYTEA") : QStringLiteral("BLOB");
}

QString CRecordDatabase::CreateView() const
{
    // A view an earlier version made is replaced: PostgreSQL in place, SQLite after DropView.
    return m_nKind == EKind::Postgres ? QStringLiteral("CREATE OR REPLACE VIEW")
                                      : QStringLiteral("CREATE VIEW");
}

QString CRecordDatabase::DropView() const
{
    // PostgreSQL's replace keeps the grants and the views a plant's tools built on it; SQLite has
    // no replace, and a view there is resolved only when it is read.
    return m_nKind == EKind::Postgres ? QString() : QStringLiteral("DROP VIEW IF EXISTS ");
}

QString CRecordDatabase::SchemaLock() const
{
    // CREATE TABLE IF NOT EXISTS is not safe against a second owner doing the same.
    return m_nKind == EKind::Postgres ? QStringLiteral("SELECT pg_advisory_xact_lock(919001)") : QString();
}
