#include "coptions.h"

#include "cnumbertext.h"
#include "cparamrules.h"
#include "crecordentry.h"
#include "crecordlocation.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>

#include <utility>

namespace
{
// Options that take a value, and flags.
const char* const kValued[] = {"port",     "ports",      "out",           "in",     "sensor",  "low",
                               "high",     "fail",       "cold-junction", "band",   "filter",  "dac-low",
                               "dac-high", "backup-dir", "report",        "trace",  "record",  "station",
                               "operator", "serial",     "entry",         "device", "limit",   "since",
                               "until",    "result",     "operation",     "source", "serials", "protocols"};
const char* const kFlags[] = {"demo",    "json",  "csv",  "no-verify",    "quiet", "repeat", "help",
                              "version", "force", "sync", "changed-only", "init",  "latest"};
const std::pair<const char*, std::optional<float> COptions::*> kNumbers[] = {
    {"low", &COptions::low},         {"high", &COptions::high},     {"fail", &COptions::fail},
    {"band", &COptions::band},       {"filter", &COptions::filter}, {"dac-low", &COptions::dacLow},
    {"dac-high", &COptions::dacHigh}};
} // namespace

bool COptions::Parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char* pszName : kValued)
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(pszName), QString(), QStringLiteral("value")));
    for (const char* pszName : kFlags)
        parser.addOption(QCommandLineOption(QString::fromLatin1(pszName)));
    parser.addOption(QCommandLineOption(QStringLiteral("h")));
    if (!ParseWords(parser, arguments))
        return false;
    positional = parser.positionalArguments();
    strCommand = positional.isEmpty() ? QString() : positional.takeFirst();
    if (!TakePorts(parser))
        return false;
    auto value = [&parser](const char* pszName) { return parser.value(QString::fromLatin1(pszName)); };
    strOut = value("out");
    strIn = value("in");
    strSensor = value("sensor");
    strBackupDir = value("backup-dir");
    strReport = value("report");
    strTrace = value("trace");
    strRecord = value("record");
    strStation = value("station");
    strOperator = value("operator");
    strSerial = value("serial");
    strSerials = value("serials");
    strProtocols = value("protocols");
    strEntry = value("entry");
    strDevice = value("device");
    bForce = parser.isSet("force");
    bDemo = parser.isSet("demo");
    bJson = parser.isSet("json");
    bCsv = parser.isSet("csv");
    bSync = parser.isSet("sync");
    bInit = parser.isSet("init");
    bChangedOnly = parser.isSet("changed-only");
    bNoVerify = parser.isSet("no-verify");
    bQuiet = parser.isSet("quiet");
    bRepeat = parser.isSet("repeat");
    bHelp = parser.isSet("help") || parser.isSet("h");
    bVersion = parser.isSet("version");
    return TakeNumbers(parser) && TakeHistory(parser) && CheckCombinations() &&
           CRecordLocation::Check(strRecord, m_strError);
}

bool COptions::ParseWords(QCommandLineParser& parser, const QStringList& arguments)
{
    // The parser's own error texts are English; the cases are told apart here first.
    if (!arguments.isEmpty())
    {
        const QString& strLast = arguments.last();
        for (const char* pszName : kValued)
            if (strLast == QLatin1String("--") + QLatin1String(pszName))
            {
                m_strError = QStringLiteral("параметру %1 нужно значение").arg(strLast);
                return false;
            }
    }
    if (parser.parse(QStringList{QStringLiteral("zint9")} + arguments))
        return true;
    const QStringList unknown = parser.unknownOptionNames();
    m_strError = unknown.isEmpty() ? parser.errorText()
                                   : QStringLiteral("неизвестный параметр %1%2; см. zint9 --help")
                                         .arg(unknown.first().size() > 1 ? "--" : "-", unknown.first());
    return false;
}

