#include "ccommandline.h"

#include "cbatchrun.h"
#include "cconsoleprogress.h"
#include "cdevicecommand.h"
#include "cdiffcommand.h"
#include "cfailuretext.h"
#include "chistorycommand.h"
#include "cimagefile.h"
#include "clinelog.h"
#include "cportscommand.h"
#include "cprotocolcommand.h"
#include "creadcommand.h"
#include "crecordaccess.h"
#include "crecordlocation.h"
#include "crecordschema.h"
#include "crecordupload.h"
#include "crestorecommand.h"
#include "csetcommand.h"
#include "csettingstext.h"
#include "cshowcommand.h"
#include "cwritecommand.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>

#include <memory>

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
    "  restore --port ИМЯ [--entry ID] [--force]\n"
    "                                вернуть прибору образ, который он хранил до записи\n"
    "                                (по умолчанию до последней записи в него)\n"
    "  history [--device ОТПЕЧАТОК] [--serial НОМЕР] [--port ИМЯ] [--station ИМЯ]\n"
    "          [--operator ИМЯ] [--since ДАТА] [--until ДАТА] [--operation ОПЕРАЦИЯ]\n"
    "          [--result ИТОГ] [--source SHA256] [--latest] [--limit N] [--json|--csv]\n"
    "          [--sync]\n"
    "                                записи о приборах, новые первыми; --until: день\n"
    "                                включительно, момент — до него; ОПЕРАЦИЯ: read,\n"
    "                                write, restore; ИТОГ: done, unverified, failed,\n"
    "                                refused, interrupted, attempted; --source: SHA-256\n"
    "                                файла write --in или настроек set (или его начало);\n"
    "                                --latest: по прибору одна запись, новейшая из\n"
    "                                отобранных; --sync сначала передаёт в базу завода\n"
    "                                записи, ждущие отправки\n"
    "  history --init --record АДРЕС создать или обновить таблицы записей (один раз,\n"
    "                                с правами владельца базы завода)\n"
    "  diff  A B                     различия двух образов; сторона — файл, @ID (образ,\n"
    "                                данный записью), @ID^ (образ до неё) или --port ИМЯ\n"
    "                                (прочитать сейчас); 0 равны, 1 различны, 2 ошибка\n"
    "  protocol --entry ID | --port ИМЯ [--out ФАЙЛ.pdf]\n"
    "                                протокол настройки (PDF, страница A4): записи ID или\n"
    "                                прибора как он есть (его последней записи, если он\n"
    "                                хранит данное ею); без --out — в текущей папке\n"
    "\n"
    "Несколько приборов (set и write):\n"
    "  --port ИМЯ --port ИМЯ ...      приборы на нескольких портах, все одновременно;\n"
    "  --ports ИМЯ,ИМЯ,...            в конце таблица итогов (с --json массив объектов)\n"
    "  --repeat            рабочее место: на каждом порту ждать прибор, настроить его, ждать,\n"
    "                      пока его отключат, и снова; завершившийся процесс порта запускается\n"
    "                      снова (трижды подряд до прибора: порт «не работает», код 1);\n"
    "                      Ctrl+C завершает после текущего прибора\n"
    "  --report ФАЙЛ       дописывать в ФАЙЛ (CSV) строку о каждом настроенном приборе\n"
    "  --protocols ПАПКА   протокол настройки (PDF) каждого записанного прибора в ПАПКУ,\n"
    "                      по серийному номеру (или отпечатку) и времени; и с одним портом\n"
    "\n"
    "Общие параметры:\n"
    "  --demo              демонстрационный режим (образ ImgEEPROM/demo.dat)\n"
    "  --port ИМЯ          порт, как его показывает «zint9 ports» (ttyUSB0, COM3), или путь\n"
    "  --no-verify         не читать прибор после записи для сверки\n"
    "  --changed-only      set, write: записать только блоки, отличные от прочитанных,\n"
    "                      и сверить только их\n"
    "  --backup-dir ПАПКА  куда сохранять образ прибора перед записью\n"
    "  --quiet             без индикатора хода\n"
    "  --trace ФАЙЛ        записать обмен с прибором в ФАЙЛ («-»: в поток ошибок); с\n"
    "                      несколькими портами и --repeat — в ПАПКУ, файл на порт или прибор\n"
    "  --record АДРЕС      где вести записи: sqlite:ФАЙЛ или postgresql://...\n"
    "                      (иначе ZINT9_RECORD, настройка RecordDatabase, файл пользователя)\n"
    "  --station ИМЯ       рабочее место в записях (по умолчанию имя машины)\n"
    "  --operator ИМЯ      оператор в записях (по умолчанию имя пользователя)\n"
    "  --serial НОМЕР      серийный номер прибора в записях (этикетка, штрихкод)\n"
    "  --serials ФАЙЛ      на рабочем месте номер каждому прибору: строка на прибор из ФАЙЛА\n"
    "                      или, если ФАЙЛ — «-», со стандартного ввода (сканер штрихкодов);\n"
    "                      прибор ждёт номер, следующий номер получает порт, ждущий дольше\n"
    "  --force             restore: вернуть образ и прибору с другим отпечатком;\n"
    "                      write: записать частичный образ или образ прибора другой версии\n"
    "  -h, --help          эта справка\n"
    "  --version           версия программы\n"
    "\n"
    "Коды завершения: 0 успех, 1 ошибка прибора или файла, 2 ошибка в командной строке,\n"
    "3 значения не прошли проверку. Для нескольких приборов: 0 все настроены, 1 хотя бы один\n"
    "не настроен, 3 значения отклонены до обращения к портам (ничего не записано).\n";

} // namespace

