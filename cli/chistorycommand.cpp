#include "chistorycommand.h"

#include "cconsole.h"
#include "ccsv.h"
#include "cfingerprint.h"
#include "coptions.h"
#include "crecordstore.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace
{
QString Dash(const QString& strText)
{
    return strText.isEmpty() ? QStringLiteral("-") : strText;
}

QString Line(const CRecordEntry& entry)
{
    QStringList fields{entry.timeStart.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss'Z'")),
                       entry.strStation,
                       entry.strOperator,
                       Dash(entry.bDemo ? QStringLiteral("demo") : entry.strPort),
                       CFingerprint::Short(entry.strFingerprint),
                       Dash(entry.strSerial),
                       entry.strOperation,
                       entry.strResult};
    if (entry.bPartial)
        fields << QStringLiteral("частичный образ");
    if (!entry.strChanges.isEmpty())
        fields << entry.strChanges;
    if (!entry.strReason.isEmpty())
        fields << entry.strStep + QStringLiteral(": ") + entry.strReason;
    fields << entry.strId;
    // The fields come from any station of a shared record: none may forge a line or steer the
    // terminal.
    for (QString& strField : fields)
        strField = CConsole::Printable(strField);
    return fields.join(QLatin1Char('\t'));
}
} // namespace

int CHistoryCommand::Run(CConsole& console, CRecordStore& store, const COptions& options)
{
    CRecordStore::SQuery query;
    query.strFingerprint = options.strDevice;
    query.strSerial = options.strSerial;
    query.strPort = options.ports.value(0);
    query.strStation = options.strStation;
    query.strOperator = options.strOperator;
    query.nLimit = options.nLimit;
    query.since = options.since;
    QList<CRecordEntry> entries;
    if (!store.Find(query, entries))
        return console.Error(COptions::kFailure, store.m_strLastError);
    if (options.bJson)
    {
        QJsonArray json;
        for (const CRecordEntry& entry : entries)
            json.append(entry.Json());
        console.Out(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Indented)).chopped(1));
        return COptions::kSuccess;
    }
    if (options.bCsv)
    {
        // The keys of the JSON, in its order, as the header; a spreadsheet opens it as UTF-8.
        QStringList lines{CCsv::Line(CRecordEntry::Keys())};
        for (const CRecordEntry& entry : entries)
        {
            const QJsonObject json = entry.Json();
            QStringList fields;
            for (const QString& strKey : CRecordEntry::Keys())
                fields << CCsv::Text(json[strKey]);
            lines << CCsv::Line(fields);
        }
        console.Out(lines.join(QLatin1Char('\n')));
        return COptions::kSuccess;
    }
    for (const CRecordEntry& entry : entries)
        console.Out(Line(entry));
    return COptions::kSuccess;
}
