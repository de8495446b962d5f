#include "cworkerinput.h"

#include <QHash>
#include <QSet>
#include <QStringList>

#include <atomic>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

namespace
{
std::atomic<bool> s_bStop{false};

struct SRunWord
{
    std::mutex mutex;
    QSet<QString> ambiguous;
    QHash<QString, QString> configured;
};

// Never destroyed: the thread that fills it may still be reading a line as the process ends.
SRunWord& RunWord()
{
    static SRunWord* const pWord = new SRunWord;
    return *pWord;
}
} // namespace

void CWorkerInput::Watch()
{
    std::thread(
        []
        {
            std::string strLine;
            while (std::getline(std::cin, strLine) && strLine != "stop")
            {
                const QStringList words = QString::fromStdString(strLine).split(QLatin1Char(' '));
                if (words.size() == 2 && words[0] == QLatin1String("ambiguous"))
                {
                    const std::lock_guard<std::mutex> lock(RunWord().mutex);
                    RunWord().ambiguous.insert(words[1]);
                }
                else if (words.size() == 3 && words[0] == QLatin1String("configured"))
                    Configured(words[1], words[2]);
            }
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
