#pragma once

#include "crecordentry.h"
#include "crecordspool.h"
#include "cwritejournal.h"

#include <QString>
#include <QStringList>

class CParamZT01;
class CRecordStore;
class CTransaction;

// Keeps the record of a write session: an entry for each connect, and for each write one that
// is committed as "attempted" before the device is touched and completed after. The record never
// stops the device work: when it cannot be kept, Trouble() says why, once.
class CRecordJournal : public CWriteJournal
{
public:
    struct SIdentity
    {
        QString strStation;  // the host name unless given
        QString strOperator; // the login name unless given
        QString strSerial;   // a label or a scanned bar code, where given
        QString strProgramVersion;
    };

    // This program on this host, as the user logged in.
    static SIdentity DefaultIdentity();

    // Entries that waited in the spool go into the store first, where it is open.
    CRecordJournal(CRecordStore& store, const SIdentity& identity,
                   const QString& strSpool = CRecordSpool::DefaultPath());

    void Connected(const CWriteSession& session) override;
    void WriteStarting(const CWriteSession& session) override;
    void WriteFinished(const CWriteSession& session) override;
    QString LastEntryId() const override { return m_Last.strId; }
    const SIdentity& Identity() const { return m_identity; }
    // At a station each unit's own, from the next entry on.
    void SetSerial(const QString& strSerial) { m_identity.strSerial = strSerial; }

    // The last entry made, as it was stored (or would have been).
    const CRecordEntry& Last() const { return m_Last; }
    // The unit just read may hold a partial image: its last write was torn, or its image is one
    // that a torn write left behind.
    bool UnitPartial() const override { return m_Last.bPartial; }
    bool ImagePartial(const CParamZT01& image) override;
    int ImageOrigin(const CParamZT01& image) override;
    // The entries made since the unit in hand was read.
    const QStringList& UnitEntries() const { return m_unitIds; }
    // Why the record could not be kept; given once, empty afterwards and while all is well.
    QString TakeTrouble();

private:
    CRecordEntry Base(const CWriteSession& session, const CTransaction& transaction) const;
    // The transaction's outcome into the entry: its result, whether read back, its failure.
    static void Take(CRecordEntry& entry, const CTransaction& transaction);
    void Store(const CRecordEntry& entry, const QList<const CParamZT01*>& images);

    CRecordStore& m_store;
    CRecordSpool m_spool;
    SIdentity m_identity;
    CRecordEntry m_Last;
    QString m_strTrouble;
    bool m_bTroubleTold = false;
    QStringList m_unitIds;
};
