#pragma once

#include "cparamzt01.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <utility>

// The transmitter as its host sees it: it answers versions, read and write requests and keeps
// its EEPROM, optionally in a file. Faults can be injected at chosen exchanges or blocks.
class CSimDevice
{
public:
    enum class EFault
    {
        NoAnswer,     // the request goes unanswered
        Truncated,    // only the first half of the answer is sent
        BadCheck,     // a read answer whose check words do not fold to zero
        Refusal,      // a write is refused with the refusal versions
        CorruptStore, // a write is acknowledged but its block is stored with byte nByte changed
        HangUp,       // the line goes dead, as when the adapter is unplugged: nothing answers any more
        Late,         // the answer comes only after nDelayMs (a stalled unit, later than the host waits)
        Twice,        // the answer is sent again nDelayMs after the first
        Echo,         // the request comes back before the answer, as from an adapter's local echo
        OtherBlock,   // a read is answered with block nOtherBlock's answer (a stale one), well sealed
        Unacknowledged, // a write's block is stored, and its acknowledgement never sent
    };
    enum class ERequest
    {
        Any,
        Versions,
        Read,
        Write,
    };
    // A fault fires on requests of kind nOn from exchange nFromExchange on (exchanges count
    // every request from 0), only for block nBlock when that is not -1, nCount times (-1: always).
    struct SFault
    {
        EFault nKind = EFault::NoAnswer;
        int nFromExchange = 0;
        int nBlock = -1;
        int nCount = 1;
        ERequest nOn = ERequest::Any;
        int nDelayMs = -1;    // Late: the stall (default 600 ms); Twice: the gap (default 30 ms)
        int nByte = 0;        // CorruptStore: the byte of the block (0-7) stored changed
        int nOtherBlock = -1; // OtherBlock: the block whose answer is given; -1 the next one
        QByteArray pattern;   // CorruptStore: where given, the 8 bytes stored instead
    };
    // How the simulator is to hand over the answer just made.
    struct SDelivery
    {
        int nDelayMs = 0;        // wait before the answer
        int nRepeatAfterMs = -1; // send it again after this wait; -1 not at all
        bool bEcho = false;      // the request goes back first, at once
    };

    CSimDevice();

    // EEPROM kept in strPath; a missing file is created with the sample image.
    bool UseEepromFile(const QString& strPath);
    void SetImage(const CParamZT01& image);
    CParamZT01 Image() const { return m_image; }
    void SetVersions(quint16 wVersion, quint16 wBootVersion);
    void SetRefusalVersions(quint16 wVersion, quint16 wBootVersion);
    // Read answers carry zeros where the request's header would be, as some units' do.
    void SetBareAnswers(bool bBare) { m_bBare = bBare; }
    void AddFault(const SFault& fault) { m_faults.append(fault); }
    // The fault on every request of that kind, for as long as the device lives.
    void AddLastingFault(EFault nKind, ERequest nOn)
    {
        SFault fault;
        fault.nKind = nKind;
        fault.nOn = nOn;
        fault.nCount = -1;
        AddFault(fault);
    }
    void ClearFaults() { m_faults.clear(); }
    int Exchanges() const { return m_nExchanges; }
    // True once, after a request that a HangUp fault left unanswered.
    bool TakeHangUp() { return std::exchange(m_bHangUp, false); }
    // How to hand over the last answer; taken once.
    SDelivery TakeDelivery() { return std::exchange(m_delivery, SDelivery()); }
    // Gives the unit a device block of its own, made from nSeed, so that units differ.
    void SetUnit(int nSeed);

    // Answers one request line (its tetrad text without the line feed); empty for no answer.
    QByteArray Answer(const QByteArray& line);

    QString m_strError;

private:
    // The fault that fires, or null.
    const SFault* FaultFires(EFault nKind, ERequest nRequest, int nBlock, int nExchange);
    QByteArray ReadAnswer(const quint8* pRequest, quint32 nAddress, bool bBadCheck) const;
    // The address whose answer a read of nAddress gets.
    quint32 AnsweredAddress(quint32 nAddress, const SFault* pOther) const;
    QByteArray VersionsAnswer(quint16 wVersion, quint16 wBootVersion) const;
    QByteArray Respond(ERequest nRequest, const quint8* pFrame, quint32 nAddress,
                       const std::function<const SFault*(EFault)>& fires);
    bool SaveEeprom();

    CParamZT01 m_image;
    QString m_strEepromPath;
    quint16 m_wVersion = 0x1555;
    quint16 m_wBootVersion = 0x0008;
    quint16 m_wRefusalVersion = 0x1555;
    quint16 m_wRefusalBootVersion = 0x0008;
    QList<SFault> m_faults;
    QList<SFault> m_fired; // faults that fire on the current exchange
    int m_nExchanges = 0;
    bool m_bHangUp = false;
    bool m_bBare = false;
    SDelivery m_delivery;
};
