#include "chistorycommand.h"

#include "cconsole.h"
#include "ccsv.h"
#include "cfingerprint.h"
#include "coptions.h"
#include "crecordhistory.h"
#include "crecordkeeper.h"
#include "crecordlocation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

// The entry as it stands in the indented text of the whole array: an array of it alone, without
// its brackets ("[\n" before, "\n]\n" after).
QByteArray JsonItem(const CRecordEntry& entry)
{
    const QByteArray text = QJsonDocument(QJsonArray{entry.Json()}).toJson(QJsonDocument::Indented);
    return text.mid(2, text.size() - 5);
}

QByteArray CsvLine(const CRecordEntry& entry)
{
    const QJsonObject json = entry.Json();
    QStringList fields;
    for (const QString& strKey : CRecordEntry::Keys())
        fields << CCsv::Text(json[strKey]);
    return CCsv::Line(fields).toUtf8() + '\n';
}

// Writes every entry the history gives, in the format asked; false once the output fails.
bool WriteAll(CConsole& console, CRecordHistory& history, const COptions& options)
{
    bool bOk = true;
    if (options.bJson)
        bOk = console.Write("[\n");
    else if (options.bCsv)
        // The keys of the JSON, in its order, as the header; a spreadsheet opens it as UTF-8.
        bOk = console.Write(CCsv::Line(CRecordEntry::Keys()).toUtf8() + '\n');
    bool bFirst = true;
    for (CRecordEntry entry; bOk && history.Next(entry); bFirst = false)
    {
        if (options.bJson)
            bOk = console.Write((bFirst ? QByteArray() : QByteArrayLiteral(",\n")) + JsonItem(entry));
        else if (options.bCsv)
            bOk = console.Write(CsvLine(entry));
        else
            bOk = console.Write(Line(entry).toUtf8() + '\n');
    }
    if (bOk && options.bJson)
        bOk = console.Write(bFirst ? QByteArrayLiteral("]\n") : QByteArrayLiteral("\n]\n"));
    return bOk;
}
} // namespace

int CHistoryCommand::Run(CConsole& console, CRecordKeeper& keeper, const COptions& options)
{
    CRecordStore* pLocal = nullptr;
    CRecordStore* pPlant = nullptr;
    QString strNote, strError;
    const bool bOpen = keeper.HistoryStores(pLocal, pPlant, strNote, strError);
    if (!strNote.isEmpty())
        console.Err(QStringLiteral("zint9: ") + strNote);
    const QString strLocalError = QStringLiteral("записи %1 не открыты: %2")
                                      .arg(CRecordLocation::Redacted(keeper.LocalLocation()), strError);
    if (!bOpen)
        return console.Error(COptions::kFailure, strLocalError);
    // The plant's alone is not the whole history: this machine's waiting entries are missing.
    if (!pLocal)
        console.Err(QStringLiteral("zint9: ") + strLocalError);
    CRecordStore::SQuery query;
    query.strFingerprint = options.strDevice;
    query.strSerial = options.strSerial;
    query.strPort = options.ports.value(0);
    query.strStation = options.strStation;
    query.strOperator = options.strOperator;
    query.strOperation = options.strOperation;
    query.strResult = options.strResult;
    query.strSourceHash = options.strSource;
    query.nLimit = options.nLimit;
    query.since = options.since;
    query.until = options.until;
    query.bLatest = options.bLatest;
    CRecordHistory history(pLocal, pPlant, query);
    // An output that fails ends the writing; CConsole::Checked says so.
    WriteAll(console, history, options);
    if (history.PlantFailed())
        console.Err(QStringLiteral("zint9: ") + keeper.PlantLost());
    if (history.LocalFailed())
        return console.Error(COptions::kFailure, pLocal->m_strLastError);
    return COptions::kSuccess;
}
