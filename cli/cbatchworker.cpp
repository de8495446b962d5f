#include "cbatchworker.h"

#include "cbatchreport.h"
#include "cfailuretext.h"
#include "cfingerprint.h"
#include "clinelog.h"
#include "cprotocolcommand.h"
#include "cserialport.h"
#include "csetcommand.h"
#include "csettingstext.h"
#include "cunittrace.h"
#include "cworkerinput.h"
#include "cwritecommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QThread>

#include <cstdio>
#include <cstring>

namespace
{
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
        const int nPercent = qBound(0, Percent(m_nPos, m_nMin, m_nMax), 100);
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

CBatchWorker::CBatchWorker() : m_console(stdout, stderr), m_device(m_app, m_console)
{
    m_app.m_Hooks.m_pfnMessage = [this](const QString& strText, const QString&, EMsgIcon)
    { m_console.Err(strText); };
    m_app.m_Hooks.m_pfnCreateProgress = [this]() -> std::unique_ptr<CProgress>
    {
        if (m_bProbing)
            return nullptr;
        return std::make_unique<CWorkerProgress>();
    };
    m_app.m_Hooks.m_pfnPageExchange = [](bool) { return true; };
    m_device.m_pfnConfigured = CWorkerInput::IsConfigured;
    m_app.m_Hooks.m_pfnWriteBlock = [](int nAddress, bool bAcknowledged) {
        Emit({{"event", "block"}, {"address", nAddress}, {"acknowledged", bAcknowledged}});
    };
    m_device.m_pfnLearnt = [this]
    {
        const CDeviceCommand::SOutcome& outcome = m_device.Outcome();
        QJsonObject known{
            {"event", "known"},
            {"version", CSettingsText::Hex(m_app.m_wVersion)},
            {"bootVersion", CSettingsText::Hex(m_app.m_wBootVersion)},
            {"backup", outcome.strBackupPath.isEmpty() ? QJsonValue() : QJsonValue(outcome.strBackupPath)}};
        AddValues(known);
        known["station"] = m_pRecord->Journal()->Identity().strStation;
        known["operator"] = m_pRecord->Journal()->Identity().strOperator;
        Emit(known);
    };
    // With --serials a unit is written only under a serial the record has for no other unit.
    m_device.m_pfnMayWrite = [this](const QString& strFingerprint)
    {
        QString strWhy;
        if (!m_bSerials)
            return true;
        if (!m_serial.Fits(strFingerprint, strWhy))
        {
            m_console.Error(COptions::kRefused, strWhy);
            return false;
        }
        m_pRecord->Journal()->SetSerial(m_serial.Serial());
        return true;
    };
    m_console.SetErrorSink(
        [this](const QString& strText)
        {
            m_messages.append(strText);
            Emit({{"event", "message"}, {"text", strText}});
        });
}

int CBatchWorker::Sync(const QString& strLocal)
{
    CRecordKeeper keeper(m_options.strRecord, strLocal);
    int nUploaded = 0;
    QString strError;
    if (keeper.SyncNow(nUploaded, strError))
        return COptions::kSuccess;
    std::fprintf(stderr, "%s\n", strError.toUtf8().constData()); // the parent reads it as the reason
    return COptions::kFailure;
}

void CBatchWorker::Emit(const QJsonObject& event)
{
    // A parent that has gone cannot hear the rest: the unit in hand is finished, then the run ends.
    if (std::fputs(QJsonDocument(event).toJson(QJsonDocument::Compact).append('\n').constData(), stdout) <
            0 ||
        std::fflush(stdout) != 0)
        CWorkerInput::Stop();
}

int CBatchWorker::Run(const QJsonObject& job)
{
    m_options = COptions::FromJob(job);
    if (m_options.strCommand == QLatin1String("sync"))
        return Sync(job["local"].toString());
    m_pRecord = std::make_unique<CRecordAccess>(m_options);
    m_device.SetJournal(m_pRecord->Journal());
    m_strPort = m_options.ports.value(0);
    m_app.SetDataDir(job["dataDir"].toString());
    m_app.LoadSensorCatalogue();
    CWorkerInput::Watch();
    m_bSerials = job["serials"].toBool();
    int nExit = COptions::kSuccess;
    // One unit: a port with none on it fails as it would without serials, and takes none.
    if (!m_options.bRepeat && (!m_bSerials || Probe() != EProbe::Present))
        return Configure();
    if (!m_options.bRepeat)
    {
        TakeUnit(nExit);
        return nExit;
    }
    // A unit left on the port by a worker that died is not taken for a new one: it may be cut
    // mid-write, and it is configured only once it has been pulled and put in again.
    if (job["awaitRemoval"].toBool() && !WaitFor(false))
        return nExit;
    while (WaitFor(true) && TakeUnit(nExit) && WaitFor(false))
    {
    }
    return nExit;
}

bool CBatchWorker::TakeUnit(int& nExit)
{
    int nSilent = 0;
    const auto gone = [this, &nSilent]
    {
        const EProbe nProbe = Probe();
        nSilent = nProbe == EProbe::Present || nProbe == EProbe::Busy ? 0 : nSilent + 1;
        return nSilent >= 3;
    };
    for (;;)
    {
        m_pRecord->Journal()->SetSerial(m_options.strSerial);
        switch (m_bSerials ? m_serial.Await(gone) : CWorkerSerial::EWait::Taken)
        {
        case CWorkerSerial::EWait::Stopped:
            return false;
        case CWorkerSerial::EWait::Gone:
            if (!m_options.bRepeat)
                nExit =
                    Unconfigured(QStringLiteral("прибор отключён, пока ждал серийный номер; не настроен"));
            return true;
        case CWorkerSerial::EWait::Ended:
            nExit = Unconfigured(QStringLiteral("серийные номера кончились; прибор не настроен"));
            return true;
        case CWorkerSerial::EWait::Taken:
            break;
        }
        if (Configure() != COptions::kSuccess)
            nExit = COptions::kFailure;
        // Its serial another unit's: the unit waits for the next one.
        if (!m_device.Outcome().bHeldBack)
            return true;
    }
}

int CBatchWorker::Unconfigured(const QString& strWhy)
{
    m_device.Begin();
    m_messages = {};
    m_started = QDateTime::currentDateTimeUtc();
    m_timer.start();
    m_console.Error(COptions::kFailure, strWhy);
    QJsonObject result = Result(COptions::kFailure);
    Report(result);
    Emit(result);
    return COptions::kFailure;
}

int CBatchWorker::Configure()
{
    m_app.m_bConnected = false;
    m_messages = {};
    m_bTraceLost = false;
    m_started = QDateTime::currentDateTimeUtc();
    m_timer.start();
    Emit({{"event", "device"}});
    const QString strTrace = CUnitTrace::Start(m_options, m_strPort, m_started, m_console, m_bTraceLost);
    const int nExit = m_options.strCommand == QLatin1String("write") ? CWriteCommand::Run(m_device, m_options)
                                                                     : CSetCommand::Run(m_device, m_options);
    m_app.m_Port.Close();
    CUnitTrace::Finish(strTrace, m_options, m_device.Outcome().transaction, m_console, m_bTraceLost);
    m_pRecord->TellTrouble(m_console);
    const CDeviceCommand::SOutcome& outcome = m_device.Outcome();
    if (outcome.bHeldBack)
        return COptions::kSuccess; // nothing written, and no row: the unit waits for its serial
    // A unit given this run's image and found holding it is not written again when it is seen
    // once more, be it by a missed answer or by being plugged in again.
    // Other ports of the run hear of it through the first process.
    // Its messages go with its result.
    QString strProtocol;
    const bool bProtocol =
        m_options.strProtocols.isEmpty() ||
        CProtocolCommand::AfterWrite(m_device, m_pRecord->Keeper(), m_options.strProtocols, strProtocol);
    QJsonObject result = Result(nExit);
    if (nExit == COptions::kSuccess && outcome.transaction.verified.value_or(false) && !outcome.bAlready)
    {
        const CParamZT01& written = outcome.transaction.sent;
        const QString strUnit = CFingerprint::Of(written);
        if (!strUnit.isEmpty())
        {
            const QString strHash = CFingerprint::ImageHash(written);
            CWorkerInput::Configured(strUnit, strHash);
            result["configured"] = strHash;
        }
    }
    result["protocol"] = strProtocol.isEmpty() ? QJsonValue() : QJsonValue(strProtocol);
    result["protocolLost"] = !bProtocol;
    Report(result);
    Emit(result);
    return nExit;
}

void CBatchWorker::Report(QJsonObject& result) const
{
    // The row is this process's to write, so that it outlives the first process.
    result["time"] = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    result["ambiguous"] = CWorkerInput::IsAmbiguous(result["fingerprint"].toString());
    if (m_options.strReport.isEmpty())
        return;
    CBatchReport report;
    if (report.Open(m_options.strReport) && report.Append(result))
        result["reported"] = true;
    else
        result["reportLost"] = report.m_strError;
}

QJsonObject CBatchWorker::Result(int nExit) const
{
    const CDeviceCommand::SOutcome& outcome = m_device.Outcome();
    // As the record names it; "done" only for a unit read back and found holding its image.
    const CTransaction& transaction = outcome.transaction;
    QString strResult = CTransaction::ResultKey(transaction.nResult);
    if (outcome.bAlready)
        strResult = QStringLiteral("already");
    else if (nExit == COptions::kRefused)
        strResult = QStringLiteral("refused");
    else if (nExit != COptions::kSuccess && !transaction.failure.IsSet())
        strResult = QStringLiteral("failed"); // a file, the values, a torn table: said, not the unit's
    QJsonObject result{{"event", "result"},        {"port", m_strPort},      {"exit", nExit},
                       {"result", strResult},      {"messages", m_messages}, {"partial", outcome.bPartial},
                       {"traceLost", m_bTraceLost}};
    auto text = [](const QString& strValue)
    { return strValue.isEmpty() ? QJsonValue() : QJsonValue(strValue); };
    result["version"] = outcome.bVersions ? QJsonValue(CSettingsText::Hex(m_app.m_wVersion)) : QJsonValue();
    result["bootVersion"] =
        outcome.bVersions ? QJsonValue(CSettingsText::Hex(m_app.m_wBootVersion)) : QJsonValue();
    const CFailure& failure = transaction.failure;
    result["address"] =
        failure.m_nReason == CFailure::EReason::Mismatch ? QJsonValue(failure.m_nAddress) : QJsonValue();
    result["backup"] = text(outcome.strBackupPath);
    result["step"] = text(CFailureText::StepKey(failure.m_nStep));
    result["reason"] = text(CFailureText::Reason(failure));
    result["reasonKey"] = text(CFailureText::ReasonKey(failure.m_nReason));
    // The read that found it already configured compared every byte.
    result["verified"] = outcome.bAlready                   ? QJsonValue(true)
                         : transaction.verified.has_value() ? QJsonValue(*transaction.verified)
                                                            : QJsonValue();
    result["sourceHash"] = text(outcome.strSourceHash);
    result["entries"] = QJsonArray::fromStringList(m_pRecord->Journal()->UnitEntries());
    const CRecordJournal::SIdentity& identity = m_pRecord->Journal()->Identity();
    result["station"] = identity.strStation;
    result["operator"] = identity.strOperator;
    result["serial"] = text(identity.strSerial);
    result["start"] = m_started.toString(Qt::ISODateWithMs);
    result["duration"] = double(m_timer.elapsed()) / 1000;
    AddValues(result);
    return result;
}

void CBatchWorker::AddValues(QJsonObject& result) const
{
    const CTransaction& transaction = m_device.Outcome().transaction;
    QJsonValue fingerprint, sensor, low, high, unit, dac, fail, coldJunction, band, filter;
    if (transaction.nHeld != CTransaction::EHeld::Unknown)
    {
        const CParamZT01& image = transaction.held;
        const QString strUnit = CFingerprint::Of(image);
        if (!strUnit.isEmpty())
            fingerprint = strUnit;
        const int nSensor = m_app.FindSensor(image);
        if (nSensor >= 0)
        {
            sensor = m_app.m_Sensors[nSensor].strName;
            unit = m_app.m_Sensors[nSensor].strUnit;
        }
        low = CSettingsText::Json(image.fLowLimit);
        high = CSettingsText::Json(image.fHighLimit);
        fail = CSettingsText::Json(image.fFailOutput);
        coldJunction = image.byColdJunction != 0;
        band = CSettingsText::Json(image.fPeakBand);
        filter = CSettingsText::Json(image.fFilterTime);
        if (!CParamZT01::IsUnset(image.fDacCalLow) && !CParamZT01::IsUnset(image.fDacCalHigh))
            dac = QJsonObject{{"low", CSettingsText::Json(image.fDacCalLow)},
                              {"high", CSettingsText::Json(image.fDacCalHigh)}};
    }
    result["fingerprint"] = fingerprint;
    result["sensor"] = sensor;
    result["lowLimit"] = low;
    result["highLimit"] = high;
    result["unit"] = unit;
    result["dacCalibration"] = dac;
    result["failOutput"] = fail;
    result["coldJunction"] = coldJunction;
    result["peakBand"] = band;
    result["filterTime"] = filter;
}

CBatchWorker::EProbe CBatchWorker::Probe()
{
    m_bProbing = true;
    EProbe nProbe = EProbe::Silent;
    CSerialPort& port = m_app.m_Port;
    if (!port.Open(m_strPort))
        nProbe = port.IsBusy() ? EProbe::Busy : port.IsMissing() ? EProbe::Missing : EProbe::Unopened;
    else if (m_app.ReadVersions())
        nProbe = EProbe::Present;
    port.Close();
    m_bProbing = false;
    return nProbe;
}

void CBatchWorker::TellProbe(EProbe nProbe)
{
    static const char* const kKeys[] = {"present", "silent", "missing", "unopened", "busy"};
    const CSerialPort& port = m_app.m_Port;
    QString strReason; // why an open failed, the last one's
    if (nProbe != EProbe::Present && nProbe != EProbe::Silent)
        strReason = port.m_strReason.isEmpty() ? port.m_strError : port.m_strReason;
    Emit({{"event", "probe"}, {"probe", kKeys[int(nProbe)]}, {"reason", strReason}});
}

bool CBatchWorker::WaitFor(bool bPresent)
{
    // A unit counts as removed only after several silent probes in a row: one missed answer is
    // not a new unit. A port another program holds is busy, neither present nor removed.
    constexpr int kSilentProbes = 3;
    Emit({{"event", "state"}, {"state", bPresent ? "waiting" : "removal"}});
    int nSilent = 0;
    EProbe nLast = EProbe::Present; // what the parent was last told; a unit says itself
    while (!CWorkerInput::Stopped())
    {
        // Each probe looks anew: a port that appears later (an adapter plugged in) is taken.
        const EProbe nProbe = Probe();
        if (nProbe != nLast)
            TellProbe(nProbe);
        nLast = nProbe;
        nSilent = nProbe == EProbe::Present || nProbe == EProbe::Busy ? 0 : nSilent + 1;
        if (m_bSerials)
            m_serial.GiveBackLate();
        if (bPresent ? nProbe == EProbe::Present : nSilent >= kSilentProbes)
            return !CWorkerInput::Stopped(); // a device found just as the stop came is left alone
        for (int i = 0; i < 5 && !CWorkerInput::Stopped(); ++i) // a quarter of a second between probes
            QThread::msleep(50);
    }
    return false;
}
