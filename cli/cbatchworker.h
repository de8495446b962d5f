#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

class CCommandLine;

// One port's line of a batch, in a process of its own: runs the single-device set or write and
// tells the parent on stdout, one JSON object a line, what happens (progress, messages, result).
// With --repeat it waits for each next device. A line "stop" or the end of stdin ends the run
// between devices.
class CBatchWorker
{
public:
    explicit CBatchWorker(CCommandLine& commandLine);
    // arguments as the parent passed them: with --worker, one --port and maybe --repeat.
    int Run(const QStringList& arguments);

    static void Emit(const QJsonObject& event);

private:
    int Configure(const QStringList& arguments);
    bool Answers();
    // Waits until a device answers (bPresent) or stops answering; false when asked to stop.
    bool WaitFor(bool bPresent);

    CCommandLine& m_commandLine;
    QString m_strPort;
    QJsonArray m_messages;
    bool m_bProbing = false;
};
