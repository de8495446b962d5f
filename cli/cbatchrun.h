#pragma once

#include "cbatchdisplay.h"
#include "cbatchreport.h"

#include <QJsonArray>
#include <QProcess>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "cconsole.h"
#include "coptions.h"

class CZTAppDevice;

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
        bool bInDevice = false;
        bool bResult = false;
        bool bDone = false;
    };

    void Start(int nLine);
    void OnEvent(int nLine, const QJsonObject& event);
    void OnFinished(int nLine);
    void AddResult(int nLine, QJsonObject result);
    void Stop();
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
    std::vector<SLine> m_lines;
    std::unique_ptr<CBatchDisplay> m_pDisplay;
    std::optional<CBatchReport> m_report;
    QJsonArray m_results;
};
