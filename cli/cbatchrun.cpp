#include "cbatchrun.h"

#include "cbatchprecheck.h"
#include "cbatchsummary.h"
#include "cconsoleprogress.h"
#include "cportworker.h"
#include "crecordaccess.h"
#include "crestorehint.h"
#include "cserialdispatch.h"
#include "cstopsignal.h"
#include "ctransaction.h"
#include "cworkerdeath.h"
#include "cztappdevice.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTimer>

CBatchRun::CBatchRun(CZTAppDevice& app, CConsole& console)
    : m_app(app), m_console(console), m_pOut(console.OutStream()), m_pErr(console.ErrStream())
{
}

CBatchRun::~CBatchRun() = default;

int CBatchRun::Run(const COptions& options)
{
    m_options = options;
    m_ports = options.ports;
    m_bRepeat = options.bRepeat;
    m_bJson = options.bJson;
    m_bQuiet = options.bQuiet;
    m_strReport = options.strReport;
    // The record knows the images torn writes left: the check refuses them as a single write does.
    m_pRecord = std::make_unique<CRecordAccess>(m_options);
    if (const int nExit = CBatchPreCheck::Run(m_app, m_console, options, m_pRecord->Journal());
        nExit != COptions::kSuccess)
        return nExit;
    if (!m_strReport.isEmpty())
    {
        m_report.emplace();
        if (!m_report->Open(m_strReport))
            return Error(
                COptions::kFailure,
                QStringLiteral("не удалось открыть отчёт %1: %2").arg(m_strReport, m_report->m_strError));
    }
    CStopSignal::Install();
    CStopSignal::RaiseFileLimit();
    m_pDisplay =
        std::make_unique<CBatchDisplay>(m_pErr, !m_bQuiet && CConsoleProgress::IsTerminal(m_pErr), m_ports);
    if (!options.strSerials.isEmpty() && !OpenSerials())
        return COptions::kFailure;
    m_started = QDateTime::currentDateTimeUtc();
    // Entries of earlier runs go up to the plant while the ports work; this run's at its end.
    m_pRecord->Keeper().StartSync();
    RunLines();
    MarkAmbiguous();
    m_pRecord->Keeper().FinishSync(kFinalSyncMs);
    if (!m_bRepeat) // in the order the ports were given, not the order they finished
        m_results = CBatchSummary::InPortOrder(m_results, m_ports);
    CBatchSummary::Print(m_pOut, m_results, m_bJson);
    m_pRecord->TellTrouble(m_console);
    return ExitStatus();
}

int CBatchRun::ExitStatus()
{
    int nExit = COptions::kSuccess;
    for (const CBatchLine& line : m_lines)
        if (!line.station.Dead().isEmpty())
            nExit = Error(COptions::kFailure,
                          QStringLiteral("порт %1 не работает: %2").arg(line.strPort, line.station.Dead()));
    if (m_bReportLost)
        return Error(COptions::kFailure,
                     QStringLiteral("отчёт %1 неполон: не все строки записаны").arg(m_strReport));
    return CBatchSummary::AllConfigured(m_results) ? nExit : int(COptions::kFailure);
}

void CBatchRun::RunLines()
{
    QEventLoop loop;
    m_pLoop = &loop;
    m_nRunning = int(m_ports.size());
    for (const QString& strPort : m_ports)
        m_lines.emplace_back(strPort);
    for (int i = 0; i < int(m_lines.size()); ++i)
        Start(i);
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, &loop,
                     [this]
                     {
                         if (CStopSignal::Raised() && !m_bStopping)
                             Stop();
                         if (CStopSignal::Count() > 1 && !m_bAborting)
                             Abort();
                         if (m_pSerials && !m_bStopping)
                             m_pSerials->Poll();
                     });
    stopWatch.start(100);
    // A station left running sends its entries up as it goes.
    QTimer syncTimer;
    QObject::connect(&syncTimer, &QTimer::timeout, &loop, [this] { m_pRecord->Keeper().StartSync(); });
    syncTimer.start(kSyncPeriodMs);
    if (m_nRunning > 0)
        loop.exec();
    m_pLoop = nullptr;
}

