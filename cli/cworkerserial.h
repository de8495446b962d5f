#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// A station worker's side of --serials: once a unit is on its port it asks the first process for
// a serial and waits («ждёт серийный номер»), taking only the answer to its latest request (one
// that comes after the unit has gone is given back for the next port). The unit is written only
// when the record has its serial for no other unit.
class CWorkerSerial
{
public:
    enum class EWait
    {
        Taken,   // a serial for the unit
        Gone,    // the unit was pulled first
        Stopped, // the run stops
        Ended,   // no serial will come
    };

    // pfnGone probes the port between looks: true once the unit has gone.
    EWait Await(const std::function<bool()>& pfnGone);
    // Serials that came for an earlier request go back to the first process.
    void GiveBackLate();
    // The unit just read (by its fingerprint) may be recorded under the serial; else says why.
    bool Fits(const QString& strFingerprint, QString& strWhy) const;
    const QString& Serial() const { return m_strSerial; }

private:
    // Takes what has come: the answer to this request, and gives back the rest.
    bool Take();

    int m_nRequest = 0;
    QString m_strSerial;
    QStringList m_owners;
};