CCommandLine::CCommandLine(std::FILE* pOut, std::FILE* pErr, const QString& strAppDir) : m_console(pOut, pErr)
{
    m_app.SetDataDir(strAppDir.isEmpty() ? QCoreApplication::applicationDirPath() : strAppDir);
    m_app.m_Hooks.m_pfnMessage = [this](const QString& strText, const QString&, EMsgIcon)
    { m_console.Err(strText); };
    m_app.m_Hooks.m_pfnCreateProgress = [this]() -> std::unique_ptr<CProgress>
    {
        if (m_bQuiet || !CConsoleProgress::IsTerminal(m_console.ErrStream()))
            return nullptr;
        return std::make_unique<CConsoleProgress>(m_console.ErrStream());
    };
    // No page: the values are already in the working record.
    m_app.m_Hooks.m_pfnPageExchange = [](bool) { return true; };
}

int CCommandLine::Usage(const COptions& options)
{
    if (options.bVersion && !options.bHelp)
    {
        m_console.Out(QStringLiteral("zint9 " ZINT9_VERSION));
        return COptions::kSuccess;
    }
    std::fputs(kUsageText, options.bHelp ? m_console.OutStream() : m_console.ErrStream());
    return options.bHelp ? COptions::kSuccess : COptions::kUsage;
}

int CCommandLine::Run(const QStringList& arguments)
{
    return m_console.Checked(RunParsed(arguments));
}

