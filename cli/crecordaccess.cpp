#include "crecordaccess.h"

#include "cconsole.h"
#include "coptions.h"
#include "crecordlocation.h"

CRecordAccess::CRecordAccess(const COptions& options) : m_options(options), m_keeper(options.strRecord) {}

CRecordJournal* CRecordAccess::Journal()
{
    CRecordJournal::SIdentity identity = CRecordJournal::DefaultIdentity();
    if (!m_options.strStation.isEmpty())
        identity.strStation = m_options.strStation;
    if (!m_options.strOperator.isEmpty())
        identity.strOperator = m_options.strOperator;
    identity.strSerial = m_options.strSerial;
    return m_keeper.Journal(identity);
}

CRecordStore* CRecordAccess::LocalStore(CConsole& console)
{
    CRecordStore* pStore = m_keeper.Local();
    if (!pStore)
        console.Error(
            COptions::kFailure,
            QStringLiteral("записи %1 не открыты: %2").arg(m_keeper.LocalLocation(), m_keeper.TakeTrouble()));
    return pStore;
}

void CRecordAccess::TellTrouble(CConsole& console)
{
    const QString strTrouble = m_keeper.TakeTrouble();
    if (!strTrouble.isEmpty())
        console.Err(QStringLiteral("zint9: ") + strTrouble);
}

QStringList CRecordAccess::UnitsOf(const QString& strSerial, QString& strNote)
{
    CRecordStore::SQuery query;
    query.strSerial = strSerial;
    query.bLatest = true; // one entry a unit
    QList<CRecordEntry> entries;
    QString strError;
    if (!m_keeper.UnitEntries(query, entries, strNote, strError) || !strError.isEmpty())
        strNote = QStringLiteral("серийный номер %1 не проверен по записям: %2").arg(strSerial, strError);
    QStringList units;
    for (const CRecordEntry& entry : entries)
        if (!entry.strFingerprint.isEmpty())
            units << entry.strFingerprint;
    return units;
}
