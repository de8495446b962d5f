#pragma once

#include <QString>
#include <QtGlobal>

// One entry of the sensor catalogue; its index in the catalogue is the sensor index used everywhere.
struct tagSTSENSORS
{
    QString strName;     // shown in the selection list and on the parameters page
    QString strFileName; // sensor image file inside ImgEEPROM/
    quint8 byType = 0;   // equals image byte 95
    quint8 byCode = 0;   // equals image byte 96
    QString strUnit;     // unit of the conversion limits and the peak-filter band
    float fMin = 0;      // lowest allowed conversion limit
    float fMax = 0;      // highest allowed conversion limit
};