bool COptions::TakeHistory(const QCommandLineParser& parser)
{
    if (parser.isSet("limit"))
    {
        bool bOk = false;
        nLimit = parser.value("limit").toInt(&bOk);
        if (!bOk || nLimit < 0)
        {
            m_strError = QStringLiteral("--limit принимает целое число");
            return false;
        }
    }
    if (!TakeMoment(parser, "since", since) || !TakeMoment(parser, "until", until))
        return false;
    // A day is until its end, a moment until itself: --since T --until U and --since U meet
    // without a gap or an entry twice.
    if (parser.isSet("until") && parser.value("until").size() == 10)
        until = until.addDays(1);
    bLatest = parser.isSet("latest");
    strSource = parser.value("source");
    static const QRegularExpression kHash(QStringLiteral("^[0-9a-fA-F]{1,64}$"));
    if (parser.isSet("source") && !kHash.match(strSource).hasMatch())
    {
        m_strError = QStringLiteral("--source «%1»: нужен SHA-256 источника записи (64 шестнадцатеричные "
                                    "цифры) или его начало")
                         .arg(strSource);
        return false;
    }
    return TakeWord(parser, "result", CRecordEntry::Results(), strResult) &&
           TakeWord(parser, "operation", CRecordEntry::Operations(), strOperation);
}

bool COptions::TakeMoment(const QCommandLineParser& parser, const char* pszName, QDateTime& moment)
{
    if (!parser.isSet(pszName))
        return true;
    // A day, or a moment of local time (or with its zone); the whole value, or nothing.
    const QString strValue = parser.value(pszName);
    static const QRegularExpression kMoment(QStringLiteral(
        "^\\d{4}-\\d{2}-\\d{2}(T\\d{2}:\\d{2}(:\\d{2}(\\.\\d{1,3})?)?(Z|[+-]\\d{2}:\\d{2})?)?$"));
    if (kMoment.match(strValue).hasMatch())
        moment = strValue.size() == 10 ? QDateTime(QDate::fromString(strValue, Qt::ISODate), QTime(0, 0))
                                       : QDateTime::fromString(strValue, Qt::ISODateWithMs);
    if (moment.isValid())
        return true;
    m_strError =
        QStringLiteral("--%1 «%2»: нужна дата ГГГГ-ММ-ДД или ГГГГ-ММ-ДДTЧЧ:ММ").arg(pszName, strValue);
    return false;
}

bool COptions::TakeWord(const QCommandLineParser& parser, const char* pszName, const QStringList& words,
                        QString& strWord)
{
    strWord = parser.value(pszName);
    if (!parser.isSet(pszName) || words.contains(strWord))
        return true;
    m_strError =
        QStringLiteral("--%1 «%2»: допустимы %3").arg(pszName, strWord, words.join(QStringLiteral(", ")));
    return false;
}

bool COptions::TakePorts(const QCommandLineParser& parser)
{
    ports = parser.values(QStringLiteral("port"));
    for (const QString& strList : parser.values(QStringLiteral("ports")))
    {
        bPortsList = true;
        for (const QString& strPort : strList.split(QLatin1Char(',')))
        {
            if (strPort.trimmed().isEmpty())
            {
                m_strError = QStringLiteral("пустое имя порта в --ports «%1»").arg(strList);
                return false;
            }
            ports << strPort.trimmed();
        }
    }
    return true;
}

bool COptions::TakeNumbers(const QCommandLineParser& parser)
{
    // Numbers are read as the wizard's fields read them; a text without a finite number is refused.
    for (const auto& [pszName, pValue] : kNumbers)
    {
        if (!parser.isSet(pszName))
            continue;
        const QString strText = parser.value(pszName);
        float fValue = 0;
        if (!CNumberText::ParseArgument(strText, fValue))
        {
            m_strError = QStringLiteral("--%1 «%2»: %3").arg(pszName, strText, CParamRules::NotANumberText());
            return false;
        }
        this->*pValue = fValue;
    }
    if (parser.isSet("cold-junction"))
    {
        const QString strValue = parser.value("cold-junction");
        if (strValue != "on" && strValue != "off")
        {
            m_strError = QStringLiteral("--cold-junction принимает on или off");
            return false;
        }
        coldJunction = strValue == "on";
    }
    return true;
}

