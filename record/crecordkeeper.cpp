#include "crecordkeeper.h"

#include "crecordhistory.h"
#include "crecordlocation.h"
#include "crecordspool.h"
#include "crecordupload.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <utility>

namespace
{
// A plant's server that accepts a connection and never answers would hold an open for ever.
constexpr int kConnectTimeoutS = 3;

// libpq's messages run over several lines ("FATAL: …\nQPSQL: Unable to connect").
QString OneLine(const QString& strText)
{
    QStringList parts;
    for (const QString& strPart : strText.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        parts << strPart.simplified();
    return parts.join(QStringLiteral("; "));
}
} // namespace

CRecordKeeper::CRecordKeeper(const QString& strGiven, const QString& strLocal)
{
    const QString strLocation = CRecordLocation::Of(strGiven);
    if (!CRecordLocation::IsPostgres(strLocation))
    {
        m_strLocal = strLocation;
        return;
    }
    m_strPlant = strLocation;
    m_strLocal = strLocal.isEmpty() ? CRecordLocation::User() : strLocal;
}

CRecordKeeper::~CRecordKeeper()
{
    if (m_pSync && m_pSync->state() != QProcess::NotRunning)
    {
        m_pSync->kill();
        m_pSync->waitForFinished(1000);
    }
}

QString CRecordKeeper::PlantShown() const
{
    return CRecordLocation::Redacted(m_strPlant);
}

QStringList CRecordKeeper::Searched() const
{
    return HasPlant() ? QStringList{m_strLocal, m_strPlant} : QStringList{m_strLocal};
}

CRecordStore* CRecordKeeper::Local()
{
    if (!m_bLocalTried)
    {
        m_bLocalTried = true;
        if (!m_local.Open(m_strLocal))
            m_strTrouble = m_local.m_strLastError;
    }
    return m_local.IsOpen() ? &m_local : nullptr;
}

CRecordJournal* CRecordKeeper::Journal(const CRecordJournal::SIdentity& identity)
{
    if (!m_pJournal)
    {
        Local();
        m_pJournal = std::make_unique<CRecordJournal>(m_local, identity);
    }
    return m_pJournal.get();
}

CRecordStore* CRecordKeeper::LocalReader()
{
    TakeSpooled();
    if (m_local.IsOpen())
        return &m_local;
    if (!m_localReader.IsOpen() &&
        !m_localReader.Open(m_strLocal, kConnectTimeoutS, CRecordStore::EAccess::Read))
        return nullptr;
    return &m_localReader;
}

void CRecordKeeper::TakeSpooled()
{
    if (std::exchange(m_bSpoolTaken, true))
        return;
    CRecordSpool spool;
    const QString strKey = CRecordLocation::Key(m_strLocal);
    int nLeft = spool.Waiting(strKey);
    if (nLeft == 0)
        return;
    int nStored = 0;
    bool bDrained = false;
    if (Local())
    {
        bDrained = spool.Drain(m_local, nStored);
        nLeft = spool.Waiting(strKey);
    }
    if (nLeft == 0)
    {
        // A line the record refused went aside: the drain says where.
        if (!bDrained)
            m_strTrouble = spool.m_strLastError;
        return;
    }
    const QString strWhy = !spool.m_strLastError.isEmpty() ? spool.m_strLastError : m_local.m_strLastError;
    m_strTrouble = QStringLiteral("записи, ждущие в очереди %1 (%2), не показаны: %3")
                       .arg(QDir::toNativeSeparators(spool.Path()))
                       .arg(nLeft)
                       .arg(OneLine(strWhy));
}

CRecordStore* CRecordKeeper::PlantReader(QString& strNote)
{
    if (!HasPlant())
        return nullptr;
    if (m_plant.IsOpen() || m_plant.Open(m_strPlant, kConnectTimeoutS, CRecordStore::EAccess::Read))
        return &m_plant;
    strNote = QStringLiteral("база записей %1 недоступна (%2): показаны записи этой машины")
                  .arg(PlantShown(), OneLine(m_plant.m_strLastError));
    return nullptr;
}

bool CRecordKeeper::Entry(const QString& strId, CRecordEntry& entry, QString& strError)
{
    return FromEither([&](CRecordStore& store) { return store.Entry(strId, entry); }, strError);
}

bool CRecordKeeper::FromEither(const std::function<bool(CRecordStore&)>& pfnRead, QString& strError)
{
    CRecordStore* pLocal = LocalReader();
    if (pLocal && pfnRead(*pLocal))
        return true;
    strError = OneLine(pLocal ? pLocal->m_strLastError : m_localReader.m_strLastError);
    QString strNote;
    CRecordStore* pPlant = PlantReader(strNote);
    if (pPlant && pfnRead(*pPlant))
        return true;
    // Both said: a damaged record here is not hidden behind a missing entry there.
    if (pPlant && OneLine(pPlant->m_strLastError) != strError)
        strError += QStringLiteral("; ") + OneLine(pPlant->m_strLastError);
    return false;
}

bool CRecordKeeper::HistoryStores(CRecordStore*& pLocal, CRecordStore*& pPlant, QString& strNote,
                                  QString& strError)
{
    pPlant = PlantReader(strNote);
    pLocal = LocalReader();
    if (!pLocal)
        strError = OneLine(m_localReader.m_strLastError);
    return pLocal || pPlant;
}

QString CRecordKeeper::PlantLost() const
{
    return QStringLiteral("база записей %1 не ответила (%2): показаны записи этой машины")
        .arg(PlantShown(), OneLine(m_plant.m_strLastError));
}

bool CRecordKeeper::UnitEntries(const CRecordStore::SQuery& query, QList<CRecordEntry>& entries,
                                QString& strNote, QString& strError)
{
    entries.clear();
    CRecordStore* pLocal = nullptr;
    CRecordStore* pPlant = nullptr;
    HistoryStores(pLocal, pPlant, strNote, strError);
    CRecordHistory history(pLocal, pPlant, query);
    for (CRecordEntry entry; history.Next(entry);)
        entries.append(entry);
    if (history.LocalFailed())
        strError = OneLine(pLocal->m_strLastError);
    if (history.PlantFailed())
        strNote = PlantLost();
    return (pLocal && !history.LocalFailed()) || pPlant;
}

bool CRecordKeeper::Image(const QString& strHash, QByteArray& bytes, QString& strError)
{
    return FromEither([&](CRecordStore& store) { return store.Image(strHash, bytes); }, strError);
}

bool CRecordKeeper::SyncNow(int& nUploaded, QString& strError, const CRecordUpload::Progress& pfnProgress)
{
    nUploaded = 0;
    if (!HasPlant())
        return true;
    if (!Local())
    {
        strError = OneLine(m_local.m_strLastError);
        return false;
    }
    // Entries that waited in the spool go into the local record first, in their order.
    int nSpooled = 0;
    CRecordSpool spool;
    if (!spool.Drain(m_local, nSpooled))
        m_strTrouble = spool.m_strLastError;
    CRecordStore plant;
    if (!plant.Open(m_strPlant, kConnectTimeoutS))
    {
        strError = OneLine(plant.m_strLastError);
        return false;
    }
    if (CRecordUpload::Run(m_local, plant, nUploaded, strError, pfnProgress))
        return true;
    strError = OneLine(strError);
    return false;
}

QString CRecordKeeper::WorkerPath()
{
    const QString strDir = QCoreApplication::applicationDirPath();
    const QString strBeside = strDir + QStringLiteral("/zint9-worker");
    if (QFileInfo::exists(strBeside))
        return strBeside;
    return QDir::cleanPath(strDir + QStringLiteral("/../libexec/zint9-configurator/zint9-worker"));
}

void CRecordKeeper::StartSync()
{
    if (!HasPlant() || (m_pSync && m_pSync->state() != QProcess::NotRunning))
        return;
    WaitSync(0); // the reason of one that has ended
    m_pSync = std::make_unique<QProcess>();
    m_pSync->setProcessChannelMode(QProcess::SeparateChannels);
    m_pSync->start(WorkerPath(), QStringList());
    const QJsonObject job{{"command", "sync"}, {"record", m_strPlant}, {"local", m_strLocal}};
    m_pSync->write(QJsonDocument(job).toJson(QJsonDocument::Compact) + '\n');
    m_pSync->closeWriteChannel();
}

bool CRecordKeeper::WaitSync(int nMs)
{
    if (!m_pSync)
        return true;
    if (m_pSync->state() != QProcess::NotRunning && !m_pSync->waitForFinished(nMs))
    {
        if (nMs == 0)
            return false;
        m_pSync->kill();
        m_pSync->waitForFinished(1000);
        m_strTrouble =
            QStringLiteral("база записей %1 не ответила за %2 с").arg(PlantShown()).arg(nMs / 1000);
    }
    else if (m_pSync->error() == QProcess::FailedToStart)
        m_strTrouble = WorkerPath() + QStringLiteral(": ") + m_pSync->errorString();
    else if (m_pSync->exitStatus() != QProcess::NormalExit || m_pSync->exitCode() != 0)
        m_strTrouble = OneLine(QString::fromUtf8(m_pSync->readAllStandardError()));
    m_pSync.reset();
    return true;
}

void CRecordKeeper::FinishSync(int nMs)
{
    if (!HasPlant())
        return;
    // One that began before the last entries were made may have missed them.
    QDeadlineTimer deadline(nMs);
    WaitSync(int(deadline.remainingTime()));
    StartSync();
    WaitSync(int(qMax<qint64>(1, deadline.remainingTime())));
}

QString CRecordKeeper::TakeTrouble()
{
    QStringList said;
    if (const QString strNotice = m_local.TakeNotice(); !strNotice.isEmpty())
        said << strNotice;
    if (const QString strTrouble = Trouble(); !strTrouble.isEmpty())
        said << strTrouble;
    return said.join(QStringLiteral("; "));
}

QString CRecordKeeper::Trouble()
{
    const QString strJournal = m_pJournal ? m_pJournal->TakeTrouble() : QString();
    if (!strJournal.isEmpty())
        return QStringLiteral("запись о приборе отложена до следующего запуска (%1): %2")
            .arg(CRecordLocation::Redacted(m_strLocal), strJournal);
    if (m_bTold || m_strTrouble.isEmpty())
        return QString();
    m_bTold = true;
    if (!HasPlant())
        return m_strTrouble;
    return QStringLiteral("записи ведутся на этой машине (%1) и будут переданы в базу %2 позже "
                          "(или командой zint9 history --sync): %3")
        .arg(m_strLocal, PlantShown(), m_strTrouble);
}
