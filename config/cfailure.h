#pragma once

#include <QString>

// Why an operation failed, recorded where it failed: the step, the block address where one
// applies, and the reason with what the reason needs (bytes received, versions of a refusal,
// the system's message of a file error). Front ends turn it into words (CFailureText).
class CFailure
{
public:
    enum class EStep
    {
        None,     // nothing failed
        Values,   // the checks refused the values; nothing was touched
        Open,     // opening the port
        Versions, // the versions request
        Read,     // reading the image
        Backup,   // saving the backup before the write
        Write,    // writing the image
        Verify,   // reading the image back and comparing it
        File,     // an image file of the command line
    };
    enum class EReason
    {
        None,
        TimeOut,     // m_nReceived of m_nExpected bytes arrived in time
        CheckWord,   // the answer's check words do not fold to zero
        WrongBlock,  // the answer names another address than the request (m_nAnswerAddress)
        Refused,     // the device refused the block; m_wVersion and m_wBootVersion are its answer's
        PortLost,    // the port went away (adapter unplugged)
        NotSent,     // the request could not be sent in time
        PortOpen,    // the port could not be opened; m_strDetail says why where that is known
        File,        // a file could not be read or written; m_strPath, m_strDetail the system's words
        Mismatch,    // read back, m_nAddress holds m_byHave instead of m_byWant
        Rules,       // the checks refused a value; m_strDetail is their message
        PageRefused, // the parameters page did not give its values
        OtherUnit,   // the port, opened again, leads to a unit with another device block
        EchoOnly,    // only the request came back (an adapter's echo, a loopback plug): no unit answered
        DeviceBlockDiffers, // read again before a write, the device block is not the one read first
    };

    bool IsSet() const { return m_nStep != EStep::None; }
    void Clear() { *this = CFailure(); }

    // Shorthands for the places that record one.
    static CFailure At(EStep nStep, EReason nReason, int nAddress = -1)
    {
        CFailure failure;
        failure.m_nStep = nStep;
        failure.m_nReason = nReason;
        failure.m_nAddress = nAddress;
        return failure;
    }
    static CFailure FileError(EStep nStep, const QString& strPath, const QString& strDetail)
    {
        CFailure failure = At(nStep, EReason::File);
        failure.m_strPath = strPath;
        failure.m_strDetail = strDetail;
        return failure;
    }

    EStep m_nStep = EStep::None;
    EReason m_nReason = EReason::None;
    int m_nAddress = -1;       // the block (or byte, for a mismatch) where it failed; -1 for none
    int m_nReceived = 0;       // a time-out: bytes that arrived
    int m_nExpected = 0;       // a time-out: bytes expected
    int m_nAnswerAddress = -1; // a wrong block: the address the answer named
    quint16 m_wVersion = 0;    // a refusal: the versions the device sent with it
    quint16 m_wBootVersion = 0;
    quint8 m_byHave = 0; // a mismatch: the byte read back
    quint8 m_byWant = 0; // a mismatch: the byte written
    QString m_strPath;   // a file error: the file
    QString m_strDetail; // the system's or the checks' own words, as they come
};
