#include "ccommandline.h"

#include "cbatchrun.h"
#include "cbatchworker.h"
#include "cconsoleprogress.h"
#include "cimagebackup.h"
#include "cimagefile.h"
#include "clinelog.h"
#include "cnumbertext.h"
#include "cparamrules.h"
#include "csettingstext.h"
#include "cstringtable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <cstring>
#include <optional>

namespace
{
const char* const kUsageText =
    "Использование: zint9 КОМАНДА [ПАРАМЕТРЫ]\n"
    "\n"
    "Команды:\n"
    "  ports [--json]                последовательные порты машины: имя, описание,\n"
    "                                изготовитель, серийный номер\n"
    "  read  --port ИМЯ [--out ФАЙЛ] [--json]\n"
    "                                прочитать версии и образ EEPROM, показать настройки\n"
    "  show  ФАЙЛ [--json]           показать настройки файла образа\n"
    "  set   --port ИМЯ [--sensor НОМЕР|ИМЯ] [--low X] [--high X] [--fail X]\n"
    "        [--cold-junction on|off] [--band X] [--filter X] [--dac-low X --dac-high X]\n"
    "                                изменить настройки прибора\n"
    "  write --port ИМЯ --in ФАЙЛ    записать настройки и данные датчика из файла образа\n"
    "\n"
    "Несколько приборов (set и write):\n"
    "  --port ИМЯ --port ИМЯ ...      приборы на нескольких портах, все одновременно;\n"
    "  --ports ИМЯ,ИМЯ,...            в конце таблица итогов (с --json массив объектов)\n"
    "  --repeat            рабочее место: на каждом порту ждать прибор, настроить его, ждать,\n"
    "                      пока его отключат, и снова; Ctrl+C завершает после текущего прибора\n"
    "  --report ФАЙЛ       дописывать в ФАЙЛ (CSV) строку о каждом настроенном приборе\n"
    "\n"
    "Общие параметры:\n"
    "  --demo              демонстрационный режим (образ ImgEEPROM/demo.dat)\n"
    "  --port ИМЯ          порт, как его показывает «zint9 ports» (ttyUSB0, COM3), или путь\n"
    "  --no-verify         не читать прибор после записи для сверки\n"
    "  --backup-dir ПАПКА  куда сохранять образ прибора перед записью\n"
    "  --quiet             без индикатора хода\n"
    "  --trace ФАЙЛ        записать обмен с прибором в ФАЙЛ («-»: в поток ошибок)\n"
    "  -h, --help          эта справка\n"
    "  --version           версия программы\n"
    "\n"
    "Коды завершения: 0 успех, 1 ошибка прибора или файла, 2 ошибка в командной строке,\n"
    "3 значения не прошли проверку. Для нескольких приборов: 0 все настроены, 1 хотя бы один\n"
    "не настроен, 3 значения отклонены до обращения к портам (ничего не записано).\n";

// Options that take a value, and flags.
const QStringList kValued = {
    "--port", "--out",    "--in",      "--sensor",   "--low",        "--high",  "--fail",   "--cold-junction",
    "--band", "--filter", "--dac-low", "--dac-high", "--backup-dir", "--ports", "--report", "--trace"};
// --worker is the batch's own: one port's line in a process of its own.
const QStringList kFlags = {"--demo", "--json",    "--no-verify", "--quiet", "--help",
                            "-h",     "--version", "--repeat",    "--worker"};

} // namespace

struct CCommandLine::SOptions
{
    QString strCommand;
    QStringList positional;
    QHash<QString, QString> values;
    QSet<QString> flags;
    std::optional<float> low, high, fail, band, filter, dacLow, dacHigh;
    std::optional<bool> coldJunction;

    bool Has(const QString& strName) const { return values.contains(strName) || flags.contains(strName); }
    QString Value(const QString& strName) const { return values.value(strName); }
};

CCommandLine::CCommandLine(std::FILE* pOut, std::FILE* pErr, const QString& strAppDir)
    : m_pOut(pOut), m_pErr(pErr)
{
    m_app.SetDataDir(strAppDir.isEmpty() ? QCoreApplication::applicationDirPath() : strAppDir);
    m_app.m_Hooks.m_pfnMessage = [this](const QString& strText, const QString&, EMsgIcon)
    { Print(m_pErr, strText); };
    m_app.m_Hooks.m_pfnCreateProgress = [this]() -> std::unique_ptr<CProgress>
    {
        if (m_bQuiet || !CConsoleProgress::IsTerminal(m_pErr))
            return nullptr;
        return std::make_unique<CConsoleProgress>(m_pErr);
    };
    // No page: the values are already in the working record.
    m_app.m_Hooks.m_pfnPageExchange = [](bool) { return true; };
}

