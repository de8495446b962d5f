#include "cbatchrun.h"

#include "ccommandline.h"
#include "cconsoleprogress.h"
#include "cnumbertext.h"
#include "cstopsignal.h"
#include "cztappdevice.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QJsonDocument>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace
{
const QStringList kBatchOptions = {"--port", "--ports", "--report"};

QString ResultText(const QString& strResult)
{
    if (strResult == QLatin1String("ok"))
        return QStringLiteral("успех");
    if (strResult == QLatin1String("refused"))
        return QStringLiteral("отклонено");
    return QStringLiteral("ошибка");
}

QString AddressText(const QJsonValue& address)
{
    if (address.isNull())
        return QStringLiteral("-");
    const int nAddress = address.toInt();
    return QStringLiteral("%1 (0x%2)").arg(nAddress).arg(nAddress, 3, 16, QLatin1Char('0'));
}
} // namespace

CBatchRun::CBatchRun(CCommandLine& commandLine, std::FILE* pOut, std::FILE* pErr)
    : m_commandLine(commandLine), m_pOut(pOut), m_pErr(pErr)
{
}

CBatchRun::~CBatchRun() = default;

bool CBatchRun::IsBatch(const QStringList& arguments)
{
    int nPorts = 0;
    for (qsizetype i = 0; i < arguments.size(); ++i)
    {
        if (arguments[i] == "--repeat" || arguments[i] == "--report")
            return true;
        if (arguments[i] == "--port")
            ++nPorts;
        if (arguments[i] == "--ports")
            nPorts += 2; // even a list of one is the batch's way
        if (CCommandLine::TakesValue(arguments[i]))
            ++i;
    }
    return nPorts > 1;
}

int CBatchRun::Error(int nExit, const QString& strText)
{
    std::fprintf(m_pErr, "zint9: %s\n", strText.toUtf8().constData());
    std::fflush(m_pErr);
    return nExit;
}

bool CBatchRun::Parse(const QStringList& arguments)
{
    for (qsizetype i = 0; i < arguments.size(); ++i)
    {
        const QString& strArg = arguments[i];
        if (strArg == "--repeat")
            m_bRepeat = true;
        else if (strArg == "--json")
            m_bJson = true;
        else if (CCommandLine::TakesValue(strArg) && i + 1 < arguments.size())
        {
            const QString& strValue = arguments[++i];
            if (strArg == "--port")
                m_ports << strValue;
            else if (strArg == "--ports")
            {
                for (const QString& strPort : strValue.split(QLatin1Char(',')))
                {
                    if (strPort.trimmed().isEmpty())
                    {
                        Error(CCommandLine::kUsage,
                              QStringLiteral("пустое имя порта в --ports «%1»").arg(strValue));
                        return false;
                    }
                    m_ports << strPort.trimmed();
                }
            }
            else if (strArg == "--report")
                m_strReport = strValue;
            else
                m_passOn << strArg << strValue;
        }
        else
            m_passOn << strArg;
    }
    m_bQuiet = m_passOn.contains("--quiet");
    m_ports.removeAll(QString());
    return true;
}

