#pragma once

#include "cbatchdisplay.h"
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
#include "crecordcut.h"
#include "cstationport.h"

class CPortWorker;
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
    static QString WorkerPath();

private:
    struct SLine
    {
        QString strPort;
        std::unique_ptr<CPortWorker> pWorker; // the port's worker, the last one started
        QString strLastResult;
        QJsonObject known;             // versions and backup of the device in hand, as far as they are known
        QString strUnit;               // the fingerprint of the unit on the line, until it is taken away
        CRecordCut::SProgress written; // how far the write in hand has got
        CStationPort station;          // at a station, what the port keeps across its workers
        bool bInDevice = false;
        bool bResult = false;
        bool bDone = false;
    };

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
    int Error(int nExit, const QString& strText);
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
    std::vector<SLine> m_lines;
    std::unique_ptr<CBatchDisplay> m_pDisplay;
    std::optional<CBatchReport> m_report;
    QSet<QString> m_ambiguous; // fingerprints seen on two lines at once
    QByteArrayList m_word;     // what the workers were told of the run, for those started again
    std::unique_ptr<CRecordAccess> m_pRecord;
    static constexpr int kSyncPeriodMs = 30000;
    static constexpr int kFinalSyncMs = 10000;
    QJsonArray m_results;
};
