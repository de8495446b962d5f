#pragma once

#include "cbatchdisplay.h"
#include "cbatchline.h"
#include "cbatchreport.h"
#include "crecordaccess.h"

#include <QByteArrayList>
#include <QDateTime>
#include <QJsonArray>
#include <QSet>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "cconsole.h"
#include "coptions.h"

class CPortWorker;
class CSerialDispatch;
class CZTAppDevice;
class QEventLoop;

// set or write on several ports at once, or at a station one device after another: a worker
// process a port (the application object is one a process), a status line each, a summary at
// the end and a CSV record. The values are checked before any port is touched.
class CBatchRun
{
public:
    CBatchRun(CZTAppDevice& app, CConsole& console);
    ~CBatchRun();
    int Run(const COptions& options);
    // The per-port worker program.
    static QString WorkerPath() { return CRecordKeeper::WorkerPath(); }

private:
    void RunLines();
    void Start(int nLine);
    // A worker has ended or could not start.
    void LineDone(int nLine);
    // A line whose worker will not be started again.
    void EndLine();
    // A station's worker that died, saying strWhy: another takes its port, unless the port's
    // workers keep dying before they reach a unit; false when the port is given up.
    bool Restart(int nLine, const QString& strWhy);
    void OnEvent(int nLine, const QJsonObject& event);
    // A worker's state: waiting for a unit, or for its removal.
    void OnState(int nLine, const QString& strState);
    // What a worker's probe found on its port, where it changed.
    void OnProbe(int nLine, const QString& strProbe, const QString& strReason);
    // A station's line's status: its port's, and its place among those waiting for a serial.
    void ShowStation(int nLine);
    // --serials: false after saying why they cannot be read.
    bool OpenSerials();
    // Why the worker ended, when it ended without its result or unasked.
    QString OnFinished(int nLine);
    void AddResult(int nLine, QJsonObject result);
    // A unit whose fingerprint another line's unit shows too is ambiguous, and so is that one.
    void CheckAmbiguous(int nLine);
    // A line to every worker still at work, of the run's other ports.
    void TellWorkers(const QByteArray& line);
    // Marks the results and the record's entries of ambiguous units.
    void MarkAmbiguous();
    void Stop();
    // A second stop request: every worker is killed, its unit left as it is.
    void Abort();
    // The run's exit status once it is over.
    int ExitStatus();
    int Error(int nExit, const QString& strText) { return m_console.Error(nExit, strText); }
    // The terminal's bell, for the operator who may not be looking.
    void Bell();

    CZTAppDevice& m_app;
    CConsole& m_console;
    std::FILE* m_pOut;
    std::FILE* m_pErr;
    COptions m_options;
    QStringList m_ports;
    QString m_strReport;
    bool m_bRepeat = false;
    bool m_bJson = false;
    bool m_bQuiet = false;
    bool m_bStopping = false;
    bool m_bAborting = false;
    QDateTime m_started;        // the run's start, UTC
    bool m_bReportLost = false; // a line of the report could not be stored
    QEventLoop* m_pLoop = nullptr;
    int m_nRunning = 0;
    std::vector<CBatchLine> m_lines;
    int m_nCounts[3] = {0, 0, 0}; // configured, already, failed
    std::unique_ptr<CBatchDisplay> m_pDisplay;
    std::optional<CBatchReport> m_report;
    QSet<QString> m_ambiguous; // fingerprints seen on two lines at once
    QByteArrayList m_word;     // what the workers were told of the run, for those started again
    std::unique_ptr<CRecordAccess> m_pRecord;
    std::unique_ptr<CSerialDispatch> m_pSerials;
    static constexpr int kSyncPeriodMs = 30000;
    static constexpr int kFinalSyncMs = 10000;
    QJsonArray m_results;
};