int CBatchRun::Check(const QStringList& arguments)
{
    CZTAppDevice& app = ZTApp();
    app.LoadSensorCatalogue();
    auto value = [&](const char* pszName) -> std::optional<QString>
    {
        const qsizetype nAt = arguments.lastIndexOf(QString::fromLatin1(pszName));
        if (nAt < 0 || nAt + 1 >= arguments.size())
            return std::nullopt;
        return arguments[nAt + 1];
    };
    auto number = [&](const char* pszName, float fDefault)
    {
        float fValue = fDefault;
        if (const std::optional<QString> strText = value(pszName))
            CNumberText::ParseArgument(*strText, fValue);
        return fValue;
    };
    CParamRules::SVerdict verdict;
    if (arguments.first() == "write")
    {
        const std::optional<QString> strIn = value("--in");
        if (!strIn)
            return Error(CCommandLine::kUsage, QStringLiteral("команде write нужен --in ФАЙЛ"));
        CParamZT01 source;
        if (!m_commandLine.LoadImageFile(*strIn, source))
            return CCommandLine::kFailure;
        // Every value that a write checks comes from the file.
        verdict = m_commandLine.CheckValues(source);
    }
    else if (const std::optional<QString> strSensor = value("--sensor"))
    {
        const int nSensor = m_commandLine.SensorIndex(*strSensor);
        if (nSensor < 0)
            return Error(CCommandLine::kUsage, QStringLiteral("нет датчика «%1» в каталоге").arg(*strSensor));
        if (!app.LoadSensorImage(nSensor))
            return CCommandLine::kFailure;
        // The sensor block is the file's; only the failure output and the filter time stay the
        // device's, and those are checked when given.
        CParamZT01 image = app.m_ParamEdit;
        image.fLowLimit = number("--low", image.fLowLimit);
        image.fHighLimit = number("--high", image.fHighLimit);
        image.fPeakBand = number("--band", image.fPeakBand);
        image.fFailOutput = number("--fail", 0);
        image.fFilterTime = number("--filter", 0);
        verdict = m_commandLine.CheckValues(image);
    }
    else
    {
        // Without a sensor only the values that no sensor bounds can be judged here.
        tagSTSENSORS any;
        any.fMin = -std::numeric_limits<float>::max();
        any.fMax = std::numeric_limits<float>::max();
        verdict = CParamRules::Validate({0, 0, number("--fail", 0), 0, number("--filter", 0)}, &any,
                                        app.m_fMaxFilterTime, app.m_fMaxBandPercent);
    }
    if (verdict.bOk)
        return CCommandLine::kSuccess;
    std::fprintf(m_pErr, "%s\n", verdict.strText.toUtf8().constData());
    return CCommandLine::kRefused;
}

int CBatchRun::Run(const QStringList& arguments)
{
    if (!Parse(arguments))
        return CCommandLine::kUsage;
    if (m_ports.isEmpty())
        return Error(CCommandLine::kUsage,
                     QStringLiteral("команде %1 нужен --port ИМЯ").arg(arguments.first()));
    for (const QString& strPort : m_ports)
        if (m_ports.count(strPort) > 1)
            return Error(CCommandLine::kUsage, QStringLiteral("порт %1 указан дважды").arg(strPort));
    if (const int nExit = Check(arguments); nExit != CCommandLine::kSuccess)
        return nExit;
    if (!m_strReport.isEmpty())
    {
        m_report.emplace();
        if (!m_report->Open(m_strReport))
            return Error(
                CCommandLine::kFailure,
                QStringLiteral("не удалось открыть отчёт %1: %2").arg(m_strReport, m_report->m_strError));
    }
    CStopSignal::Install();
    m_pDisplay =
        std::make_unique<CBatchDisplay>(m_pErr, !m_bQuiet && CConsoleProgress::IsTerminal(m_pErr), m_ports);
    m_lines.resize(size_t(m_ports.size()));
    QEventLoop loop;
    int nRunning = int(m_lines.size());
    for (int i = 0; i < int(m_lines.size()); ++i)
    {
        m_lines[size_t(i)].strPort = m_ports[i];
        Start(i);
        QObject::connect(m_lines[size_t(i)].pProcess.get(), &QProcess::finished, &loop,
                         [&, i]
                         {
                             OnFinished(i);
                             if (--nRunning == 0)
                                 loop.quit();
                         });
    }
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, &loop,
                     [this]
                     {
                         if (CStopSignal::Raised() && !m_bStopping)
                             Stop();
                     });
    stopWatch.start(100);
    if (nRunning > 0)
        loop.exec();
    PrintSummary();
    for (const QJsonValue& result : m_results)
        if (result["result"].toString() != QLatin1String("ok"))
            return CCommandLine::kFailure;
    return CCommandLine::kSuccess;
}

