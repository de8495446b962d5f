#include "cworkerinput.h"

#include <QHash>
#include <QSet>
#include <QStringList>

#include <atomic>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace
{
std::atomic<bool> s_bStop{false};

struct SRunWord
{
    std::mutex mutex;
    QSet<QString> ambiguous;
    QHash<QString, QString> configured;
    QList<CWorkerInput::SSerial> serials;
    bool bSerialsEnded = false;
};

// Never destroyed: the thread that fills it may still be reading a line as the process ends.
SRunWord& RunWord()
{
    static SRunWord* const pWord = new SRunWord;
    return *pWord;
}

void TakeLine(const QStringList& words)
{
    SRunWord& word = RunWord();
    if (words.size() == 2 && words[0] == QLatin1String("ambiguous"))
    {
        const std::lock_guard<std::mutex> lock(word.mutex);
        word.ambiguous.insert(words[1]);
    }
    else if (words.size() == 3 && words[0] == QLatin1String("configured"))
        CWorkerInput::Configured(words[1], words[2]);
    else if (words.size() == 4 && words[0] == QLatin1String("serial"))
    {
        CWorkerInput::SSerial serial;
        serial.nRequest = words[1].toInt();
        serial.strSerial = QString::fromUtf8(QByteArray::fromPercentEncoding(words[2].toLatin1()));
        if (words[3] != QLatin1String("-"))
            serial.owners = words[3].split(QLatin1Char(','));
        const std::lock_guard<std::mutex> lock(word.mutex);
        word.serials.append(serial);
    }
    else if (words.size() == 1 && words[0] == QLatin1String("serials-ended"))
    {
        const std::lock_guard<std::mutex> lock(word.mutex);
        word.bSerialsEnded = true;
    }
}
} // namespace

void CWorkerInput::Watch()
{
    std::thread(
        []
        {
            std::string strLine;
            while (std::getline(std::cin, strLine) && strLine != "stop")
                TakeLine(QString::fromStdString(strLine).split(QLatin1Char(' ')));
            s_bStop = true;
        })
        .detach();
}

bool CWorkerInput::Stopped()
{
    return s_bStop;
}

void CWorkerInput::Stop()
{
    s_bStop = true;
}

bool CWorkerInput::IsAmbiguous(const QString& strFingerprint)
{
    const std::lock_guard<std::mutex> lock(RunWord().mutex);
    return RunWord().ambiguous.contains(strFingerprint);
}

bool CWorkerInput::IsConfigured(const QString& strFingerprint, const QString& strHash)
{
    const std::lock_guard<std::mutex> lock(RunWord().mutex);
    return !strFingerprint.isEmpty() && RunWord().configured.value(strFingerprint) == strHash;
}

void CWorkerInput::Configured(const QString& strFingerprint, const QString& strHash)
{
    const std::lock_guard<std::mutex> lock(RunWord().mutex);
    RunWord().configured.insert(strFingerprint, strHash);
}

QList<CWorkerInput::SSerial> CWorkerInput::TakeSerials()
{
    const std::lock_guard<std::mutex> lock(RunWord().mutex);
    return std::exchange(RunWord().serials, {});
}

bool CWorkerInput::SerialsEnded()
{
    const std::lock_guard<std::mutex> lock(RunWord().mutex);
    return RunWord().bSerialsEnded;
}
