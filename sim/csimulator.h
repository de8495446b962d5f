#pragma once

#include "cpseudoterminal.h"
#include "csimdevice.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

// Runs a CSimDevice on the master side of a pseudo-terminal, on a thread of its own. Paced, it
// answers as a real line would: after the line time of the request, one character every
// 11 bits at 9600 baud.
class CSimulator
{
public:
    CSimulator() = default;
    ~CSimulator();
    CSimulator(const CSimulator&) = delete;
    CSimulator& operator=(const CSimulator&) = delete;

    // Starts on a fresh pseudo-terminal; after a hang-up, the adapter plugged in again.
    bool Start();
    void Stop();
    QString SlavePath() const { return m_pty.SlavePath(); }
    void SetPaced(bool bPaced) { m_bPaced = bPaced; }
    // A stalled simulator takes nothing off the line, so the host's writes fill it and block.
    void SetStalled(bool bStalled) { m_bStalled = bStalled; }
    bool LineSettings(CPseudoTerminal::SLineSettings& settings) { return m_pty.LineSettings(settings); }
    // A hang-up fault has closed the line.
    bool HasHungUp() const { return m_bHungUp; }
    // Runs fn on the device while the simulator's thread keeps off it.
    template <typename Fn>
    auto WithDevice(Fn fn)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return fn(m_device);
    }

    QString m_strError;

private:
    void Run();
    void Send(const QByteArray& answer, int nRequestChars, bool bPaced);
    // Sleeps nMs unless the simulator is stopped meanwhile.
    void Wait(int nMs);

    CPseudoTerminal m_pty;
    CSimDevice m_device;
    std::mutex m_mutex;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bPaced{false};
    std::atomic<bool> m_bStalled{false};
    std::atomic<bool> m_bHungUp{false};
};
