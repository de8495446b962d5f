#include "crecordaccess.h"

#include "cconsole.h"
#include "coptions.h"

CRecordAccess::CRecordAccess(const COptions& options) : m_options(options) {}

void CRecordAccess::Open()
{
    if (m_bTried)
        return;
    m_bTried = true;
    if (!m_store.Open(CRecordStore::Location(m_options.strRecord)))
        m_strOpenError = m_store.m_strLastError;
}

CRecordJournal* CRecordAccess::Journal()
{
    if (m_pJournal)
        return m_pJournal.get();
    Open();
    CRecordJournal::SIdentity identity = CRecordJournal::DefaultIdentity();
    if (!m_options.strStation.isEmpty())
        identity.strStation = m_options.strStation;
    if (!m_options.strOperator.isEmpty())
        identity.strOperator = m_options.strOperator;
    identity.strSerial = m_options.strSerial;
    m_pJournal = std::make_unique<CRecordJournal>(m_store, identity);
    return m_pJournal.get();
}

CRecordStore* CRecordAccess::Store(CConsole& console)
{
    Open();
    if (m_store.IsOpen())
        return &m_store;
    console.Error(
        COptions::kFailure,
        QStringLiteral("записи %1 не открыты: %2")
            .arg(CRecordDatabase::Redacted(CRecordStore::Location(m_options.strRecord)), m_strOpenError));
    return nullptr;
}

void CRecordAccess::TellTrouble(CConsole& console)
{
    const QString strTrouble = m_pJournal ? m_pJournal->TakeTrouble() : QString();
    if (!strTrouble.isEmpty())
        console.Err(
            QStringLiteral("zint9: запись о приборе отложена до следующего запуска (%1): %2")
                .arg(CRecordDatabase::Redacted(CRecordStore::Location(m_options.strRecord)), strTrouble));
}
