#pragma once

#include <QString>

class CRecordStore;

// What the record knows of a unit or an image beyond its entries: whether a torn write may have
// left it partial, and which device version held it.
class CRecordFacts
{
public:
    // True when the unit's last write or restore may have left it holding a partial image.
    static bool IsPartialUnit(CRecordStore& store, const QString& strFingerprint, bool& bPartial);
    // True when the record knows the image as one a torn write left behind, and no whole write
    // or restore of it since.
    static bool IsPartialImage(CRecordStore& store, const QString& strHash, bool& bPartial);
    // The device version of the latest unit seen holding the image (read from it, or backed up
    // before a write into it); -1 when the record knows none.
    static bool ImageVersion(CRecordStore& store, const QString& strHash, int& nVersion);
};
