#pragma once

#include <QString>

// What the first process keeps of a station's port across the workers it starts for it: the
// status line while its worker waits (a port that is not there, or cannot be opened, must not
// look like an empty one), whether a unit may be on it, and whether it is given up because its
// workers keep ending before they reach a unit.
class CStationPort
{
public:
    // Workers in a row that end before they take a unit: the port is given up.
    static constexpr int kFutileStarts = 3;

    // The worker's state: "waiting" for a unit, or "removal" of the one it had, whose result in
    // words is strResult; returns what a log without status lines says of it, or empty.
    QString SetState(const QString& strState, const QString& strResult);
    // What a probe found (present, silent, missing, unopened, busy), with why the port did not
    // open; returns the message the change is worth, or empty.
    QString SetProbe(const QString& strProbe, const QString& strReason);
    // The worker took a unit.
    void TookUnit();
    // Its worker ended unasked, saying strWhy; false when the port is given up.
    bool Died(const QString& strWhy);

    QString Status() const;
    // What is said when its worker is started again, or when the port is given up.
    QString RestartText() const;
    QString DeadText() const;
    bool UnitOnPort() const { return m_bUnitOnPort; }
    // What its worker last said it waits for; empty until it says.
    const QString& State() const { return m_strState; }
    // Why the port no longer works; empty while it does.
    const QString& Dead() const { return m_strDead; }

private:
    // A finding that keeps the port from taking a unit.
    static bool Blocked(const QString& strState, const QString& strProbe);

    QString m_strState;  // empty until the worker says
    QString m_strProbe;  // the last finding in this state
    QString m_strReason; // why the port did not open, for unopened and busy
    QString m_strResult;
    bool m_bRestarted = false;  // a worker was started again since the port's last unit
    bool m_bUnitOnPort = false; // its worker had a unit in hand, or waited for its removal
    int m_nFutile = 0;          // workers in a row that ended before they took a unit
    QString m_strDead;
};
