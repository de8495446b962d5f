#pragma once

#include "cparamzt01.h"
#include "cuihooks.h"
#include "tagstsensors.h"

#include <QList>
#include <QString>

// The configuration data of the application object: the program folder, the sensor catalogue,
// the two parameter records and the current sensor. The device layer and the start-up layer
// build on it (CZTAppDevice, CZTApp); the whole program has one instance.
class CZTAppConfig
{
public:
    CZTAppConfig() = default;
    virtual ~CZTAppConfig() = default;
    CZTAppConfig(const CZTAppConfig&) = delete;
    CZTAppConfig& operator=(const CZTAppConfig&) = delete;

    // Reads Sensors.dat beside the program. On any fault shows message 139 with the file's path,
    // takes the built-in table and returns false.
    bool LoadSensorCatalogue();
    // The five built-in sensors; the two limits keep their values.
    void SetDefaultSensors();
    // Index of the first catalogue entry whose codes equal image bytes 95 and 96, or -1.
    int FindSensor(CParamZT01 image) const;
    // The catalogue index of a sensor given by index, name or image file name; -1 when none.
    int SensorIndex(const QString& strSensor) const;
    // Copies the device block of m_ParamDevice into m_ParamEdit.
    void RestoreDeviceData();
    // Takes the sensor block of the chosen sensor's image file into m_ParamEdit.
    bool LoadSensorImage(int nSensor);

    // The file name of the image's sensor when the image's sensor data differ from that file's (a
    // write torn between the early blocks that name the sensor and the late ones that hold its
    // table); empty when they agree or when the sensor or its file is unknown.
    QString SensorFileMismatch(const CParamZT01& image);
    // Takes the sensor data of m_ParamEdit's sensor from its file, keeping the user's settings;
    // false when the sensor or its file is unknown.
    bool ReloadSensorData();

    // Reads the first 512 bytes of an image file, opened exclusively; false (with the reason in
    // m_strLastError) when it cannot be opened or is shorter than an image.
    bool ReadImageFile(const QString& strPath, CParamZT01& image);
    // Takes the data folder for a program in strProgramDir: the program's own folder when
    // Sensors.dat is there (a portable build), else the installed share folder when it exists.
    void SetDataDir(const QString& strProgramDir);
    // Path of a file or folder in the data folder.
    QString AppPath(const QString& strName) const;
    // The front end's services; harmless when the front end installed none.
    void ShowMessage(const QString& strText, const QString& strCaption, EMsgIcon nIcon) const;
    std::unique_ptr<CProgress> CreateProgress() const;
    // From here until EndSharedProgress every operation reports into one display: a write and
    // its read-back show as one window, which keeps the frame disabled between them.
    void BeginSharedProgress();
    void EndSharedProgress() { m_pSharedProgress.reset(); }

    // The sensor file that the working image's sensor data, as last read, disagree with; empty
    // when none, or once the sensor has been loaded from its file.
    QString m_strSensorMismatch;
    QString m_strAppDir;           // data folder (the program's, or the installed one), no trailing separator
    bool m_bInstalledData = false; // m_strAppDir is the installed share folder, not the user's to change
    float m_fMaxFilterTime = 60;   // upper bound of the low-pass filter time constant, s
    float m_fMaxBandPercent = 15;  // upper bound of the peak-filter band, % of the span
    CParamZT01 m_ParamEdit;        // working image: edited by the pages, sent by the write
    CParamZT01 m_ParamDevice;      // image as last read from the device
    int m_nSensors = 5;            // entries that Sensors.dat declares
    int m_nSensor = 0;             // catalogue index of m_ParamEdit's sensor, -1 if none
    QList<tagSTSENSORS> m_Sensors; // the sensor catalogue
    QString m_strLastError;        // detail of the last failed file operation, for front ends
    CUiHooks m_Hooks;

private:
    std::unique_ptr<CProgress> m_pSharedProgress;

    // The catalogue's file of sensor nSensor, read from ImgEEPROM/; false when unknown or unusable.
    bool ReadSensorFile(int nSensor, CParamZT01& image);
};
