#pragma once

#include "cfailure.h"

#include <QString>

// A failure in the words both front ends show: the command line after «Причина: », the wizard
// in its message box's details.
class CFailureText
{
public:
    // "запись, блок 0x0140: нет ответа, получено 0 из 1 байт"
    static QString Describe(const CFailure& failure);
    static QString Step(CFailure::EStep nStep);
    // The number of the message of old that both front ends show for a failed transaction:
    // 153 opening the port, 154 the versions, 155 reading the image (or reading it back), 156
    // writing it; 0 for a failure that has words of its own (the values, a file, the backup).
    static int MessageId(const CFailure& failure);
    // The step as the record and the JSON outputs name it: open, versions, read, backup, write,
    // verify, values; empty for none.
    static QString StepKey(CFailure::EStep nStep);
    // The words of a step the record names by its key; an unknown key as it stands.
    static QString StepOfKey(const QString& strKey);
    static QString Reason(const CFailure& failure);
    // The reason as the record keeps it for queries, the same in every language: timeout,
    // check-word, refused, port-lost, mismatch, …; empty for none.
    static QString ReasonKey(CFailure::EReason nReason);
    // What a torn write left, and the way back: strBackup is the image it held before,
    // strRestore the command that puts it back, as it can be pasted.
    static QString Torn(const QString& strBackup, const QString& strRestore);
    // The same for the wizard, whose way back is its unit's history window.
    static QString TornInWizard(const QString& strBackup);
    // The wizard's message for a write whose read-back differs: the address and the bytes.
    static QString MismatchInWizard(const CFailure& failure);
    // "данные датчика не совпадают с файлом TcplK.dat: возможно, запись была прервана"
    static QString SensorMismatch(const QString& strFile);
};
