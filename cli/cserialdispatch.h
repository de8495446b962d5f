#pragma once

#include "cserialfeed.h"

class CBatchDisplay;
class CRecordAccess;

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// A station's --serials in its first process: each serial read goes to the port whose unit has
// waited longest for one, together with the units the record already knows under it (the worker
// judges its unit by them once it is read). A serial is given to one port at a time: one scanned
// again while a port holds it, or while it waits, is refused. A serial a port gives back (its unit
// was pulled first, or its worker ended) goes to the next port before any other.
class CSerialDispatch
{
public:
    struct SHandlers
    {
        std::function<void(int nLine, const QByteArray& line)> pfnTell; // to a line's worker
        std::function<void(const QByteArray& line)> pfnTellAll;         // to every worker, kept
        std::function<void(int nLine)> pfnStatus;                       // the line's status has changed
    };

    // The record says which units it knows under a serial; the display shows what is done.
    CSerialDispatch(const QStringList& ports, CRecordAccess& record, CBatchDisplay& display,
                    SHandlers handlers);
    // False with strError when the serials cannot be read.
    bool Open(const QString& strSource, QString& strError);
    // Takes the lines read since; called often.
    void Poll();
    // A worker's event: its state, a unit taken, a serial given back, a result.
    void OnEvent(int nLine, const QJsonObject& event);
    // The line's worker ended: what it held of the serials is free again.
    void LineEnded(int nLine);
    // What the line's status adds while it waits for a serial.
    QString Status(int nLine) const;

private:
    struct SLine
    {
        int nRequest = 0;    // the request it waits on; 0: none
        QString strInFlight; // sent, and not yet taken or given back
        QString strInHand;   // taken for the unit in hand
    };

    void Take(const QString& strSerial);
    void Withdraw(int nLine);
    void Dispatch();
    // The lines whose place in the queue may have changed.
    void TellQueue();

    // The units the record knows under a serial; one that cannot be read is said.
    QStringList Owners(const QString& strSerial);

    QStringList m_ports;
    CRecordAccess& m_record;
    CBatchDisplay& m_display;
    SHandlers m_handlers;
    CSerialFeed m_feed;
    std::vector<SLine> m_lines;
    QList<int> m_waiting;  // lines waiting for a serial, longest first
    QStringList m_pending; // serials read and not yet given
    bool m_bEndTold = false;
};
