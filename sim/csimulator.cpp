#include "csimulator.h"

#include <algorithm>
#include <chrono>

namespace
{
// One character of 11 bits at 9600 baud.
constexpr std::chrono::nanoseconds kCharTime(11'000'000'000LL / 9600);
} // namespace

CSimulator::~CSimulator()
{
    Stop();
}

bool CSimulator::Start()
{
    if (!m_pty.Open())
    {
        m_strError = m_pty.m_strError;
        return false;
    }
    m_bStop = false;
    m_bHungUp = false;
    m_thread = std::thread(&CSimulator::Run, this);
    return true;
}

void CSimulator::Stop()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
    m_pty.Close();
}

void CSimulator::Run()
{
    QByteArray line;
    char buffer[256];
    int nPacedAnswers = 0;
    while (!m_bStop)
    {
        if (m_bStalled)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        const int nRead = m_pty.Read(buffer, sizeof(buffer), 20);
        if (nRead < 0)
            break;
        if (nRead == 0)
            m_pty.ReleaseStaleExclusive();
        for (int i = 0; i < nRead; ++i)
        {
            if (buffer[i] != '\n')
            {
                if (line.size() < 1024)
                    line += buffer[i];
                continue;
            }
            QByteArray answer;
            bool bHangUp = false;
            CSimDevice::SDelivery delivery;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                answer = m_device.Answer(line);
                bHangUp = m_device.TakeHangUp();
                delivery = m_device.TakeDelivery();
            }
            if (bHangUp)
            {
                m_pty.HangUp(); // as an unplugged adapter: the host's side sees the line hang up
                m_bHungUp = true;
                return;
            }
            // A stalled unit answers late; what the host sends meanwhile waits on the line. The
            // answers around a late or doubled one go at the line rate even when unpaced, so that
            // they arrive as late as on a real line, after the host's next request.
            const bool bPaced = m_bPaced || nPacedAnswers > 0;
            nPacedAnswers = std::max(0, nPacedAnswers - 1);
            if (delivery.nDelayMs > 0 || delivery.nRepeatAfterMs >= 0)
                nPacedAnswers = 2;
            if (delivery.bEcho)
                m_pty.Write((line + '\n').constData(), int(line.size()) + 1);
            Wait(delivery.nDelayMs);
            Send(answer, int(line.size()) + 1, bPaced);
            if (delivery.nRepeatAfterMs >= 0)
            {
                Wait(delivery.nRepeatAfterMs);
                Send(answer, 0, true);
            }
            line.clear();
        }
    }
}

void CSimulator::Wait(int nMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMs);
    while (!m_bStop && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(nMs, 5)));
}

void CSimulator::Send(const QByteArray& answer, int nRequestChars, bool bPaced)
{
    if (!bPaced)
    {
        if (!answer.isEmpty())
            m_pty.Write(answer.constData(), int(answer.size()));
        return;
    }
    // Each character is handed over once the line would have carried it: the request first,
    // then the answer one character at a time, against absolute deadlines so that no delay adds up.
    auto deadline = std::chrono::steady_clock::now() + kCharTime * nRequestChars;
    for (char ch : answer)
    {
        deadline += kCharTime;
        std::this_thread::sleep_until(deadline);
        if (m_bStop || !m_pty.Write(&ch, 1))
            return;
    }
}