int CCommandLine::RunParsed(const QStringList& arguments)
{
    COptions options;
    if (!options.Parse(arguments))
        return m_console.Error(COptions::kUsage, options.m_strError);
    if (options.bHelp || options.bVersion || options.strCommand.isEmpty())
        return Usage(options);
    m_bQuiet = options.bQuiet;
    const QString& strCommand = options.strCommand;
    const SCommand* pCommand = Find(strCommand);
    if (pCommand && pCommand->bUnit && options.ports.isEmpty() && !options.bDemo)
        return m_console.Error(COptions::kUsage,
                               QStringLiteral("команде %1 нужен --port ИМЯ или --demo").arg(strCommand));
    if (strCommand != "show" && strCommand != "diff" && !options.positional.isEmpty())
        return m_console.Error(COptions::kUsage,
                               QStringLiteral("лишний аргумент «%1»").arg(options.positional.first()));
    // Two ports are a diff's two sides, not a batch.
    const bool bDiffPorts = strCommand == "diff" && !options.bRepeat && options.strReport.isEmpty();
    if (options.IsBatch() && !bDiffPorts)
    {
        if (strCommand != "set" && strCommand != "write")
            return m_console.Error(
                COptions::kUsage,
                QStringLiteral("несколько портов, --repeat, --report и --serials только для set и write"));
        if (options.bDemo)
            return m_console.Error(COptions::kUsage, QStringLiteral("--demo работает с одним прибором"));
        // Each port's worker writes its own files; one file would mix every line.
        if (!options.strTrace.isEmpty() && !QFileInfo(options.strTrace).isDir())
            return m_console.Error(
                COptions::kUsage, QStringLiteral("с несколькими портами и --repeat --trace принимает папку"));
        return CBatchRun(m_app, m_console).Run(options);
    }
    if (options.strTrace.isEmpty())
        return RunCommand(options);
    return RunTraced(options);
}

int CCommandLine::RunTraced(const COptions& options)
{
    // The log is written, so it must not be a file the command reads.
    const QStringList inputs = options.positional.isEmpty() ? QStringList{options.strIn} : options.positional;
    for (const QString& strInput : inputs)
        if (IsSameFile(strInput, options.strTrace))
            return m_console.Error(
                COptions::kUsage,
                QStringLiteral("журнал обмена %1 — это входной файл команды").arg(options.strTrace));
    QString strTraceError;
    if (!CLineLog::Start(options.strTrace, strTraceError))
        return m_console.Error(
            COptions::kFailure,
            QStringLiteral("не удалось записать журнал обмена %1: %2").arg(options.strTrace, strTraceError));
    const int nExit = RunCommand(options);
    if (CLineLog::Stop(&strTraceError))
        return nExit;
    m_console.Error(
        COptions::kFailure,
        QStringLiteral("не удалось записать журнал обмена %1: %2").arg(options.strTrace, strTraceError));
    return nExit == COptions::kSuccess ? COptions::kFailure : nExit;
}

bool CCommandLine::IsSameFile(const QString& strA, const QString& strB)
{
    if (strA.isEmpty() || strB.isEmpty() || strB == QLatin1String("-"))
        return false;
    const QFileInfo a(strA), b(strB);
    if (a.exists() && b.exists())
        return a.canonicalFilePath() == b.canonicalFilePath();
    return a.absoluteFilePath() == b.absoluteFilePath();
}

int CCommandLine::RunCommand(const COptions& options)
{
    CRecordAccess record(options);
    const int nExit = RunRecorded(options, record);
    // What this command recorded goes up to the plant now, within a bounded wait.
    if (const SCommand* pCommand = Find(options.strCommand); pCommand && pCommand->bRecorded)
        record.Keeper().FinishSync(kSyncWaitMs);
    record.TellTrouble(m_console);
    return nExit;
}

int CCommandLine::RunRecorded(const COptions& options, CRecordAccess& record)
{
    const SCommand* pCommand = Find(options.strCommand);
    if (!pCommand)
        return m_console.Error(
            COptions::kUsage,
            QStringLiteral("неизвестная команда «%1»; см. zint9 --help").arg(options.strCommand));
    CDeviceCommand device(m_app, m_console, pCommand->bRecorded ? record.Journal() : nullptr);
    SContext context{*this, m_app, m_console, device, record, options};
    return pCommand->pfnRun(context);
}

int CCommandLine::RunHistory(SContext& context)
{
    if (context.options.bInit)
        return context.line.Init(context.options);
    if (context.options.bSync && !context.line.Sync(context.record))
        return COptions::kFailure;
    return CHistoryCommand::Run(context.console, context.record.Keeper(), context.options);
}