void CCommandLine::Print(std::FILE* pStream, const QString& strText)
{
    if (m_pfnErrorSink && pStream == m_pErr)
    {
        m_pfnErrorSink(strText);
        return;
    }
    std::fprintf(pStream, "%s\n", strText.toUtf8().constData());
    std::fflush(pStream);
}

int CCommandLine::Error(int nExit, const QString& strText)
{
    Print(m_pErr, QStringLiteral("zint9: ") + strText);
    return nExit;
}

bool CCommandLine::TakesValue(const QString& strOption)
{
    return kValued.contains(strOption);
}

int CCommandLine::Run(const QStringList& arguments)
{
    SOptions options;
    m_outcome = {};
    for (qsizetype i = 0; i < arguments.size(); ++i)
    {
        const QString& strArg = arguments[i];
        if (kFlags.contains(strArg))
            options.flags.insert(strArg);
        else if (kValued.contains(strArg))
        {
            if (i + 1 >= arguments.size())
                return Error(kUsage, QStringLiteral("параметру %1 нужно значение").arg(strArg));
            options.values.insert(strArg, arguments[++i]);
        }
        else if (strArg.startsWith(QLatin1String("--")))
            return Error(kUsage, QStringLiteral("неизвестный параметр %1; см. zint9 --help").arg(strArg));
        else if (options.strCommand.isEmpty())
            options.strCommand = strArg;
        else
            options.positional.append(strArg);
    }
    const bool bHelp = options.flags.contains("--help") || options.flags.contains("-h");
    if (options.flags.contains("--version") && !bHelp)
    {
        Print(m_pOut, QStringLiteral("zint9 " ZINT9_VERSION));
        return kSuccess;
    }
    if (bHelp || options.strCommand.isEmpty())
    {
        std::fputs(kUsageText, bHelp ? m_pOut : m_pErr);
        return bHelp ? kSuccess : kUsage;
    }
    m_bQuiet = options.flags.contains("--quiet");

    // Numbers are read as the wizard's fields read them; a text without a finite number is refused.
    const std::pair<const char*, std::optional<float>*> numbers[] = {
        {"--low", &options.low},         {"--high", &options.high},     {"--fail", &options.fail},
        {"--band", &options.band},       {"--filter", &options.filter}, {"--dac-low", &options.dacLow},
        {"--dac-high", &options.dacHigh}};
    for (const auto& [pszName, pValue] : numbers)
    {
        if (!options.values.contains(pszName))
            continue;
        float fValue = 0;
        if (!CNumberText::ParseArgument(options.Value(pszName), fValue))
            return Error(kUsage, QStringLiteral("%1 «%2»: %3")
                                     .arg(pszName, options.Value(pszName), CParamRules::NotANumberText()));
        *pValue = fValue;
    }
    if (options.values.contains("--cold-junction"))
    {
        const QString strValue = options.Value("--cold-junction");
        if (strValue != "on" && strValue != "off")
            return Error(kUsage, QStringLiteral("--cold-junction принимает on или off"));
        options.coldJunction = strValue == "on";
    }
    if (options.dacLow.has_value() != options.dacHigh.has_value())
        return Error(kUsage, QStringLiteral("--dac-low и --dac-high задаются вместе"));

    const bool bDevice =
        options.strCommand == "read" || options.strCommand == "set" || options.strCommand == "write";
    if (bDevice && !options.Has("--port") && !options.Has("--ports") && !options.Has("--demo"))
        return Error(kUsage,
                     QStringLiteral("команде %1 нужен --port ИМЯ или --demo").arg(options.strCommand));
    if (options.strCommand != "show" && !options.positional.isEmpty())
        return Error(kUsage, QStringLiteral("лишний аргумент «%1»").arg(options.positional.first()));
    if (options.flags.contains("--worker"))
        return CBatchWorker(*this).Run(arguments);
    if (CBatchRun::IsBatch(arguments))
    {
        if (options.strCommand != "set" && options.strCommand != "write")
            return Error(kUsage,
                         QStringLiteral("несколько портов, --repeat и --report только для set и write"));
        if (options.Has("--demo"))
            return Error(kUsage, QStringLiteral("--demo работает с одним прибором"));
        if (options.Has("--trace"))
            return Error(kUsage, QStringLiteral("--trace работает с одним прибором"));
        return CBatchRun(*this, m_pOut, m_pErr).Run(arguments);
    }
    QString strTraceError;
    if (options.Has("--trace") && !CLineLog::Start(options.Value("--trace"), strTraceError))
        return Error(kFailure, QStringLiteral("не удалось записать журнал обмена %1: %2")
                                   .arg(options.Value("--trace"), strTraceError));
    const int nExit = RunCommand(options);
    CLineLog::Stop();
    return nExit;
}