void CBatchRun::Start(int nLine)
{
    SLine& line = m_lines[size_t(nLine)];
    line.pProcess = std::make_unique<QProcess>();
    QProcess* pProcess = line.pProcess.get();
    CStopSignal::Detach(*pProcess);
    QObject::connect(pProcess, &QProcess::readyReadStandardOutput, pProcess,
                     [this, nLine, pProcess]
                     {
                         SLine& line = m_lines[size_t(nLine)];
                         line.out += pProcess->readAllStandardOutput();
                         qsizetype nEnd = 0;
                         while ((nEnd = line.out.indexOf('\n')) >= 0)
                         {
                             const QByteArray text = line.out.left(nEnd);
                             line.out.remove(0, nEnd + 1);
                             OnEvent(nLine, QJsonDocument::fromJson(text).object());
                         }
                     });
    // Anything a worker says outside its lines (a crash report) is passed on as it is.
    QObject::connect(pProcess, &QProcess::readyReadStandardError, pProcess,
                     [this, nLine, pProcess]
                     {
                         SLine& line = m_lines[size_t(nLine)];
                         line.err += pProcess->readAllStandardError();
                         qsizetype nEnd = 0;
                         while ((nEnd = line.err.indexOf('\n')) >= 0)
                         {
                             m_pDisplay->Log(line.strPort + QStringLiteral(": ") +
                                             QString::fromLocal8Bit(line.err.left(nEnd)));
                             line.err.remove(0, nEnd + 1);
                         }
                     });
    QStringList arguments = m_passOn;
    arguments << "--worker"
              << "--port" << line.strPort;
    if (m_bRepeat)
        arguments << "--repeat";
    pProcess->start(QCoreApplication::applicationFilePath(), arguments);
}

void CBatchRun::OnEvent(int nLine, const QJsonObject& event)
{
    SLine& line = m_lines[size_t(nLine)];
    const QString strEvent = event["event"].toString();
    if (strEvent == QLatin1String("progress"))
    {
        constexpr int kWidth = 16;
        const int nPercent = event["percent"].toInt();
        const int nFilled = nPercent * kWidth / 100;
        m_pDisplay->SetStatus(
            nLine, QStringLiteral("[%1%2] %3% %4")
                       .arg(QString(nFilled, QLatin1Char('#')), QString(kWidth - nFilled, QLatin1Char('.')))
                       .arg(nPercent, 3)
                       .arg(event["text"].toString()));
    }
    else if (strEvent == QLatin1String("message"))
    {
        // The port names the line; the program's own prefix would only say it twice.
        QString strText = event["text"].toString();
        if (strText.startsWith(QLatin1String("zint9: ")))
            strText.remove(0, 7);
        m_pDisplay->Log(line.strPort + QStringLiteral(": ") + strText);
    }
    else if (strEvent == QLatin1String("device"))
        line.bInDevice = true;
    else if (strEvent == QLatin1String("state"))
    {
        if (event["state"].toString() == QLatin1String("waiting"))
            m_pDisplay->SetStatus(nLine, QStringLiteral("ждёт прибор"));
        else
            m_pDisplay->SetStatus(
                nLine, m_pDisplay->IsLive()
                           ? QStringLiteral("%1; ждёт отключения прибора").arg(ResultText(line.strLastResult))
                           : QString());
    }
    else if (strEvent == QLatin1String("result"))
    {
        QJsonObject result = event;
        result.remove("event");
        AddResult(nLine, result);
    }
}