bool COptions::CheckCombinations()
{
    if (dacLow.has_value() != dacHigh.has_value())
        m_strError = QStringLiteral("--dac-low и --dac-high задаются вместе");
    else if (bJson && bCsv)
        m_strError = QStringLiteral("--json и --csv не задаются вместе");
    else if (!strSerials.isEmpty() && !strSerial.isEmpty())
        m_strError = QStringLiteral("--serial и --serials не задаются вместе");
    // One serial on every unit of a shift would make a recall by serial pull the wrong units.
    else if (!strSerial.isEmpty() && (bRepeat || ports.size() > 1))
        m_strError = QStringLiteral("--serial с несколькими портами или --repeat дал бы один номер всем "
                                    "приборам; номер каждому прибору: --serials ФАЙЛ или --serials -");
    else if (!strProtocols.isEmpty() && strCommand != "set" && strCommand != "write")
        m_strError = QStringLiteral("--protocols только для set и write");
    else if (!strProtocols.isEmpty() && !QFileInfo(strProtocols).isDir())
        m_strError = QStringLiteral("--protocols %1: нет такой папки").arg(strProtocols);
    // Known before a unit is written, not after.
    else if (!strProtocols.isEmpty() && !QFileInfo(strProtocols).isWritable())
        m_strError = QStringLiteral("--protocols %1: в папку нельзя записать").arg(strProtocols);
    else if (strCommand == "protocol" && strEntry.isEmpty() == (ports.isEmpty() && !bDemo))
        m_strError = QStringLiteral("команде protocol нужен --entry ID или --port ИМЯ (одно из двух)");
    return m_strError.isEmpty();
}

bool COptions::IsBatch() const
{
    return bRepeat || !strReport.isEmpty() || bPortsList || ports.size() > 1 || !strSerials.isEmpty();
}

QJsonObject COptions::Job(const QString& strPort) const
{
    QJsonObject job{{"command", strCommand},
                    {"port", strPort},
                    {"in", strIn},
                    {"sensor", strSensor},
                    {"backupDir", strBackupDir},
                    {"noVerify", bNoVerify},
                    {"repeat", bRepeat},
                    {"record", strRecord},
                    {"station", strStation},
                    {"operator", strOperator},
                    {"serial", strSerial},
                    {"trace", strTrace},
                    {"changedOnly", bChangedOnly},
                    {"report", strReport},
                    {"protocols", strProtocols},
                    {"force", bForce}};
    for (const auto& [pszName, pValue] : kNumbers)
        if (this->*pValue)
            job[QString::fromLatin1(pszName)] = double(*(this->*pValue));
    if (coldJunction)
        job["cold-junction"] = *coldJunction;
    return job;
}

COptions COptions::FromJob(const QJsonObject& job)
{
    COptions options;
    options.strCommand = job["command"].toString();
    options.ports = QStringList{job["port"].toString()};
    options.strIn = job["in"].toString();
    options.strSensor = job["sensor"].toString();
    options.strBackupDir = job["backupDir"].toString();
    options.bNoVerify = job["noVerify"].toBool();
    options.bRepeat = job["repeat"].toBool();
    options.strRecord = job["record"].toString();
    if (job.contains("restoreRecord"))
        options.restoreRecord = job["restoreRecord"].toString();
    options.strStation = job["station"].toString();
    options.strOperator = job["operator"].toString();
    options.strSerial = job["serial"].toString();
    options.strTrace = job["trace"].toString();
    options.bChangedOnly = job["changedOnly"].toBool();
    options.bForce = job["force"].toBool();
    options.strReport = job["report"].toString();
    options.strProtocols = job["protocols"].toString();
    options.bQuiet = true;
    for (const auto& [pszName, pValue] : kNumbers)
        if (job.contains(QLatin1String(pszName)))
            options.*pValue = CNumberText::Narrow(job[QLatin1String(pszName)].toDouble());
    if (job.contains("cold-junction"))
        options.coldJunction = job["cold-junction"].toBool();
    return options;
}
