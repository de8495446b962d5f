#include "cbatchrun.h"

#include "cbatchprecheck.h"
#include "cbatchsummary.h"
#include "cconsoleprogress.h"
#include "crecordaccess.h"
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

int CBatchRun::Error(int nExit, const QString& strText)
{
    return m_console.Error(nExit, strText);
}

QString CBatchRun::WorkerPath()
{
    return CRecordKeeper::WorkerPath();
}

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
    m_started = QDateTime::currentDateTimeUtc();
    // Entries of earlier runs go up to the plant while the ports work; this run's at its end.
    m_pRecord->Keeper().StartSync();
    RunLines();
    MarkAmbiguous();
    m_pRecord->Keeper().FinishSync(kFinalSyncMs);
    PrintSummary();
    m_pRecord->TellTrouble(m_console);
    if (m_bReportLost)
        return Error(COptions::kFailure,
                     QStringLiteral("отчёт %1 неполон: не все строки записаны").arg(m_strReport));
    // A unit configured whose traffic log was lost fails the run, not its own result.
    for (const QJsonValue& result : m_results)
        if (!CTransaction::Configured(CTransaction::ResultOfKey(result["result"].toString())) ||
            result["traceLost"].toBool())
            return COptions::kFailure;
    return COptions::kSuccess;
}

