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
    void Stop();
    // The record location of the database, as a station would give it.
    QString Url(const QString& strDatabase = QStringLiteral("zint9")) const;
    bool CreateDatabase(const QString& strName);

    QString m_strError;

private:
    bool Run(const QString& strProgram, const QStringList& arguments);

    QTemporaryDir m_dir;
    QString m_strBin;
    int m_nPort = 0;
    bool m_bRunning = false;
};
