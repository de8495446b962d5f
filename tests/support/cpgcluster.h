#pragma once

#include <QString>
#include <QTemporaryDir>

// A throwaway PostgreSQL cluster of the test's own: made with initdb in a temporary folder,
// listening only on a Unix socket there, stopped and removed at the end. As root the server runs
// as the postgres user (initdb refuses root).
class CPgCluster
{
public:
    CPgCluster();
    ~CPgCluster();
    // Makes and starts the cluster with a database "zint9"; false with m_strError.
    bool Start();
    // Stops the server, as a plant's database that goes away; Resume starts it again.
    void Stop();
    bool Resume();
    // The record location of the database, as a station would give it.
    QString Url(const QString& strDatabase = QStringLiteral("zint9")) const;
    // The same through TCP on this machine's port nPort (a CDelayProxy's).
    QString TcpUrl(quint16 nPort, const QString& strDatabase = QStringLiteral("zint9")) const;
    // The server's Unix socket.
    QString SocketPath() const;
    bool CreateDatabase(const QString& strName);
    // A login that must give its password (scram-sha-256), as a plant's database would ask.
    bool AddPasswordLogin(const QString& strName, const QString& strPassword);
    // A row count or a single value of the database "zint9", as psql prints it; empty on error.
    QString Query(const QString& strSql);
    // Runs the statements as the login the URL names; false when the server refuses any.
    bool QueryAs(const QString& strUrl, const QString& strSql);

    QString m_strError;

private:
    bool Run(const QString& strProgram, const QStringList& arguments, QString* pOut = nullptr);

    QTemporaryDir m_dir;
    QString m_strBin;
    int m_nPort = 0;
    bool m_bRunning = false;
};
