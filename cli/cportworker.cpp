#include "cportworker.h"

#include "cstopsignal.h"

#include <QJsonDocument>
#include <QStringList>

#include <utility>

CPortWorker::CPortWorker(const QString& strProgram, const QByteArray& input, SHandlers handlers)
    : m_pProcess(std::make_unique<QProcess>()), m_handlers(std::move(handlers))
{
    QProcess* pProcess = m_pProcess.get();
    CStopSignal::Detach(*pProcess);
    QObject::connect(pProcess, &QProcess::readyReadStandardOutput, pProcess, [this] { ReadOutput(); });
    // Anything a worker says outside its lines (a crash report) is passed on as it is.
    QObject::connect(pProcess, &QProcess::readyReadStandardError, pProcess, [this] { ReadError(); });
    QObject::connect(pProcess, &QProcess::finished, pProcess, [this] { Ended(); });
    // A worker that cannot start (no program, no descriptors left) reports that, and no finish
    // follows; queued, since start() may report it before this object is its owner's.
    QObject::connect(
        pProcess, &QProcess::errorOccurred, pProcess,
        [this](QProcess::ProcessError nError)
        {
            if (nError == QProcess::FailedToStart)
                Ended();
        },
        Qt::QueuedConnection);
    pProcess->start(strProgram, QStringList());
    if (pProcess->state() != QProcess::NotRunning)
        pProcess->write(input);
}

CPortWorker::~CPortWorker()
{
    // Its signals must not reach this object while the process goes.
    QObject::disconnect(m_pProcess.get(), nullptr, nullptr, nullptr);
}

void CPortWorker::Tell(const QByteArray& line)
{
    if (IsRunning())
        m_pProcess->write(line + '\n');
}

void CPortWorker::Stop()
{
    if (!IsRunning())
        return;
    m_pProcess->write("stop\n");
    m_pProcess->closeWriteChannel();
}

void CPortWorker::ReadOutput()
{
    m_out += m_pProcess->readAllStandardOutput();
    for (qsizetype nEnd = 0; (nEnd = m_out.indexOf('\n')) >= 0;)
    {
        const QByteArray text = m_out.left(nEnd);
        m_out.remove(0, nEnd + 1);
        m_handlers.pfnEvent(QJsonDocument::fromJson(text).object());
    }
}

void CPortWorker::ReadError()
{
    m_err += m_pProcess->readAllStandardError();
    for (qsizetype nEnd = 0; (nEnd = m_err.indexOf('\n')) >= 0;)
    {
        m_handlers.pfnError(QString::fromLocal8Bit(m_err.left(nEnd)));
        m_err.remove(0, nEnd + 1);
    }
}

void CPortWorker::Ended()
{
    if (!std::exchange(m_bEnded, true))
        m_handlers.pfnEnded();
}