int CCommandLine::Written(SContext& context, int nExit)
{
    QString strFile;
    if (context.options.strProtocols.isEmpty() ||
        CProtocolCommand::AfterWrite(context.device, context.record.Keeper(), context.options.strProtocols,
                                     strFile))
        return nExit;
    return nExit == COptions::kSuccess ? COptions::kFailure : nExit;
}

int CCommandLine::RunRestore(SContext& context)
{
    return CRestoreCommand::Run(context.device, context.console, context.record.Keeper(), context.options);
}

const CCommandLine::SCommand* CCommandLine::Find(const QString& strName)
{
    // name, handler, needs a unit (--port or --demo), records its transactions
    static const SCommand kCommands[] = {
        {"ports", [](SContext& c) { return CPortsCommand::Run(c.console, c.options.bJson); }, false, false},
        {"read", [](SContext& c) { return CReadCommand::Run(c.device, c.options); }, true, true},
        {"show", [](SContext& c) { return CShowCommand::Run(c.app, c.console, c.record, c.options); }, false,
         false},
        {"set", [](SContext& c) { return Written(c, CSetCommand::Run(c.device, c.options)); }, true, true},
        {"write", [](SContext& c) { return Written(c, CWriteCommand::Run(c.device, c.options)); }, true,
         true},
        {"restore", RunRestore, true, true},
        {"history", RunHistory, false, false},
        {"diff",
         [](SContext& c)
         {
             c.app.LoadSensorCatalogue();
             return CDiffCommand(c.console, c.device, c.record, c.options).Run(c.app);
         },
         false, true},
        {"protocol",
         [](SContext& c) { return CProtocolCommand::Run(c.device, c.record.Keeper(), c.options); }, false,
         true},
    };
    for (const SCommand& command : kCommands)
        if (strName == QLatin1String(command.pszName))
            return &command;
    return nullptr;
}

int CCommandLine::Init(const COptions& options)
{
    // The owner's step, once for a plant: stations only read and add entries.
    const QString strLocation = CRecordLocation::Of(options.strRecord);
    CRecordStore store;
    if (!store.Open(strLocation, kInitTimeoutS, CRecordStore::EAccess::Init))
        return m_console.Error(COptions::kFailure, QStringLiteral("таблицы записей %1 не созданы: %2")
                                                       .arg(CRecordLocation::Redacted(strLocation),
                                                            store.m_strLastError.simplified()));
    m_console.Err(QStringLiteral("Таблицы записей %1 готовы (схема %2).")
                      .arg(CRecordLocation::Redacted(strLocation))
                      .arg(CRecordSchema::kVersion));
    return COptions::kSuccess;
}

bool CCommandLine::Sync(CRecordAccess& record)
{
    if (!record.Keeper().HasPlant())
        return true; // a local record is its own
    // A long backlog shows how far it has come on a terminal; a script reads the last line only.
    std::unique_ptr<CConsoleProgress> pBar;
    CRecordUpload::Progress pfnProgress;
    if (!m_bQuiet && CConsoleProgress::IsTerminal(m_console.ErrStream()))
    {
        pBar = std::make_unique<CConsoleProgress>(m_console.ErrStream());
        pfnProgress = [&pBar](int nUploaded, int nWaiting)
        {
            pBar->SetRange(0, nWaiting);
            pBar->SetText(QStringLiteral("Передано в базу записей: %1 из %2…").arg(nUploaded).arg(nWaiting));
            pBar->SetPos(nUploaded);
        };
    }
    int nUploaded = 0;
    QString strError;
    const bool bUploaded = record.Keeper().SyncNow(nUploaded, strError, pfnProgress);
    if (pBar)
        pBar->Erase();
    if (!bUploaded)
    {
        m_console.Error(
            COptions::kFailure,
            QStringLiteral("записи не переданы в базу %1: %2").arg(record.Keeper().PlantShown(), strError));
        return false;
    }
    m_console.Err(QStringLiteral("Передано в базу записей: %1.").arg(nUploaded));
    return true;
}
