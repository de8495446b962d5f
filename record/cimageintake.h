#pragma once

#include <QString>

class CParamZT01;
class CWriteJournal;
class CZTAppConfig;

// What an image file gives a unit's working image, the same for zint9 write --in and the
// wizard's «Загрузить настройки из файла...»: the sensor block (with the limits, cold junction
// and band) and the two settings outside it; never the device block, nor the DAC calibration,
// which belongs to the unit's own output stage. Judged before it is taken.
class CImageIntake
{
public:
    struct SVerdict
    {
        QString strFault;      // a value that holds no number, an unknown sensor: never taken
        bool bPartial = false; // the record knows it from a cut write
        QString strTable;      // its sensor table is not its sensor's: the mismatch in words
        int nOrigin = -1;      // the device version of the unit it was read from; -1: not known
        // Taken only with a user's leave (--force, a question): a cut write's or a torn table.
        bool IsTorn() const { return bPartial || !strTable.isEmpty(); }
    };

    static SVerdict Judge(CZTAppConfig& app, CWriteJournal* pJournal, const CParamZT01& source,
                          const QString& strPath);
    // The file's part, into the working image.
    static void Apply(CParamZT01& edit, const CParamZT01& source);
};
