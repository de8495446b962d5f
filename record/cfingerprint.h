#pragma once

#include <QByteArray>
#include <QString>

class CParamZT01;

// A unit's identity: the SHA-256 of its device block (bytes 0-79, 120-127 and 140-141 in
// address order), which nothing but the device itself changes. An erased block (all 0x00 or all
// 0xFF) identifies nothing. The versions are not part of it, so a firmware update keeps a unit's
// history whole.
class CFingerprint
{
public:
    // The 64 hex digits, lower case; empty for an erased block.
    static QString Of(const CParamZT01& image);
    // The first 12 digits, as a unit is shown; "не определён" for none.
    static QString Short(const QString& strFingerprint);
    // The SHA-256 of a whole image in hex, the key under which the record stores it.
    static QString ImageHash(const CParamZT01& image);
    // The SHA-256 in hex of what a write configures: the sensor block, the failure output and the
    // filter time, in address order. Units given the same settings share it, whatever their
    // device blocks, DAC calibrations and output stages.
    static QString SettingsHash(const CParamZT01& image);
    // Why bytes cannot be the image the record keeps under strHash; empty when they are. An
    // image that fails its key is never stored, and never written into a unit.
    static QString ImageFault(const QString& strHash, const QByteArray& bytes);
};