void CBatchRun::RunLines()
{
    QEventLoop loop;
    m_pLoop = &loop;
    m_nRunning = int(m_ports.size());
    m_lines.resize(size_t(m_ports.size()));
    for (int i = 0; i < int(m_lines.size()); ++i)
    {
        m_lines[size_t(i)].strPort = m_ports[i];
        Start(i);
    }
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, &loop,
                     [this]
                     {
                         if (CStopSignal::Raised() && !m_bStopping)
                             Stop();
                         if (CStopSignal::Count() > 1 && !m_bAborting)
                             Abort();
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
    SLine& line = m_lines[size_t(nLine)];
    if (line.bDone)
        return; // a worker that could not start reports that once, and no finish follows
    OnFinished(nLine);
    if (--m_nRunning == 0 && m_pLoop)
        m_pLoop->quit();
}

void CBatchRun::Start(int nLine)
{
    SLine& line = m_lines[size_t(nLine)];
    line.pProcess = std::make_unique<QProcess>();
    QProcess* pProcess = line.pProcess.get();
    CStopSignal::Detach(*pProcess);
    QObject::connect(pProcess, &QProcess::readyReadStandardOutput, pProcess,
                     [this, nLine, pProcess]
                     {
                         SLine& line = m_lines[size_t(nLine)];
                         line.out += pProcess->readAllStandardOutput();
                         qsizetype nEnd = 0;
                         while ((nEnd = line.out.indexOf('\n')) >= 0)
                         {
                             const QByteArray text = line.out.left(nEnd);
                             line.out.remove(0, nEnd + 1);
                             OnEvent(nLine, QJsonDocument::fromJson(text).object());
                         }
                     });
    // Anything a worker says outside its lines (a crash report) is passed on as it is.
    QObject::connect(pProcess, &QProcess::readyReadStandardError, pProcess,
                     [this, nLine, pProcess]
                     {
                         SLine& line = m_lines[size_t(nLine)];
                         line.err += pProcess->readAllStandardError();
                         qsizetype nEnd = 0;
                         while ((nEnd = line.err.indexOf('\n')) >= 0)
                         {
                             m_pDisplay->Log(line.strPort + QStringLiteral(": ") +
                                             QString::fromLocal8Bit(line.err.left(nEnd)));
                             line.err.remove(0, nEnd + 1);
                         }
                     });
    QObject::connect(pProcess, &QProcess::finished, pProcess, [this, nLine] { LineDone(nLine); });
    // A worker that cannot start (no program, no descriptors left) is that port's failure.
    QObject::connect(pProcess, &QProcess::errorOccurred, pProcess,
                     [this, nLine](QProcess::ProcessError nError)
                     {
                         if (nError == QProcess::FailedToStart)
                             LineDone(nLine);
                     });
    // The worker gets its job as one line, the options already parsed and checked.
    QJsonObject job = m_options.Job(line.strPort);
    job["dataDir"] = m_app.m_strAppDir;
    // A worker records into the local record only; the plant's address and its password stay here.
    job["record"] = m_pRecord->Keeper().LocalLocation();
    pProcess->start(WorkerPath(), QStringList());
    pProcess->write(QJsonDocument(job).toJson(QJsonDocument::Compact) + '\n');
}

void CBatchRun::OnEvent(int nLine, const QJsonObject& event)
{
    SLine& line = m_lines[size_t(nLine)];
    const QString strEvent = event["event"].toString();
    if (strEvent == QLatin1String("progress"))
    {
        const int nPercent = event["percent"].toInt();
        m_pDisplay->SetStatus(nLine, QStringLiteral("[%1] %2% %3")
                                         .arg(CProgress::Bar(nPercent, 16))
                                         .arg(nPercent, 3)
                                         .arg(event["text"].toString()));
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
    else if (strEvent == QLatin1String("device"))
    {
        line.bInDevice = true;
        line.known = QJsonObject();
        line.written = CRecordCut::SProgress();
    }
    else if (strEvent == QLatin1String("block"))
    {
        const int nAddress = event["address"].toInt(-1);
        if (event["acknowledged"].toBool())
            line.written = {nAddress, -1};
        else
            line.written.nUnsure = nAddress;
    }
    else if (strEvent == QLatin1String("known"))
    {
        line.known = event; // kept for a worker that dies before its result
        line.strUnit = event["fingerprint"].toString();
        CheckAmbiguous(nLine);
    }
    else if (strEvent == QLatin1String("state"))
        OnState(nLine, event["state"].toString());
    else if (strEvent == QLatin1String("result"))
    {
        QJsonObject result = event;
        result.remove("event");
        AddResult(nLine, result);
    }
}

void CBatchRun::OnState(int nLine, const QString& strState)
{
    SLine& line = m_lines[size_t(nLine)];
    if (strState == QLatin1String("busy"))
    {
        m_pDisplay->SetStatus(nLine, QStringLiteral("порт занят другой программой"));
        m_pDisplay->Log(line.strPort + QStringLiteral(": порт занят другой программой; ждёт"));
    }
    else if (strState == QLatin1String("waiting"))
    {
        line.strUnit.clear();
        m_pDisplay->SetStatus(nLine, QStringLiteral("ждёт прибор"));
        // A log has no status lines: it says when a line is free for the next device.
        if (!m_pDisplay->IsLive())
            m_pDisplay->Log(line.strPort + QStringLiteral(": ждёт прибор"));
    }
    else
        m_pDisplay->SetStatus(nLine, m_pDisplay->IsLive()
                                         ? QStringLiteral("%1; ждёт отключения прибора")
                                               .arg(CBatchSummary::ResultText(line.strLastResult))
                                         : QString());
}

void CBatchRun::CheckAmbiguous(int nLine)
{
    SLine& line = m_lines[size_t(nLine)];
    if (line.strUnit.isEmpty())
        return;
    bool bTwice = false;
    for (const SLine& other : m_lines)
        bTwice = bTwice || (&other != &line && other.strUnit == line.strUnit);
    if (!bTwice || m_ambiguous.contains(line.strUnit))
        return;
    m_ambiguous.insert(line.strUnit);
    TellWorkers("ambiguous " + line.strUnit.toLatin1()); // each writes its unit's row
}

void CBatchRun::TellWorkers(const QByteArray& line)
{
    if (m_bStopping)
        return; // told to stop, they hear no more
    for (SLine& other : m_lines)
        if (other.pProcess && other.pProcess->state() == QProcess::Running)
            other.pProcess->write(line + '\n');
}

void CBatchRun::MarkAmbiguous()
{
    QStringList ids;
    for (QJsonValueRef value : m_results)
    {
        QJsonObject result = value.toObject();
        result["ambiguous"] = m_ambiguous.contains(result["fingerprint"].toString());
        if (result["ambiguous"].toBool())
            for (const QJsonValue& id : result["entries"].toArray())
                ids << id.toString();
        result.remove("entries");
        value = result;
    }
    if (ids.isEmpty())
        return;
    CRecordStore* pStore = m_pRecord->LocalStore(m_console);
    if (pStore && !pStore->MarkAmbiguous(ids))
        m_console.Error(COptions::kFailure, pStore->m_strLastError);
}

void CBatchRun::AddResult(int nLine, QJsonObject result)
{
    SLine& line = m_lines[size_t(nLine)];
    line.bInDevice = false;
    line.bResult = true;
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
    line.strLastResult = strResult;
    m_pDisplay->SetStatus(nLine, CBatchSummary::ResultText(strResult));
    if (strResult != QLatin1String("done") && strResult != QLatin1String("already") && m_bRepeat &&
        m_pDisplay->IsLive())
    {
        std::fputs("\a", m_pErr); // the operator may not be looking
        std::fflush(m_pErr);
    }
    if (m_report && !bReported && !m_report->Append(result))
    {
        m_bReportLost = true;
        m_pDisplay->Log(
            QStringLiteral("zint9: не удалось дописать отчёт %1: %2")
                .arg(m_strReport, strReportLost.isEmpty() ? m_report->m_strError : strReportLost));
    }
    m_results.append(result);
}

void CBatchRun::OnFinished(int nLine)
{
    SLine& line = m_lines[size_t(nLine)];
    line.bDone = true;
    const bool bCrashed = line.pProcess->error() == QProcess::FailedToStart ||
                          line.pProcess->exitStatus() == QProcess::CrashExit;
    if (!line.bInDevice && line.bResult && !bCrashed)
        return;
    if (!line.bInDevice && m_bRepeat && !bCrashed && line.pProcess->exitCode() == COptions::kSuccess)
        return; // stopped between devices, as asked
    const QString strText =
        CWorkerDeath::Text(*line.pProcess, WorkerPath(), m_bAborting,
                           line.bInDevice ? line.strPort : QString(), line.known["backup"].toString());
    // A write it had begun stays "attempted" in the record: it ended, cut, as far as it got.
    // Once the backup was made, the write may have begun.
    const bool bWriting = line.bInDevice && !line.known.value("backup").toString().isEmpty();
    bool bPartial = bWriting;
    if (bWriting)
    {
        CRecordStore* pStore = m_pRecord->LocalStore(m_console);
        if (pStore && !CRecordCut::Complete(*pStore, line.strPort, line.known.value("station").toString(),
                                            m_started, line.written, bPartial))
        {
            bPartial = true;
            m_console.Error(COptions::kFailure, pStore->m_strLastError);
        }
    }
    for (const QString& strLine : strText.split(QLatin1Char('\n')))
        m_pDisplay->Log(line.strPort + QStringLiteral(": zint9: ") + strLine);
    const QJsonObject result = CWorkerDeath::Result(strText, line.known, bWriting, bPartial);
    AddResult(nLine, result);
}

void CBatchRun::Stop()
{
    m_bStopping = true;
    m_pDisplay->Log(QStringLiteral("zint9: остановка: приборы, с которыми идёт работа, будут закончены"));
    for (SLine& line : m_lines)
        if (!line.bDone && line.pProcess->state() == QProcess::Running)
        {
            line.pProcess->write("stop\n");
            line.pProcess->closeWriteChannel();
        }
}

void CBatchRun::Abort()
{
    m_bAborting = true;
    m_pDisplay->Log(QStringLiteral("zint9: повторная остановка: работа с приборами прервана сразу"));
    for (SLine& line : m_lines)
        if (!line.bDone && line.pProcess->state() == QProcess::Running)
            line.pProcess->kill();
}

void CBatchRun::PrintSummary()
{
    if (!m_bRepeat) // in the order the ports were given, not the order they finished
        m_results = CBatchSummary::InPortOrder(m_results, m_ports);
    if (m_bJson)
    {
        std::fputs(QJsonDocument(m_results).toJson(QJsonDocument::Indented).constData(), m_pOut);
        std::fflush(m_pOut);
        return;
    }
    std::fprintf(m_pOut, "%s\n", CBatchSummary::Table(m_results).toUtf8().constData());
    std::fflush(m_pOut);
}
