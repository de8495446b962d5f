#pragma once

#include "cbatchdisplay.h"
#include "crecordcut.h"
#include "cstationport.h"

#include <QJsonObject>
#include <QString>

#include <memory>

class CPortWorker;

// One port of a batch as the first process keeps it across its workers: the worker in hand, what
// is known of the unit on it, how far its write has got, and what its status line shows.
class CBatchLine
{
public:
    explicit CBatchLine(const QString& strPort);
    ~CBatchLine();
    CBatchLine(CBatchLine&&) noexcept;
    CBatchLine& operator=(CBatchLine&&) noexcept;

    // A worker's event about the unit in hand: a unit taken, a block written, what is known.
    void OnUnitEvent(const QJsonObject& event);
    // Its result: the status shows it, with why it failed, until the next unit comes.
    void TookResult(const QJsonObject& result);
    // The status line: the port's state, the last result while it waits, and its tone.
    QString Status() const;
    CBatchDisplay::ETone Tone() const;
    // The last result in words, with why it failed; empty once the next unit has come.
    const QString& Shown() const { return m_strShown; }

    QString strPort;
    std::unique_ptr<CPortWorker> pWorker; // the port's worker, the last one started
    QString strLastResult;                // its key
    QJsonObject known;                    // versions and backup of the unit in hand, as far as known
    QString strUnit;                      // the fingerprint of the unit on the line, until it goes
    CRecordCut::SProgress written;        // how far the write in hand has got
    CStationPort station;                 // at a station, what the port keeps across its workers
    bool bInDevice = false;
    bool bResult = false;
    bool bDone = false;

private:
    QString m_strShown; // the last result in words, shown until the next unit
    bool m_bGood = false;
};