void CBatchRun::LineDone(int nLine)
{
    CBatchLine& line = m_lines[size_t(nLine)];
    if (line.bDone)
        return; // its end was told already
    const QString strWhy = OnFinished(nLine);
    if (m_pSerials)
        m_pSerials->LineEnded(nLine);
    // A station's worker ends only when told to: any other end is a death, and its port is kept.
    if (m_bRepeat && !m_bStopping && Restart(nLine, strWhy))
        return;
    EndLine();
}

void CBatchRun::EndLine()
{
    if (--m_nRunning == 0 && m_pLoop)
        m_pLoop->quit();
}

bool CBatchRun::Restart(int nLine, const QString& strWhy)
{
    CBatchLine& line = m_lines[size_t(nLine)];
    const bool bAgain = line.station.Died(strWhy);
    ShowStation(nLine);
    m_pDisplay->Log(line.strPort + QStringLiteral(": zint9: ") +
                    (bAgain ? line.station.RestartText() : line.station.DeadText()));
    if (!bAgain)
    {
        Bell();
        return false;
    }
    // Not from within the ended process's own signal; a stop that came meanwhile ends the line.
    QTimer::singleShot(0, m_pLoop,
                       [this, nLine]
                       {
                           if (m_bStopping)
                               EndLine();
                           else
                               Start(nLine);
                       });
    return true;
}

void CBatchRun::Start(int nLine)
{
    CBatchLine& line = m_lines[size_t(nLine)];
    line.bDone = line.bInDevice = line.bResult = false;
    // The worker gets its job as one line, the options already parsed and checked.
    QJsonObject job = m_options.Job(line.strPort);
    job["dataDir"] = m_app.m_strAppDir;
    // A worker records into the local record only; the plant's address and its password stay here.
    job["record"] = m_pRecord->Keeper().LocalLocation();
    job["restoreRecord"] = CRestoreHint::ForWorker(m_options, m_pRecord->Keeper().LocalLocation());
    job["awaitRemoval"] = line.station.UnitOnPort();
    job["serials"] = m_pSerials != nullptr;
    QByteArray input = QJsonDocument(job).toJson(QJsonDocument::Compact) + '\n';
    for (const QByteArray& word : m_word) // a worker started again knows what the run has learnt
        input += word + '\n';
    CPortWorker::SHandlers handlers;
    handlers.pfnEvent = [this, nLine](const QJsonObject& event) { OnEvent(nLine, event); };
    handlers.pfnError = [this, nLine](const QString& strText)
    { m_pDisplay->Log(m_lines[size_t(nLine)].strPort + QStringLiteral(": ") + strText); };
    handlers.pfnEnded = [this, nLine] { LineDone(nLine); };
    line.pWorker = std::make_unique<CPortWorker>(WorkerPath(), input, std::move(handlers));
}

void CBatchRun::OnEvent(int nLine, const QJsonObject& event)
{
    CBatchLine& line = m_lines[size_t(nLine)];
    const QString strEvent = event["event"].toString();
    if (strEvent == QLatin1String("progress"))
    {
        m_pDisplay->SetStatus(nLine,
                              CBatchDisplay::Progress(event["percent"].toInt(), event["text"].toString()));
    }
    else if (strEvent == QLatin1String("message"))
    {
        // The port names the line; the program's own prefix would only say it twice.
        QString strText = event["text"].toString();
        if (strText.startsWith(QLatin1String("zint9: ")))
            strText.remove(0, 7);
        // Every line of a message, the continuation lines too: interleaved output sorts by port.
        for (const QString& strLine : strText.split(QLatin1Char('\n')))
            m_pDisplay->Log(line.strPort + QStringLiteral(": ") + strLine);
    }
    else if (strEvent == QLatin1String("device") || strEvent == QLatin1String("block") ||
             strEvent == QLatin1String("known"))
    {
        line.OnUnitEvent(event);
        if (strEvent == QLatin1String("known"))
            CheckAmbiguous(nLine);
    }
    else if (strEvent == QLatin1String("state"))
        OnState(nLine, event["state"].toString());
    else if (strEvent == QLatin1String("probe"))
        OnProbe(nLine, event["probe"].toString(), event["reason"].toString());
    else if (strEvent == QLatin1String("result"))
    {
        QJsonObject result = event;
        result.remove("event");
        AddResult(nLine, result);
    }
    if (m_pSerials)
        m_pSerials->OnEvent(nLine, event);
}

