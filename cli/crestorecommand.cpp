#include "crestorecommand.h"

#include "cconsole.h"
#include "cdevicecommand.h"
#include "cfingerprint.h"
#include "coptions.h"
#include "crecordkeeper.h"
#include "crecordtext.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <cstring>

bool CRestoreCommand::FindEntry(CConsole& console, CRecordKeeper& keeper, const COptions& options,
                                const QString& strUnit, CRecordEntry& entry)
{
    QString strError, strNote;
    if (!options.strEntry.isEmpty())
    {
        if (keeper.Entry(options.strEntry, entry, strError))
            return true;
        console.Error(COptions::kFailure, strError);
        return false;
    }
    if (strUnit.isEmpty())
    {
        // An erased device block names no unit: only an entry chosen by the user says which.
        console.Error(COptions::kFailure,
                      QStringLiteral("прибор не определён (блок прибора стёрт): укажите запись "
                                     "--entry ID из «zint9 history --port ПОРТ»"));
        return false;
    }
    CRecordStore::SQuery query;
    query.strFingerprint = strUnit;
    // This station's entries that wait for the plant count too: the newest write is the one undone.
    QList<CRecordEntry> entries;
    if (!keeper.UnitEntries(query, entries, strNote, strError))
    {
        console.Error(COptions::kFailure, strError);
        return false;
    }
    if (!strNote.isEmpty())
        console.Err(QStringLiteral("zint9: ") + strNote);
    for (const CRecordEntry& candidate : entries)
        if (candidate.strOperation == QLatin1String("write") && !candidate.strImageBefore.isEmpty())
        {
            entry = candidate;
            return true;
        }
    console.Error(COptions::kFailure,
                  CRecordText::NoEntry(keeper.Searched(),
                                       QStringLiteral("в прибор %1").arg(CFingerprint::Short(strUnit))));
    return false;
}

int CRestoreCommand::Run(CDeviceCommand& device, CConsole& console, CRecordKeeper& keeper,
                         const COptions& options)
{
    device.Begin();
    CZTAppDevice& app = device.App();
    CWriteSession session(app, device.Journal());
    if (!device.Connect(options, session))
        return COptions::kFailure;
    CParamZT01 held;
    app.HeldImage(held);
    const QString strUnit = CFingerprint::Of(held);
    CRecordEntry entry;
    if (!FindEntry(console, keeper, options, strUnit, entry))
        return COptions::kFailure;
    if (entry.strFingerprint != strUnit && !options.bForce)
        return console.Error(
            COptions::kFailure,
            QStringLiteral("запись %1 сделана для прибора %2, а подключён прибор %3; "
                           "ничего не записано (--force, чтобы восстановить всё равно)")
                .arg(entry.strId, CFingerprint::Short(entry.strFingerprint), CFingerprint::Short(strUnit)));
    QByteArray image;
    QString strError;
    if (!keeper.Image(entry.strImageBefore, image, strError) || image.size() != CParamZT01::kImageSize)
        return console.Error(COptions::kFailure, strError);
    // Every byte but the device block, which the session puts back from the unit itself.
    std::memcpy(app.m_ParamEdit.Image(), image.constData(), CParamZT01::kImageSize);
    if (!device.WriteRestore(options, session, entry.strId))
        return COptions::kFailure;
    console.Err(
        QStringLiteral("Прибору возвращён образ до записи %1 от %2.")
            .arg(entry.strId, entry.timeStart.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss'Z'"))));
    return COptions::kSuccess;
}
