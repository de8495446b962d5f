#pragma once

#include <QString>
#include <QtGlobal>

class CParamZT01;

// Backups of device images taken before a write: one new file for each, never replacing another,
// so that no device's factory data is lost whichever front end wrote it. All are kept.
class CImageBackup
{
public:
    // The per-user application data folder's "backups".
    static QString DefaultFolder();

    explicit CImageBackup(const QString& strFolder = DefaultFolder());
    // Saves image as zint9-DATE-TIME-vVERSION.bin, with a counter when that name is taken.
    bool Save(const CParamZT01& image, quint16 wVersion);

    QString m_strFolder;
    QString m_strPath;      // the file the last successful save made
    QString m_strLastError; // why the last save failed
};
