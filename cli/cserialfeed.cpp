#include "cserialfeed.h"

#include <QFile>

#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace
{
struct SInput
{
    std::mutex mutex;
    QStringList lines;
    bool bEnded = false;
};

// Never destroyed: the thread that fills it may still wait for a line as the process ends.
SInput& Input()
{
    static SInput* const pInput = new SInput;
    return *pInput;
}

QStringList Serials(const QStringList& lines)
{
    QStringList serials;
    for (const QString& strLine : lines)
        if (!strLine.trimmed().isEmpty())
            serials << strLine.trimmed();
    return serials;
}
} // namespace

bool CSerialFeed::Open(const QString& strSource, QString& strError)
{
    if (strSource != QLatin1String("-"))
    {
        QFile file(strSource);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        {
            strError = QStringLiteral("не удалось прочитать серийные номера из %1: %2")
                           .arg(strSource, file.errorString());
            return false;
        }
        m_lines = Serials(QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')));
        return true;
    }
    m_bStdin = true;
    m_bTerminal = CTerminalEcho::IsTerminal();
    if (m_bTerminal)
        m_echo.Off();
    std::thread(
        []
        {
            std::string strLine;
            while (std::getline(std::cin, strLine))
            {
                const std::lock_guard<std::mutex> lock(Input().mutex);
                Input().lines << QString::fromStdString(strLine);
            }
            const std::lock_guard<std::mutex> lock(Input().mutex);
            Input().bEnded = true;
        })
        .detach();
    return true;
}

QStringList CSerialFeed::Take()
{
    if (!m_bStdin)
        return std::exchange(m_lines, {});
    const std::lock_guard<std::mutex> lock(Input().mutex);
    return Serials(std::exchange(Input().lines, {}));
}

bool CSerialFeed::Ended()
{
    if (!m_bStdin)
        return m_lines.isEmpty();
    const std::lock_guard<std::mutex> lock(Input().mutex);
    return Input().bEnded && Input().lines.isEmpty();
}
