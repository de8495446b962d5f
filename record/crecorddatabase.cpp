#include "crecorddatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>

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

bool CRecordDatabase::IsPostgres(const QString& strLocation)
{
    return strLocation.startsWith(QLatin1String("postgresql://")) ||
           strLocation.startsWith(QLatin1String("postgres://"));
}

QString CRecordDatabase::Redacted(const QString& strLocation)
{
    // Any URL, a mistyped one too: a password in its user part or in its query is never shown.
    const qsizetype nScheme = strLocation.indexOf(QLatin1String("://"));
    if (nScheme < 0)
        return strLocation;
    QUrl url(strLocation);
    if (!url.isValid())
        return strLocation.left(nScheme) + QStringLiteral("://***");
    if (!url.password().isEmpty())
        url.setPassword(QStringLiteral("***"));
    QUrlQuery query(url);
    if (query.hasQueryItem(QStringLiteral("password")))
    {
        query.removeAllQueryItems(QStringLiteral("password"));
        query.addQueryItem(QStringLiteral("password"), QStringLiteral("***"));
        url.setQuery(query);
    }
    return url.toString();
}

QString CRecordDatabase::Key(const QString& strLocation)
{
    if (IsPostgres(strLocation))
        return Redacted(strLocation);
    const QString strPath =
        strLocation.startsWith(QLatin1String("sqlite:")) ? strLocation.mid(7) : strLocation;
    return QStringLiteral("sqlite:") + QFileInfo(strPath).absoluteFilePath();
}

bool CRecordDatabase::Open(const QString& strLocation, int nTimeoutS)
{
    Close();
    if (IsPostgres(strLocation))
        return OpenPostgres(strLocation, nTimeoutS);
    return OpenSqlite(strLocation.startsWith(QLatin1String("sqlite:")) ? strLocation.mid(7) : strLocation);
}

bool CRecordDatabase::Finish(QSqlDatabase& database, EKind nKind)
{
    const bool bOpen = database.open();
    if (!bOpen)
        m_strLastError = database.lastError().text().trimmed();
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

bool CRecordDatabase::OpenSqlite(const QString& strPath)
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
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    const QString strConnection =
        QStringLiteral("zint9-record-") + QUuid::createUuid().toString(QUuid::Id128);
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), strConnection);
    database.setDatabaseName(strPath);
    database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!Finish(database, EKind::Sqlite))
        return false;
    QSqlQuery pragma(Database());
    // WAL lets readers go on while a writer commits; a lost power costs at most the last entry.
    if (!pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
        !pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL")))
        m_strLastError = pragma.lastError().text();
    return true;
}

bool CRecordDatabase::OpenPostgres(const QString& strUrl, int nTimeoutS)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
    {
        m_strLastError = QStringLiteral("нет драйвера PostgreSQL для Qt (пакет libqt6sql6-psql)");
        return false;
    }
    const QUrl url(strUrl);
    QUrlQuery query(url);
    const QString strConnection =
        QStringLiteral("zint9-record-") + QUuid::createUuid().toString(QUuid::Id128);
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), strConnection);
    database.setDatabaseName(url.path().mid(1));
    database.setUserName(url.userName());
    database.setPassword(url.password());
    // A folder as host is a Unix socket's, as libpq takes it.
    database.setHostName(query.hasQueryItem("host") ? query.queryItemValue("host", QUrl::FullyDecoded)
                                                    : url.host());
    if (query.hasQueryItem("port") || url.port() > 0)
        database.setPort(query.hasQueryItem("port") ? query.queryItemValue("port").toInt() : url.port());
    QStringList options{QStringLiteral("connect_timeout=%1").arg(nTimeoutS),
                        // The server's notices ("relation … already exists") are no user's business.
                        QStringLiteral("options='-c client_min_messages=warning'")};
    for (const auto& [strKey, strValue] : query.queryItems(QUrl::FullyDecoded))
        if (strKey != QLatin1String("host") && strKey != QLatin1String("port"))
            options << strKey + QLatin1Char('=') + strValue;
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
    // PostgreSQL has no IF NOT EXISTS for views; under the schema lock a replace is as safe.
    return m_nKind == EKind::Postgres ? QStringLiteral("CREATE OR REPLACE VIEW")
                                      : QStringLiteral("CREATE VIEW IF NOT EXISTS");
}

QString CRecordDatabase::SchemaLock() const
{
    // CREATE TABLE IF NOT EXISTS is not safe against a second station doing the same.
    return m_nKind == EKind::Postgres ? QStringLiteral("SELECT pg_advisory_xact_lock(919001)") : QString();
}