void CBatchRun::AddResult(int nLine, QJsonObject result)
{
    SLine& line = m_lines[size_t(nLine)];
    line.bInDevice = false;
    line.bResult = true;
    QDateTime now = QDateTime::currentDateTime();
    now.setOffsetFromUtc(now.offsetFromUtc());
    result["time"] = now.toString(Qt::ISODate);
    result["port"] = line.strPort;
    const QString strResult = result["result"].toString();
    line.strLastResult = strResult;
    m_pDisplay->SetStatus(nLine, ResultText(strResult));
    if (strResult != QLatin1String("ok") && m_bRepeat && m_pDisplay->IsLive())
    {
        std::fputs("\a", m_pErr); // the operator may not be looking
        std::fflush(m_pErr);
    }
    if (m_report && !m_report->Append(result))
        m_pDisplay->Log(
            QStringLiteral("zint9: не удалось дописать отчёт %1: %2").arg(m_strReport, m_report->m_strError));
    m_results.append(result);
}

void CBatchRun::OnFinished(int nLine)
{
    SLine& line = m_lines[size_t(nLine)];
    line.bDone = true;
    if (line.bInDevice || (!m_bRepeat && !line.bResult))
    {
        const QString strText =
            line.pProcess->error() == QProcess::FailedToStart
                ? QStringLiteral("zint9: не удалось запустить процесс порта: %1")
                      .arg(line.pProcess->errorString())
                : QStringLiteral("zint9: процесс порта завершился, не закончив работу с прибором");
        m_pDisplay->Log(line.strPort + QStringLiteral(": ") + strText);
        AddResult(nLine, {{"result", "failed"},
                          {"exit", CCommandLine::kFailure},
                          {"messages", QJsonArray{strText}},
                          {"version", QJsonValue()},
                          {"bootVersion", QJsonValue()},
                          {"address", QJsonValue()},
                          {"backup", QJsonValue()},
                          {"sensor", QJsonValue()},
                          {"lowLimit", QJsonValue()},
                          {"highLimit", QJsonValue()},
                          {"unit", QJsonValue()},
                          {"dacCalibration", QJsonValue()}});
    }
}

void CBatchRun::Stop()
{
    m_bStopping = true;
    m_pDisplay->Log(QStringLiteral("zint9: остановка: приборы, с которыми идёт работа, будут закончены"));
    for (SLine& line : m_lines)
        if (!line.bDone && line.pProcess->state() == QProcess::Running)
        {
            line.pProcess->write("stop\n");
            line.pProcess->closeWriteChannel();
        }
}

void CBatchRun::PrintSummary()
{
    if (!m_bRepeat) // in the order the ports were given, not the order they finished
    {
        QList<QJsonValue> results(m_results.begin(), m_results.end());
        std::stable_sort(
            results.begin(), results.end(),
            [this](const QJsonValue& a, const QJsonValue& b)
            { return m_ports.indexOf(a["port"].toString()) < m_ports.indexOf(b["port"].toString()); });
        m_results = QJsonArray();
        for (const QJsonValue& result : results)
            m_results.append(result);
    }
    if (m_bJson)
    {
        std::fputs(QJsonDocument(m_results).toJson(QJsonDocument::Indented).constData(), m_pOut);
        std::fflush(m_pOut);
        return;
    }
    QList<QStringList> rows = {{"Порт", "Версия", "Загрузчик", "Результат", "Адрес", "Резервная копия"}};
    for (const QJsonValue& value : m_results)
    {
        const QJsonObject result = value.toObject();
        auto text = [&](const char* pszKey)
        { return result[pszKey].isNull() ? QStringLiteral("-") : result[pszKey].toString(); };
        rows.append({result["port"].toString(), text("version"), text("bootVersion"),
                     ResultText(result["result"].toString()), AddressText(result["address"]),
                     text("backup")});
    }
    QList<qsizetype> widths(rows.first().size(), 0);
    for (const QStringList& row : rows)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = qMax(widths[i], row[i].size());
    for (const QStringList& row : rows)
    {
        QString strLine;
        for (qsizetype i = 0; i < row.size(); ++i)
            strLine += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        std::fprintf(m_pOut, "%s\n", strLine.toUtf8().constData());
    }
    std::fflush(m_pOut);
}
