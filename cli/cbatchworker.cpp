#include "cbatchworker.h"

#include "ccommandline.h"
#include "csettingstext.h"
#include "cztappdevice.h"

#include <QJsonDocument>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

namespace
{
std::atomic<bool> s_bStop{false};

// The parent says stop with a line, or by going away.
void WatchInput()
{
    std::thread(
        []
        {
            std::string strLine;
            while (std::getline(std::cin, strLine) && strLine != "stop")
            {
            }
            s_bStop = true;
        })
        .detach();
}

// Progress as percent lines; only a change is sent.
class CWorkerProgress : public CProgress
{
public:
    void SetText(const QString& strText) override { m_strText = strText.section(QLatin1Char('\n'), -1); }
    void SetRange(int nMin, int nMax) override
    {
        m_nMin = nMin;
        m_nMax = nMax;
    }
    void SetStep(int nStep) override { m_nStep = nStep; }
    void SetPos(int nPos) override
    {
        m_nPos = nPos;
        const int nSpan = m_nMax > m_nMin ? m_nMax - m_nMin : 1;
        const int nPercent = qBound(0, m_nPos - m_nMin, nSpan) * 100 / nSpan;
        if (nPercent == m_nSent)
            return;
        m_nSent = nPercent;
        CBatchWorker::Emit({{"event", "progress"}, {"percent", nPercent}, {"text", m_strText}});
    }
    void StepIt() override { SetPos(m_nPos + m_nStep); }

private:
    QString m_strText;
    int m_nMin = 0, m_nMax = 100, m_nStep = 1, m_nPos = 0, m_nSent = -1;
};
} // namespace

CBatchWorker::CBatchWorker(CCommandLine& commandLine) : m_commandLine(commandLine)
{
    ZTApp().m_Hooks.m_pfnCreateProgress = [this]() -> std::unique_ptr<CProgress>
    {
        if (m_bProbing)
            return nullptr;
        return std::make_unique<CWorkerProgress>();
    };
    m_commandLine.SetErrorSink(
        [this](const QString& strText)
        {
            m_messages.append(strText);
            Emit({{"event", "message"}, {"text", strText}});
        });
}

void CBatchWorker::Emit(const QJsonObject& event)
{
    std::fputs(QJsonDocument(event).toJson(QJsonDocument::Compact).append('\n').constData(), stdout);
    std::fflush(stdout);
}

int CBatchWorker::Run(const QStringList& arguments)
{
    QStringList device;
    bool bRepeat = false;
    for (qsizetype i = 0; i < arguments.size(); ++i)
    {
        if (arguments[i] == "--worker")
            continue;
        if (arguments[i] == "--repeat")
        {
            bRepeat = true;
            continue;
        }
        device << arguments[i];
        if (CCommandLine::TakesValue(arguments[i]) && i + 1 < arguments.size())
        {
            if (arguments[i] == "--port")
                m_strPort = arguments[i + 1];
            device << arguments[++i];
        }
    }
    WatchInput();
    if (!bRepeat)
        return Configure(device);
    int nExit = CCommandLine::kSuccess;
    while (WaitFor(true))
    {
        if (Configure(device) != CCommandLine::kSuccess)
            nExit = CCommandLine::kFailure;
        if (!WaitFor(false))
            break;
    }
    return nExit;
}

int CBatchWorker::Configure(const QStringList& arguments)
{
    CZTAppDevice& app = ZTApp();
    app.m_bConnected = false;
    m_messages = {};
    Emit({{"event", "device"}});
    const int nExit = m_commandLine.Run(arguments);
    app.m_Port.Close();

    const CCommandLine::SOutcome& outcome = m_commandLine.Outcome();
    QJsonObject result{{"event", "result"},
                       {"port", m_strPort},
                       {"exit", nExit},
                       {"result", nExit == CCommandLine::kSuccess   ? "ok"
                                  : nExit == CCommandLine::kRefused ? "refused"
                                                                    : "failed"},
                       {"messages", m_messages}};
    result["version"] = outcome.bVersions ? QJsonValue(CSettingsText::Hex(app.m_wVersion)) : QJsonValue();
    result["bootVersion"] =
        outcome.bVersions ? QJsonValue(CSettingsText::Hex(app.m_wBootVersion)) : QJsonValue();
    result["address"] = outcome.nDiffAddress >= 0 ? QJsonValue(outcome.nDiffAddress) : QJsonValue();
    result["backup"] = outcome.strBackupPath.isEmpty() ? QJsonValue() : QJsonValue(outcome.strBackupPath);
    QJsonValue sensor, low, high, unit, dac;
    if (app.m_bConnected)
    {
        const CParamZT01& image = app.m_ParamEdit;
        const int nSensor = app.FindSensor(image);
        if (nSensor >= 0)
        {
            sensor = app.m_Sensors[nSensor].strName;
            unit = app.m_Sensors[nSensor].strUnit;
        }
        low = CSettingsText::Json(image.fLowLimit);
        high = CSettingsText::Json(image.fHighLimit);
        if (!CParamZT01::IsUnset(image.fDacCalLow) && !CParamZT01::IsUnset(image.fDacCalHigh))
            dac = QJsonObject{{"low", CSettingsText::Json(image.fDacCalLow)},
                              {"high", CSettingsText::Json(image.fDacCalHigh)}};
    }
    result["sensor"] = sensor;
    result["lowLimit"] = low;
    result["highLimit"] = high;
    result["unit"] = unit;
    result["dacCalibration"] = dac;
    Emit(result);
    return nExit;
}

bool CBatchWorker::Answers()
{
    CZTAppDevice& app = ZTApp();
    m_bProbing = true;
    const bool bAnswers = app.m_Port.Open(m_strPort) && app.ReadVersions();
    app.m_Port.Close();
    m_bProbing = false;
    return bAnswers;
}

bool CBatchWorker::WaitFor(bool bPresent)
{
    Emit({{"event", "state"}, {"state", bPresent ? "waiting" : "removal"}});
    while (!s_bStop)
    {
        if (Answers() == bPresent)
            return !s_bStop; // a device found just as the stop came is left alone
        for (int i = 0; i < 10 && !s_bStop; ++i)
            QThread::msleep(50);
    }
    return false;
}