int CCommandLine::RunCommand(const SOptions& options)
{
    if (options.strCommand == "ports")
        return Ports(options.Has("--json"));
    if (options.strCommand == "read")
        return Read(options);
    if (options.strCommand == "show")
        return Show(options);
    if (options.strCommand == "set")
        return Set(options);
    if (options.strCommand == "write")
        return Write(options);
    return Error(kUsage,
                 QStringLiteral("неизвестная команда «%1»; см. zint9 --help").arg(options.strCommand));
}

int CCommandLine::Ports(bool bJson)
{
    QList<CSerialPort::SPortInfo> ports;
    CSerialPort::EnumPortDetails(ports);
    QJsonArray json;
    for (const CSerialPort::SPortInfo& info : ports)
    {
        json.append(QJsonObject{{"port", info.strName},
                                {"location", info.strLocation},
                                {"description", info.strDescription},
                                {"manufacturer", info.strManufacturer},
                                {"serialNumber", info.strSerialNumber}});
        // One line a port; the columns that the system knows nothing of stay empty.
        QString strLine =
            QStringList{info.strName, info.strDescription, info.strManufacturer, info.strSerialNumber}.join(
                '\t');
        while (strLine.endsWith('\t'))
            strLine.chop(1);
        if (!bJson)
            Print(m_pOut, strLine);
    }
    if (bJson)
        std::fputs(QJsonDocument(json).toJson(QJsonDocument::Indented).constData(), m_pOut);
    return kSuccess;
}

bool CCommandLine::Connect(const SOptions& options)
{
    m_app.LoadSensorCatalogue();
    m_app.m_Port.m_bDemo = options.Has("--demo");
    const QString strPort = options.Has("--port") ? options.Value("--port") : QStringLiteral("demo");
    if (!m_app.m_Port.Open(strPort))
    {
        Print(m_pErr, CStringTable::Load(153));
        Print(m_pErr, m_app.m_Port.m_strError);
        if (!m_app.m_Port.m_strReason.isEmpty())
            Print(m_pErr, QStringLiteral("Причина: ") + m_app.m_Port.m_strReason);
        return false;
    }
    if (!m_app.ReadVersions())
    {
        Print(m_pErr, CStringTable::Load(154));
        return false;
    }
    m_outcome.bVersions = true;
    m_app.m_strLastError.clear();
    if (!m_app.ReadImage(m_app.m_ParamDevice))
    {
        Print(m_pErr, CStringTable::Load(155));
        if (!m_app.m_strLastError.isEmpty()) // the demonstration image's own trouble
            Print(m_pErr, QDir::toNativeSeparators(m_app.DemoImagePath()) + QStringLiteral(": ") +
                              m_app.m_strLastError);
        return false;
    }
    m_app.m_bConnected = true;
    return true;
}

int CCommandLine::Read(const SOptions& options)
{
    if (!Connect(options))
        return kFailure;
    if (options.Has("--out") && !SaveImageFile(options.Value("--out"), m_app.m_ParamEdit))
        return kFailure;
    PrintSettings(m_app.m_ParamEdit, true, options.Has("--json"));
    return kSuccess;
}

bool CCommandLine::LoadImageFile(const QString& strPath, CParamZT01& image)
{
    CImageFile file;
    if (!file.Read(strPath, image))
    {
        Error(kFailure,
              QStringLiteral("не удалось прочитать образ из %1: %2").arg(strPath, file.m_strLastError));
        return false;
    }
    return true;
}

bool CCommandLine::SaveImageFile(const QString& strPath, const CParamZT01& image)
{
    CImageFile file;
    if (!file.Save(strPath, image))
    {
        Error(kFailure, QStringLiteral("не удалось записать %1: %2").arg(strPath, file.m_strLastError));
        return false;
    }
    return true;
}

int CCommandLine::Show(const SOptions& options)
{
    if (options.positional.size() != 1)
        return Error(kUsage, QStringLiteral("команде show нужен один файл образа"));
    m_app.LoadSensorCatalogue();
    CParamZT01 image;
    if (!LoadImageFile(options.positional.first(), image))
        return kFailure;
    PrintSettings(image, false, options.Has("--json"));
    return kSuccess;
}

