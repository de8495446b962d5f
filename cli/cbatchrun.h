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

class CCommandLine;

// set or write on several ports at once, or at a station one device after another: a worker
// process a port (the application object is one a process), a status line each, a summary at
// the end and a CSV record. The values are checked before any port is touched.
class CBatchRun
{
public:
    CBatchRun(CCommandLine& commandLine, std::FILE* pOut, std::FILE* pErr);
    ~CBatchRun();
    // Several ports, --repeat or --report.
    static bool IsBatch(const QStringList& arguments);
    int Run(const QStringList& arguments);

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

    bool Parse(const QStringList& arguments);
    int Check(const QStringList& arguments);
    void Start(int nLine);
    void OnEvent(int nLine, const QJsonObject& event);
    void OnFinished(int nLine);
    void AddResult(int nLine, QJsonObject result);
    void Stop();
    void PrintSummary();
    int Error(int nExit, const QString& strText);

    CCommandLine& m_commandLine;
    std::FILE* m_pOut;
    std::FILE* m_pErr;
    QStringList m_ports;
    QStringList m_passOn; // the arguments every worker gets
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
