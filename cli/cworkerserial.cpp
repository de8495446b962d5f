#include "cworkerserial.h"

#include "cbatchworker.h"
#include "cfingerprint.h"
#include "cworkerinput.h"

#include <QJsonObject>
#include <QThread>

CWorkerSerial::EWait CWorkerSerial::Await(const std::function<bool()>& pfnGone)
{
    m_strSerial.clear();
    m_owners.clear();
    CBatchWorker::Emit({{"event", "state"}, {"state", "serial"}, {"request", ++m_nRequest}});
    while (!CWorkerInput::Stopped())
    {
        if (Take())
            return EWait::Taken;
        if (CWorkerInput::SerialsEnded())
            return EWait::Ended;
        if (pfnGone())
            return EWait::Gone;
        for (int i = 0; i < 5 && !CWorkerInput::Stopped() && !Take(); ++i)
            QThread::msleep(50);
        if (!m_strSerial.isEmpty())
            return EWait::Taken;
    }
    return EWait::Stopped;
}

bool CWorkerSerial::Take()
{
    for (const CWorkerInput::SSerial& serial : CWorkerInput::TakeSerials())
    {
        if (serial.nRequest == m_nRequest && m_strSerial.isEmpty())
        {
            m_strSerial = serial.strSerial;
            m_owners = serial.owners;
        }
        else
            CBatchWorker::Emit({{"event", "returned"}, {"serial", serial.strSerial}});
    }
    return !m_strSerial.isEmpty();
}

void CWorkerSerial::GiveBackLate()
{
    ++m_nRequest; // whatever answers an earlier request is late
    m_strSerial.clear();
    Take();
    m_strSerial.clear();
}

bool CWorkerSerial::Fits(const QString& strFingerprint, QString& strWhy) const
{
    // A unit read again (a failed write, the unit put back) keeps its serial.
    if (m_owners.isEmpty() || (!strFingerprint.isEmpty() && m_owners.contains(strFingerprint)))
        return true;
    QStringList owners;
    for (const QString& strOwner : m_owners)
        owners << CFingerprint::Short(strOwner);
    strWhy = QStringLiteral("серийный номер %1 уже записан за другим прибором (%2); прибор не настроен, "
                            "порт ждёт другой номер")
                 .arg(m_strSerial, owners.join(QStringLiteral(", ")));
    return false;
}
