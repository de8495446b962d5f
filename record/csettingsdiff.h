#pragma once

#include "cparamzt01.h"

#include <QList>
#include <QString>

class CZTAppConfig;

// What differs between two images: the settings by their names as the wizard shows them, and
// the count of the other bytes that differ in each part of the image.
class CSettingsDiff
{
public:
    struct SRow
    {
        QString strName;
        QString strA;
        QString strB;
    };

    CSettingsDiff(const CZTAppConfig& app, const CParamZT01& a, const CParamZT01& b);

    // Every byte is the same.
    bool IsEqual() const { return m_bEqual; }
    // The changed settings on one line, "name: a → b; …", as the history shows them.
    QString Summary() const;

    QList<SRow> m_rows;
    // Bytes outside the settings above that differ: the device block, the sensor block, the rest.
    int m_nDevice = 0, m_nSensor = 0, m_nRest = 0;

private:
    bool m_bEqual = true;
};
