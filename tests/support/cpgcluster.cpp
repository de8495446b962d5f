#include "cpgcluster.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <unistd.h>

namespace
{
QString FindBin()
{
    const QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (auto it = versions.crbegin(); it != versions.crend(); ++it)
    {
        const QString strBin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
        if (QFileInfo::exists(strBin + QStringLiteral("/initdb")))
            return strBin;
    }
    return QString();
}
} // namespace

CPgCluster::CPgCluster() : m_strBin(FindBin())
{
    // A port of its own, so that test programs running side by side do not meet.
    m_nPort = 20000 + int(QCoreApplication::applicationPid() % 20000);
}

CPgCluster::~CPgCluster()
{
    Stop();
}

QString CPgCluster::Url(const QString& strDatabase) const
{
    return QStringLiteral("postgresql://postgres@/%1?host=%2/sock&port=%3")
        .arg(strDatabase, m_dir.path())
        .arg(m_nPort);
}

QString CPgCluster::TcpUrl(quint16 nPort, const QString& strDatabase) const
{
    return QStringLiteral("postgresql://postgres@/%1?host=127.0.0.1&port=%2").arg(strDatabase).arg(nPort);
}

QString CPgCluster::SocketPath() const
{
    return QStringLiteral("%1/sock/.s.PGSQL.%2").arg(m_dir.path()).arg(m_nPort);
}

bool CPgCluster::Run(const QString& strProgram, const QStringList& arguments, QString* pOut)
{
    QProcess process;
    QStringList command{strProgram};
    command << arguments;
    // initdb and the server refuse to run as root.
    if (::geteuid() == 0)
        process.start(QStringLiteral("runuser"), QStringList{"-u", "postgres", "--"} + command);
    else
        process.start(strProgram, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
    {
        m_strError = strProgram + QStringLiteral(": ") +
                     QString::fromLocal8Bit(process.readAllStandardError()) + process.errorString();
        return false;
    }
    if (pOut)
        *pOut = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return true;
}

QString CPgCluster::Query(const QString& strSql)
{
    QString strOut;
    if (!Run(m_strBin + "/psql",
             {"-h", m_dir.path() + "/sock", "-p", QString::number(m_nPort), "-U", "postgres", "-d", "zint9",
              "-tAc", strSql},
             &strOut))
        return QString();
    return strOut;
}

bool CPgCluster::QueryAs(const QString& strUrl, const QString& strSql)
{
    return Run(m_strBin + "/psql", {"-d", strUrl, "-v", "ON_ERROR_STOP=1", "-tAc", strSql});
}

bool CPgCluster::AddPasswordLogin(const QString& strName, const QString& strPassword)
{
    // No right of its own: what it may do comes from the roles it is made a member of.
    if (!Query(QStringLiteral("CREATE ROLE \"%1\" LOGIN PASSWORD '%2'; SELECT 1").arg(strName, strPassword))
             .endsWith(QLatin1String("1")))
        return false;
    // The first matching line decides: this login's before the cluster's "trust" for everyone.
    QFile hba(m_dir.path() + QStringLiteral("/data/pg_hba.conf"));
    if (!hba.open(QIODevice::ReadOnly))
        return false;
    const QByteArray rules = "local all " + strName.toUtf8() + " scram-sha-256\n" + hba.readAll();
    hba.close();
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate) || hba.write(rules) != rules.size())
        return false;
    hba.close();
    return Run(m_strBin + "/pg_ctl", {"-D", m_dir.path() + "/data", "reload"});
}

bool CPgCluster::Start()
{
    if (m_strBin.isEmpty())
    {
        m_strError = QStringLiteral("PostgreSQL is not installed (/usr/lib/postgresql/*/bin/initdb); "
                                    "tools/setup-build installs postgresql-15");
        return false;
    }
    if (!m_dir.isValid() || !QDir(m_dir.path()).mkpath(QStringLiteral("sock")))
    {
        m_strError = QStringLiteral("no temporary folder");
        return false;
    }
    if (::geteuid() == 0)
        QProcess::execute(QStringLiteral("chown"), {"-R", "postgres", m_dir.path()});
    const QString strData = m_dir.path() + QStringLiteral("/data");
    if (!Run(m_strBin + "/initdb",
             {"-D", strData, "-U", "postgres", "--auth=trust", "-E", "UTF8", "--locale=C.UTF-8"}))
        return false;
    return Resume() && CreateDatabase(QStringLiteral("zint9"));
}

bool CPgCluster::Resume()
{
    const QString strOptions =
        QStringLiteral("-k %1/sock -p %2 -c listen_addresses=''").arg(m_dir.path()).arg(m_nPort);
    if (!Run(m_strBin + "/pg_ctl",
             {"-D", m_dir.path() + "/data", "-l", m_dir.path() + "/log", "-o", strOptions, "-w", "start"}))
        return false;
    m_bRunning = true;
    return true;
}

bool CPgCluster::CreateDatabase(const QString& strName)
{
    return Run(m_strBin + "/createdb",
               {"-h", m_dir.path() + "/sock", "-p", QString::number(m_nPort), "-U", "postgres", strName});
}

void CPgCluster::Stop()
{
    if (!m_bRunning)
        return;
    m_bRunning = false;
    Run(m_strBin + "/pg_ctl", {"-D", m_dir.path() + "/data", "-m", "fast", "-w", "stop"});
}