void CBatchRun::OnState(int nLine, const QString& strState)
{
    CBatchLine& line = m_lines[size_t(nLine)];
    if (strState == QLatin1String("waiting"))
        line.strUnit.clear();
    // A log has no status lines: it says when a line is free for the next device.
    const QString strLog = line.station.SetState(strState, line.Shown());
    if (!m_pDisplay->IsLive() && !strLog.isEmpty())
        m_pDisplay->Log(line.strPort + QStringLiteral(": ") + strLog);
    ShowStation(nLine);
}

void CBatchRun::ShowStation(int nLine)
{
    const CBatchLine& line = m_lines[size_t(nLine)];
    m_pDisplay->SetStatus(nLine, line.Status() + (m_pSerials ? m_pSerials->Status(nLine) : QString()),
                          line.Tone());
}

bool CBatchRun::OpenSerials()
{
    CSerialDispatch::SHandlers handlers;
    handlers.pfnTell = [this](int nLine, const QByteArray& line)
    {
        if (CPortWorker* pWorker = m_lines[size_t(nLine)].pWorker.get())
            pWorker->Tell(line);
    };
    handlers.pfnTellAll = [this](const QByteArray& line) { TellWorkers(line); };
    handlers.pfnStatus = [this](int nLine) { ShowStation(nLine); };
    m_pSerials = std::make_unique<CSerialDispatch>(m_ports, *m_pRecord, *m_pDisplay, std::move(handlers));
    QString strError;
    return m_pSerials->Open(m_options.strSerials, strError) || Error(COptions::kFailure, strError) == 0;
}

void CBatchRun::OnProbe(int nLine, const QString& strProbe, const QString& strReason)
{
    CBatchLine& line = m_lines[size_t(nLine)];
    const QString strChange = line.station.SetProbe(strProbe, strReason);
    ShowStation(nLine);
    if (!strChange.isEmpty())
        m_pDisplay->Log(line.strPort + QStringLiteral(": ") + strChange);
}

void CBatchRun::CheckAmbiguous(int nLine)
{
    CBatchLine& line = m_lines[size_t(nLine)];
    if (line.strUnit.isEmpty())
        return;
    bool bTwice = false;
    for (const CBatchLine& other : m_lines)
        bTwice = bTwice || (&other != &line && other.strUnit == line.strUnit);
    if (!bTwice || m_ambiguous.contains(line.strUnit))
        return;
    m_ambiguous.insert(line.strUnit);
    TellWorkers("ambiguous " + line.strUnit.toLatin1()); // each writes its unit's row
}

void CBatchRun::TellWorkers(const QByteArray& line)
{
    m_word << line;
    if (m_bStopping)
        return; // told to stop, they hear no more
    for (CBatchLine& other : m_lines)
        if (other.pWorker)
            other.pWorker->Tell(line);
}

void CBatchRun::MarkAmbiguous()
{
    const QStringList ids = CBatchSummary::MarkAmbiguous(m_results, m_ambiguous);
    if (ids.isEmpty())
        return;
    CRecordStore* pStore = m_pRecord->LocalStore(m_console);
    if (pStore && !pStore->MarkAmbiguous(ids))
        m_console.Error(COptions::kFailure, pStore->m_strLastError);
}

