#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>

#include <functional>
#include <memory>

// A port's worker process as the first process sees it: started with its input (the job and
// what the run has learnt so far), kept out of the terminal's Ctrl+C, its standard output taken
// as one JSON event a line, its standard error passed on a line at a time, and its end told once,
// whether it could not start or finished.
class CPortWorker
{
public:
    struct SHandlers
    {
        std::function<void(const QJsonObject&)> pfnEvent;
        std::function<void(const QString&)> pfnError; // a line of its standard error
        std::function<void()> pfnEnded;
    };

    CPortWorker(const QString& strProgram, const QByteArray& input, SHandlers handlers);
    ~CPortWorker();
    CPortWorker(const CPortWorker&) = delete;
    CPortWorker& operator=(const CPortWorker&) = delete;

    bool IsRunning() const { return m_pProcess->state() == QProcess::Running; }
    // A line to the worker while it runs.
    void Tell(const QByteArray& line);
    // "stop", and its input closed: it ends after its unit.
    void Stop();
    void Kill() { m_pProcess->kill(); }
    const QProcess& Process() const { return *m_pProcess; }

private:
    void ReadOutput();
    void ReadError();
    void Ended();

    std::unique_ptr<QProcess> m_pProcess;
    SHandlers m_handlers;
    QByteArray m_out, m_err; // what has come without its line end yet
    bool m_bEnded = false;
};