int CCommandLine::SensorIndex(const QString& strSensor) const
{
    bool bNumber = false;
    int nSensor = strSensor.toInt(&bNumber);
    if (!bNumber)
    {
        nSensor = -1;
        for (qsizetype i = 0; i < m_app.m_Sensors.size() && nSensor < 0; ++i)
            if (m_app.m_Sensors[i].strName.compare(strSensor, Qt::CaseInsensitive) == 0 ||
                m_app.m_Sensors[i].strFileName.compare(strSensor, Qt::CaseInsensitive) == 0)
                nSensor = int(i);
    }
    return nSensor >= 0 && nSensor < m_app.m_Sensors.size() ? nSensor : -1;
}

bool CCommandLine::ApplyChanges(const SOptions& options, int& nExit)
{
    if (options.Has("--sensor"))
    {
        const QString strSensor = options.Value("--sensor");
        const int nSensor = SensorIndex(strSensor);
        if (nSensor < 0)
        {
            nExit = Error(kUsage, QStringLiteral("нет датчика «%1» в каталоге").arg(strSensor));
            return false;
        }
        if (!m_app.LoadSensorImage(nSensor))
        {
            nExit = kFailure;
            return false;
        }
    }
    CParamZT01& edit = m_app.m_ParamEdit;
    if (options.low)
        edit.fLowLimit = *options.low;
    if (options.high)
        edit.fHighLimit = *options.high;
    if (options.fail)
        edit.fFailOutput = *options.fail;
    if (options.band)
        edit.fPeakBand = *options.band;
    if (options.filter)
        edit.fFilterTime = *options.filter;
    if (options.coldJunction)
        edit.byColdJunction = *options.coldJunction ? 1 : 0;
    if (options.dacLow)
    {
        const CParamRules::SVerdict low = CParamRules::CheckDac(
            *options.dacLow, CParamRules::DacLowRange(edit.byOutRange), CParamRules::kDacLow);
        const CParamRules::SVerdict high = CParamRules::CheckDac(
            *options.dacHigh, CParamRules::DacHighRange(edit.byOutRange), CParamRules::kDacHigh);
        if (!low.bOk || !high.bOk)
        {
            nExit = Error(kRefused, (!low.bOk ? low : high).strText);
            return false;
        }
        edit.fDacCalLow = *options.dacLow;
        edit.fDacCalHigh = *options.dacHigh;
    }
    return true;
}

int CCommandLine::ValidateAndWrite(const SOptions& options)
{
    CParamZT01& edit = m_app.m_ParamEdit;
    m_app.m_nSensor = m_app.FindSensor(edit);
    edit.byColdJunction = edit.byColdJunction > 1 ? 1 : edit.byColdJunction;
    const CParamRules::SVerdict verdict = CheckValues(edit);
    if (!verdict.strText.isEmpty())
        Print(m_pErr, verdict.strText);
    if (!verdict.bOk)
        return kRefused;
    if (verdict.bBandCleared)
        edit.fPeakBand = 0;

    m_app.RestoreDeviceData();
    const CParamZT01 written = m_app.m_ParamEdit;
    // Nothing reaches the device unless the image it holds now is safe on disk.
    if (!SaveBackup(options))
        return kFailure;
    if (!m_app.WriteImage(written))
    {
        Print(m_pErr, CStringTable::Load(156));
        return kFailure;
    }
    if (!options.Has("--no-verify") && !Verify(written))
        return kFailure;
    Print(m_pErr, CStringTable::Load(157));
    // A script that asks for JSON gets the settings now in the device.
    if (options.Has("--json"))
        PrintSettings(written, true, true);
    return kSuccess;
}

CParamRules::SVerdict CCommandLine::CheckValues(const CParamZT01& image) const
{
    // Values from an image file have not been through the reading rule.
    for (float fValue : {float(image.fLowLimit), float(image.fHighLimit), float(image.fFailOutput),
                         float(image.fPeakBand), float(image.fFilterTime)})
        if (!std::isfinite(fValue))
        {
            CParamRules::SVerdict verdict;
            verdict.bOk = false;
            verdict.strText = QStringLiteral("zint9: ") + CParamRules::NotANumberText();
            return verdict;
        }
    const int nSensor = m_app.FindSensor(image);
    const bool bKnown = nSensor >= 0 && nSensor < m_app.m_Sensors.size();
    return CParamRules::Validate(
        {image.fLowLimit, image.fHighLimit, image.fFailOutput, image.fPeakBand, image.fFilterTime},
        bKnown ? &m_app.m_Sensors[nSensor] : nullptr, m_app.m_fMaxFilterTime, m_app.m_fMaxBandPercent);
}

