#pragma once

#include "cconsole.h"
#include "cdevicecommand.h"
#include "coptions.h"
#include "crecordaccess.h"
#include "cworkerserial.h"
#include "cztappdevice.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>

// One port's line of a batch, in the zint9-worker process: takes its job as one JSON line on
// stdin (the options as the parent parsed and checked them, one port), runs set or write on that
// port and tells the parent on stdout, one JSON object a line, what happens (progress, messages,
// result). With repeat it waits for each next device. A line "stop" or the end of stdin ends
// the run between devices. With --serials each unit waits for its serial (see CWorkerSerial).
// A "sync" job instead uploads the local record's waiting entries to
// the plant's, in a process that its starter may kill when the plant does not answer.
class CBatchWorker
{
public:
    CBatchWorker();
    // The job, as it came on stdin; the exit status is the batch's for this port.
    int Run(const QJsonObject& job);

    static void Emit(const QJsonObject& event);

private:
    int Configure();
    // The unit on the port, with --serials once it has a serial of its own; false when the run
    // stops first. A failure is noted in nExit.
    bool TakeUnit(int& nExit);
    // A unit left as it is, said why, with its row.
    int Unconfigured(const QString& strWhy);
    // A "sync" job: the local record's waiting entries go up to the plant's.
    int Sync(const QString& strLocal);
    enum class EProbe
    {
        Present,  // answered the versions request
        Silent,   // opened, and nothing answered
        Missing,  // no such port
        Unopened, // the port is there and cannot be opened (permissions, not a serial port)
        Busy,     // another program holds the port
    };
    EProbe Probe();
    // The parent is told each change of what the probes find, with the port's reason.
    void TellProbe(EProbe nProbe);
    // Waits until a device answers (bPresent) or stops answering; false when asked to stop.
    bool WaitFor(bool bPresent);
    QJsonObject Result(int nExit) const;
    // Appends the unit's row to the report, where one is kept, and notes in the result whether
    // it went in.
    void Report(QJsonObject& result) const;
    // The settings the unit holds, for the result; all null when it was never read.
    void AddValues(QJsonObject& result) const;

    CZTAppDevice m_app;
    CConsole m_console;
    CDeviceCommand m_device;
    std::unique_ptr<CRecordAccess> m_pRecord;
    COptions m_options;
    QString m_strPort;
    QJsonArray m_messages;
    QDateTime m_started; // this unit's work, UTC
    QElapsedTimer m_timer;
    bool m_bProbing = false;
    bool m_bTraceLost = false; // the unit's traffic log could not be written whole
    bool m_bSerials = false;   // each unit's serial comes from --serials
    CWorkerSerial m_serial;
};
