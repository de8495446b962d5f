#include "crestorecommand.h"

#include "cconsole.h"
#include "cdevicecommand.h"
#include "cfingerprint.h"
#include "coptions.h"
#include "crecordstore.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <cstring>

bool CRestoreCommand::FindEntry(CConsole& console, CRecordStore& store, const COptions& options,
                                const QString& strUnit, CRecordEntry& entry)
{
    if (!options.strEntry.isEmpty())
    {
        if (store.Entry(options.strEntry, entry))
            return true;
        console.Error(COptions::kFailure, store.m_strLastError);
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
    QList<CRecordEntry> entries;
    if (!store.Find(query, entries))
    {
        console.Error(COptions::kFailure, store.m_strLastError);
        return false;
    }
    for (const CRecordEntry& candidate : entries)
        if (candidate.strOperation == QLatin1String("write") && !candidate.strImageBefore.isEmpty())
        {
            entry = candidate;
            return true;
        }
    console.Error(COptions::kFailure,
                  QStringLiteral("в записях нет записи в прибор %1").arg(CFingerprint::Short(strUnit)));
    return false;
}

int CRestoreCommand::Run(CDeviceCommand& device, CConsole& console, CRecordStore& store,
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
    if (!FindEntry(console, store, options, strUnit, entry))
        return COptions::kFailure;
    if (entry.strFingerprint != strUnit && !options.bForce)
        return console.Error(
            COptions::kFailure,
            QStringLiteral("запись %1 сделана для прибора %2, а подключён прибор %3; "
                           "ничего не записано (--force, чтобы восстановить всё равно)")
                .arg(entry.strId, CFingerprint::Short(entry.strFingerprint), CFingerprint::Short(strUnit)));
    QByteArray image;
    if (!store.Image(entry.strImageBefore, image) || image.size() != CParamZT01::kImageSize)
        return console.Error(COptions::kFailure, store.m_strLastError);
    // Every byte but the device block, which the session puts back from the unit itself.
    std::memcpy(app.m_ParamEdit.Image(), image.constData(), CParamZT01::kImageSize);
    if (!device.WriteRestore(options, session))
        return COptions::kFailure;
    console.Err(
        QStringLiteral("Прибору возвращён образ до записи %1 от %2.")
            .arg(entry.strId, entry.timeStart.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss'Z'"))));
    return COptions::kSuccess;
}
