#include "cserialdispatch.h"

#include "cbatchdisplay.h"
#include "crecordaccess.h"

#include <utility>

CSerialDispatch::CSerialDispatch(const QStringList& ports, CRecordAccess& record, CBatchDisplay& display,
                                 SHandlers handlers)
    : m_ports(ports), m_record(record), m_display(display), m_handlers(std::move(handlers)),
      m_lines(size_t(ports.size()))
{
}

QStringList CSerialDispatch::Owners(const QString& strSerial)
{
    QString strNote;
    const QStringList units = m_record.UnitsOf(strSerial, strNote);
    if (!strNote.isEmpty())
        m_display.Log(QStringLiteral("zint9: ") + strNote);
    return units;
}

bool CSerialDispatch::Open(const QString& strSource, QString& strError)
{
    if (!m_feed.Open(strSource, strError))
        return false;
    if (m_feed.FromTerminal())
        m_display.Log(QStringLiteral("zint9: серийные номера читаются с терминала: сканируйте этикетку "
                                     "прибора, когда порт ждёт номер"));
    return true;
}

void CSerialDispatch::Poll()
{
    for (const QString& strSerial : m_feed.Take())
        Take(strSerial);
    Dispatch();
}

void CSerialDispatch::Take(const QString& strSerial)
{
    QString strHolder;
    for (size_t i = 0; i < m_lines.size(); ++i)
        if (m_lines[i].strInFlight == strSerial || m_lines[i].strInHand == strSerial)
            strHolder = m_ports[int(i)];
    if (!strHolder.isEmpty())
        m_display.Log(QStringLiteral("zint9: серийный номер %1 уже отдан порту %2; не принят")
                          .arg(strSerial, strHolder));
    else if (m_pending.contains(strSerial))
        m_display.Log(QStringLiteral("zint9: серийный номер %1 уже ждёт прибора; не принят").arg(strSerial));
    else
        m_pending << strSerial;
}

void CSerialDispatch::Dispatch()
{
    bool bGiven = false;
    while (!m_pending.isEmpty() && !m_waiting.isEmpty())
    {
        const QString strSerial = m_pending.takeFirst();
        const int nLine = m_waiting.takeFirst();
        SLine& line = m_lines[size_t(nLine)];
        line.strInFlight = strSerial;
        const QStringList owners = Owners(strSerial);
        m_handlers.pfnTell(nLine, "serial " + QByteArray::number(std::exchange(line.nRequest, 0)) + ' ' +
                                      strSerial.toUtf8().toPercentEncoding() + ' ' +
                                      (owners.isEmpty() ? QByteArray("-") : owners.join(',').toLatin1()));
        m_display.Log(m_ports[nLine] + QStringLiteral(": серийный номер ") + strSerial);
        m_handlers.pfnStatus(nLine);
        bGiven = true;
    }
    if (bGiven)
        TellQueue();
    if (m_bEndTold || !m_pending.isEmpty() || !m_feed.Ended())
        return;
    m_bEndTold = true;
    m_display.Log(QStringLiteral("zint9: серийные номера кончились; прибор без номера не настраивается"));
    m_handlers.pfnTellAll("serials-ended");
}

void CSerialDispatch::OnEvent(int nLine, const QJsonObject& event)
{
    SLine& line = m_lines[size_t(nLine)];
    const QString strEvent = event["event"].toString();
    if (strEvent == QLatin1String("state"))
    {
        Withdraw(nLine);
        line.strInHand.clear(); // its unit is done with, or waits for another serial
        if (event["state"].toString() == QLatin1String("serial"))
        {
            line.nRequest = event["request"].toInt();
            m_waiting << nLine;
            TellQueue();
        }
    }
    else if (strEvent == QLatin1String("device"))
        line.strInHand = std::exchange(line.strInFlight, QString());
    else if (strEvent == QLatin1String("result"))
        line.strInHand.clear();
    else if (strEvent == QLatin1String("returned"))
    {
        const QString strSerial = event["serial"].toString();
        if (line.strInFlight == strSerial)
            line.strInFlight.clear();
        m_pending.prepend(strSerial);
    }
    Dispatch();
}

void CSerialDispatch::Withdraw(int nLine)
{
    m_lines[size_t(nLine)].nRequest = 0;
    if (m_waiting.removeAll(nLine) > 0)
        TellQueue();
}

void CSerialDispatch::LineEnded(int nLine)
{
    SLine& line = m_lines[size_t(nLine)];
    Withdraw(nLine);
    line.strInHand.clear();
    // One sent to a worker that ended never reached a unit.
    if (!line.strInFlight.isEmpty())
        m_pending.prepend(std::exchange(line.strInFlight, QString()));
    Dispatch();
}

void CSerialDispatch::TellQueue()
{
    for (const int nLine : m_waiting)
        m_handlers.pfnStatus(nLine);
}

QString CSerialDispatch::Status(int nLine) const
{
    const qsizetype nAt = m_waiting.indexOf(nLine);
    if (nAt < 0)
        return QString();
    if (nAt == 0)
        return m_bEndTold ? QStringLiteral(" — номеров больше нет") : QStringLiteral(" ← следующий номер");
    return QStringLiteral(" (очередь %1)").arg(nAt + 1);
}