bool CCommandLine::SaveBackup(const SOptions& options)
{
    CImageBackup backup(options.Has("--backup-dir") ? options.Value("--backup-dir")
                                                    : CImageBackup::DefaultFolder());
    if (!m_app.SaveBackup(backup))
    {
        Error(kFailure,
              QStringLiteral("не удалось сохранить резервную копию образа прибора, запись не выполнена: ") +
                  backup.m_strLastError);
        return false;
    }
    m_outcome.strBackupPath = QDir::toNativeSeparators(backup.m_strPath);
    Print(
        m_pErr,
        QStringLiteral("Резервная копия образа прибора: %1").arg(QDir::toNativeSeparators(backup.m_strPath)));
    return true;
}

bool CCommandLine::Verify(const CParamZT01& written)
{
    QByteArray readBack;
    CParamZT01 demo;
    if (m_app.m_Port.m_bDemo)
    {
        if (m_app.ReadImageFile(m_app.DemoImagePath(), demo))
            readBack = QByteArray(reinterpret_cast<const char*>(demo.Image()), CParamZT01::kImageSize);
    }
    else if (m_app.ReadImage(m_app.m_ParamDevice))
        readBack =
            QByteArray(reinterpret_cast<const char*>(m_app.m_ParamDevice.Image()), CParamZT01::kImageSize);
    if (readBack.size() != CParamZT01::kImageSize)
    {
        Error(kFailure, QStringLiteral("сверка: ") + CStringTable::Load(155));
        return false;
    }
    for (int i = 0; i < CParamZT01::kImageSize; ++i)
        if (quint8(readBack[i]) != written.Image()[i])
        {
            m_outcome.nDiffAddress = i;
            Error(kFailure, QStringLiteral("сверка не прошла: адрес %1 (0x%2) содержит 0x%3 вместо 0x%4")
                                .arg(i)
                                .arg(i, 3, 16, QLatin1Char('0'))
                                .arg(quint8(readBack[i]), 2, 16, QLatin1Char('0'))
                                .arg(written.Image()[i], 2, 16, QLatin1Char('0')));
            return false;
        }
    return true;
}

int CCommandLine::Set(const SOptions& options)
{
    if (!Connect(options))
        return kFailure;
    int nExit = kSuccess;
    if (!ApplyChanges(options, nExit))
        return nExit;
    return ValidateAndWrite(options);
}

int CCommandLine::Write(const SOptions& options)
{
    if (!options.Has("--in"))
        return Error(kUsage, QStringLiteral("команде write нужен --in ФАЙЛ"));
    CParamZT01 source;
    if (!LoadImageFile(options.Value("--in"), source) || !Connect(options))
        return kFailure;
    // The sensor block (with the limits, cold junction and band) and the two settings outside it;
    // never the device block, nor the DAC calibration, which belongs to this device's output stage.
    CParamZT01& edit = m_app.m_ParamEdit;
    edit.CopyFrom(source, CParamZT01::kSensorBlock);
    edit.fFailOutput = source.fFailOutput;
    edit.fFilterTime = source.fFilterTime;
    return ValidateAndWrite(options);
}

QJsonObject CCommandLine::SettingsJson(const CParamZT01& image, bool bVersions) const
{
    QJsonObject json = CSettingsText::Object(m_app, image);
    if (bVersions)
    {
        json["port"] = m_app.m_Port.GetPortName();
        json["version"] = CSettingsText::Hex(m_app.m_wVersion);
        json["bootVersion"] = CSettingsText::Hex(m_app.m_wBootVersion);
    }
    return json;
}

void CCommandLine::PrintSettings(const CParamZT01& image, bool bVersions, bool bJson)
{
    const QJsonObject json = SettingsJson(image, bVersions);
    if (bJson)
    {
        std::fputs(QJsonDocument(json).toJson(QJsonDocument::Indented).constData(), m_pOut);
        return;
    }
    QStringList lines = CSettingsText::Lines(m_app, image, json);
    if (bVersions)
        lines << QStringLiteral("Порт: %1. Версия прибора: %2. Версия загрузчика: %3")
                     .arg(m_app.m_Port.GetPortName(), CSettingsText::Hex(m_app.m_wVersion),
                          CSettingsText::Hex(m_app.m_wBootVersion));
    Print(m_pOut, lines.join('\n'));
}
