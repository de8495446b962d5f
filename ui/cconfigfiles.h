#pragma once

#include <QString>

#include <functional>

class CPage2;
class CWriteJournal;
class QWidget;

// The wizard's configuration files: the parameters page's settings saved to an image file as
// zint9 read --out writes one (all or nothing, never over a FIFO or a device), and taken from one
// as zint9 write --in takes it (the sensor block and the settings, never the device block or the
// DAC calibration), with the same checks. Nothing reaches the unit until «Записать».
class CConfigFiles
{
public:
    CConfigFiles(QWidget& owner, CPage2& page, CWriteJournal* pJournal);
    // Asks for a file, starting in the last folder used; false when nothing was saved or loaded.
    bool Save();
    bool Load();
    // The work itself, for a file already chosen.
    bool SaveTo(const QString& strPath);
    bool LoadFrom(const QString& strPath);

    static constexpr const char* kFilter = "Образ EEPROM (*.bin *.dat)";
    // Chooses the file instead of the file dialog where set (tests).
    static std::function<QString(bool bSave)> s_pfnChoose;

private:
    // The file chosen, or empty; its folder is remembered.
    QString Choose(bool bSave);
    void Warn(const QString& strText);

    QWidget& m_owner;
    CPage2& m_page;
    CWriteJournal* m_pJournal;
};
