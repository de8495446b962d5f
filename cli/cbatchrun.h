#pragma once

#include "cbatchdisplay.h"
#include "cbatchreport.h"
#include "crecordaccess.h"

#include <QDateTime>
#include <QJsonArray>
#include <QProcess>
#include <QSet>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "cconsole.h"
#include "coptions.h"
#include "crecordcut.h"

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
        std::unique_ptr<QProcess> pProcess;
        QByteArray out, err; // what has come without its line end yet
        QString strLastResult;
        QJsonObject known;             // versions and backup of the device in hand, as far as they are known
        QString strUnit;               // the fingerprint of the unit on the line, until it is taken away
        CRecordCut::SProgress written; // how far the write in hand has got
        bool bInDevice = false;
        bool bResult = false;
        bool bDone = false;
    };

    void RunLines();
    void Start(int nLine);
    // A worker has ended or could not start.
    void LineDone(int nLine);
    void OnEvent(int nLine, const QJsonObject& event);
    // A worker's state: waiting for a unit, for its removal, or its port busy.
    void OnState(int nLine, const QString& strState);
    void OnFinished(int nLine);
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
    void PrintSummary();
    int Error(int nExit, const QString& strText);

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
    std::unique_ptr<CRecordAccess> m_pRecord;
    static constexpr int kSyncPeriodMs = 30000;
    static constexpr int kFinalSyncMs = 10000;
    QJsonArray m_results;
};