void CBatchRun::AddResult(int nLine, QJsonObject result)
{
    CBatchLine& line = m_lines[size_t(nLine)];
    // One rule for every time the tool writes down: UTC, with its "Z".
    if (!result.contains("time"))
        result["time"] = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    result["port"] = line.strPort;
    // As far as the run knows it now; the summary and the record know the whole run's.
    result["ambiguous"] = m_ambiguous.contains(result["fingerprint"].toString());
    // A worker writes its own row; the first process only those of workers that died.
    const bool bReported = result.take("reported").toBool();
    // A unit configured here is known on every port of the run: moved, it is not written again.
    const QString strConfigured = result.take("configured").toString();
    if (!strConfigured.isEmpty())
        TellWorkers("configured " + result["fingerprint"].toString().toLatin1() + ' ' +
                    strConfigured.toLatin1());
    const QString strReportLost = result.take("reportLost").toString();
    const QString strResult = result["result"].toString();
    line.TookResult(result);
    ShowStation(nLine);
    const CTransaction::EResult nResult = CTransaction::ResultOfKey(strResult);
    ++m_nCounts[nResult == CTransaction::EResult::Already ? 1 : CTransaction::Configured(nResult) ? 0 : 2];
    m_pDisplay->SetCounts(m_nCounts[0], m_nCounts[1], m_nCounts[2]);
    if (strResult != QLatin1String("done") && strResult != QLatin1String("already") && m_bRepeat)
        Bell();
    if (m_report && !bReported && !m_report->Append(result))
    {
        m_bReportLost = true;
        m_pDisplay->Log(
            QStringLiteral("zint9: не удалось дописать отчёт %1: %2")
                .arg(m_strReport, strReportLost.isEmpty() ? m_report->m_strError : strReportLost));
    }
    m_results.append(result);
}

void CBatchRun::Bell()
{
    if (!m_pDisplay->IsLive())
        return;
    std::fputs("\a", m_pErr);
    std::fflush(m_pErr);
}

QString CBatchRun::OnFinished(int nLine)
{
    CBatchLine& line = m_lines[size_t(nLine)];
    line.bDone = true;
    const QProcess& process = line.pWorker->Process();
    const bool bCrashed =
        process.error() == QProcess::FailedToStart || process.exitStatus() == QProcess::CrashExit;
    // A station's worker that ends unasked has died, whatever its exit status.
    const bool bDied = m_bRepeat && !m_bStopping;
    if (!bDied && !line.bInDevice && line.bResult && !bCrashed)
        return QString();
    if (!bDied && !line.bInDevice && m_bRepeat && !bCrashed && process.exitCode() == COptions::kSuccess)
        return QString(); // stopped between devices, as asked
    // A write it had begun stays "attempted" in the record: it ended, cut, as far as it got.
    // Once the backup was made, the write may have begun.
    const QString strBackup = line.known.value("backup").toString();
    const bool bWriting = line.bInDevice && !strBackup.isEmpty();
    bool bPartial = bWriting;
    QString strEntry;
    if (bWriting)
    {
        CRecordStore* pStore = m_pRecord->LocalStore(m_console);
        if (pStore && !CRecordCut::Complete(*pStore, line.strPort, line.known.value("station").toString(),
                                            m_started, line.written, bPartial, strEntry))
        {
            bPartial = true;
            m_console.Error(COptions::kFailure, pStore->m_strLastError);
        }
    }
    const QString strText = CWorkerDeath::Text(process, WorkerPath(), m_bAborting, line.bInDevice, strBackup,
                                               CRestoreHint::Command(m_options, line.strPort, strEntry));
    for (const QString& strLine : strText.split(QLatin1Char('\n')))
        m_pDisplay->Log(line.strPort + QStringLiteral(": zint9: ") + strLine);
    // With no unit in hand there is nothing to record, and the port's next worker says the rest.
    if (!bDied || line.bInDevice)
        AddResult(nLine, CWorkerDeath::Result(strText, line.known, bWriting, bPartial));
    return strText.section(QLatin1Char('\n'), 0, 0);
}

void CBatchRun::Stop()
{
    m_bStopping = true;
    m_pDisplay->Log(QStringLiteral("zint9: остановка: приборы, с которыми идёт работа, будут закончены"));
    for (CBatchLine& line : m_lines)
        if (!line.bDone)
            line.pWorker->Stop();
}

void CBatchRun::Abort()
{
    m_bAborting = true;
    m_pDisplay->Log(QStringLiteral("zint9: повторная остановка: работа с приборами прервана сразу"));
    for (CBatchLine& line : m_lines)
        if (!line.bDone && line.pWorker->IsRunning())
            line.pWorker->Kill();
}
