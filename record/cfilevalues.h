#pragma once

#include <QString>

class CParamZT01;
class CZTAppConfig;

// What an image file gives a write (the sensor and its settings), judged before the checks of
// the values: a field that holds no number, or a sensor the catalogue lacks, named with the file,
// where the checks alone would only say «Please enter a number.».
class CFileValues
{
public:
    // Empty when every value the write takes from the file is usable.
    static QString Fault(const CZTAppConfig& app, const CParamZT01& image, const QString& strFile);
};
