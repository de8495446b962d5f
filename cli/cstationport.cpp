#include "cstationport.h"

#include <utility>

QString CStationPort::SetState(const QString& strState, const QString& strResult)
{
    m_strState = strState;
    m_strProbe.clear();
    m_strResult = strResult;
    if (strState == QLatin1String("waiting"))
    {
        m_bUnitOnPort = false;
        return QStringLiteral("ждёт прибор");
    }
    // A unit found and not yet touched: a worker started again may take it.
    if (strState == QLatin1String("serial"))
    {
        m_bUnitOnPort = false;
        return QStringLiteral("ждёт серийный номер");
    }
    // A unit its last worker left: the operator has to pull it before the port goes on.
    return m_bRestarted ? QStringLiteral("ждёт отключения прибора") : QString();
}

QString CStationPort::SetProbe(const QString& strProbe, const QString& strReason)
{
    const QString strWas = std::exchange(m_strProbe, strProbe);
    m_strReason = strReason;
    if (strProbe == strWas)
        return QString();
    if (!Blocked(m_strState, strProbe))
        return Blocked(m_strState, strWas) ? QStringLiteral("порт доступен") : QString();
    if (strProbe == QLatin1String("busy"))
        return QStringLiteral("порт занят другой программой; ждёт");
    if (strProbe == QLatin1String("missing"))
        return QStringLiteral("порт не найден; ждёт, пока он появится");
    return QStringLiteral("порт не открывается (%1); ждёт").arg(strReason);
}

void CStationPort::TookUnit()
{
    m_bUnitOnPort = true;
    m_nFutile = 0;
    m_bRestarted = false;
}

bool CStationPort::Died(const QString& strWhy)
{
    m_strState.clear();
    m_strProbe.clear();
    if (++m_nFutile >= kFutileStarts)
    {
        m_strDead = strWhy;
        return false;
    }
    m_bRestarted = true;
    return true;
}

bool CStationPort::Blocked(const QString& strState, const QString& strProbe)
{
    // While a unit is being pulled out, a port that goes away is the unit leaving with its adapter.
    return strProbe == QLatin1String("busy") ||
           (strState == QLatin1String("waiting") &&
            (strProbe == QLatin1String("missing") || strProbe == QLatin1String("unopened")));
}

QString CStationPort::Status() const
{
    if (!m_strDead.isEmpty())
        return QStringLiteral("не работает: ") + m_strDead;
    if (m_strState.isEmpty())
        return m_bRestarted ? QStringLiteral("процесс порта запущен снова") : QString();
    QString strText;
    if (m_strProbe == QLatin1String("busy"))
        strText = QStringLiteral("порт занят другой программой");
    else if (m_strState == QLatin1String("serial"))
        strText = QStringLiteral("ждёт серийный номер");
    else if (m_strState == QLatin1String("removal"))
        strText = QStringLiteral("%1; ждёт отключения прибора").arg(m_strResult);
    else if (m_strProbe == QLatin1String("missing"))
        strText = QStringLiteral("порт не найден");
    else if (m_strProbe == QLatin1String("unopened"))
        strText = QStringLiteral("порт не открывается: %1").arg(m_strReason);
    else if (m_strProbe == QLatin1String("silent"))
        strText = QStringLiteral("ждёт прибор: нет ответа");
    else
        strText = QStringLiteral("ждёт прибор");
    if (m_bRestarted)
        strText += QStringLiteral("; процесс порта перезапущен");
    return strText;
}

QString CStationPort::RestartText() const
{
    return m_bUnitOnPort ? QStringLiteral("процесс порта запущен снова; прибор на порту не будет настроен, "
                                          "пока его не отключат и не подключат снова")
                         : QStringLiteral("процесс порта запущен снова");
}

QString CStationPort::DeadText() const
{
    return QStringLiteral(
               "порт не работает: процесс порта %1 раза подряд завершился, не дойдя до прибора (%2)")
        .arg(kFutileStarts)
        .arg(m_strDead);
}
