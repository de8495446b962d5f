#pragma once

#include "cfailure.h"
#include "cserialport.h"
#include "cztappconfig.h"

class CImageBackup;

// The device link's part of the application object: the port, the device's versions and the
// three transactions. In demonstration mode the image transactions work on DemoImagePath().
class CZTAppDevice : public CZTAppConfig
{
    static inline int s_nDemoStepMs = 32;

public:
    CZTAppDevice();
    ~CZTAppDevice() override;

    // Reads the device version and the boot-loader version into m_wVersion, m_wBootVersion.
    bool ReadVersions();
    // Reads the device's 512 bytes into destination, block by block; on success m_ParamEdit
    // becomes a copy of m_ParamDevice and the parameters page shows it, unless bCheck (the
    // read-back of a write, which leaves both as they are).
    bool ReadImage(CParamZT01& destination, bool bCheck = false);
    // Reads only the given blocks (by index) into destination, leaving the others as they are.
    bool ReadBlocks(CParamZT01& destination, const QList<int>& blocks, bool bCheck = false);
    // Writes source into the device after the parameters page has stored its values: every
    // block, or where pBlocks is given only those (by index).
    bool WriteImage(const CParamZT01& source, const QList<int>* pBlocks = nullptr);
    bool DemoReadImage();
    bool DemoWriteImage();
    // ImgEEPROM/demo.dat in the data folder, or, when that folder is the installed one or not
    // writable, the user's copy of it (made at first use).
    QString DemoImagePath() const;
    // Saves the image the device holds now (demo.dat in demonstration mode) as a new backup;
    // every write is preceded by one.
    bool SaveBackup(CImageBackup& backup);
    // The demonstration transfer's wait a block for application objects made from now on: 32 ms
    // imitate the line; tests take 0 so as not to sleep through it.
    static void SetDemoPacing(int nStepMs) { s_nDemoStepMs = nStepMs; }
    // The image the device holds now: m_ParamDevice as last read, or in demonstration mode
    // demo.dat as it is.
    bool HeldImage(CParamZT01& image);

    CSerialPort m_Port;
    CFailure m_Failure;                // why the last transaction failed
    int m_nLastAcknowledged = -1;      // the last block address the last write had acknowledged
    quint16 m_wVersion = 0;            // device version; seed B of the check words
    quint16 m_wBootVersion = 0;        // boot-loader version; seed A of the check words
    bool m_bConnected = false;         // a device has been connected and read
    bool m_bImageNamed = false;        // every answer of the last image read named its block
    bool m_bLastReadNamed = false;     // the same of the last blocks read
    QString m_strUnitPort;             // the port of the last connect; kept through failed opens
    int m_nDemoStepMs = s_nDemoStepMs; // the demonstration transfer's wait a block

private:
    // Takes the versions of a refused write and says so.
    void OnRefusal();
    // Replaces the demonstration image with m_ParamEdit once the simulated transfer is done.
    bool DemoSave(const QString& strPath, CProgress& progress);
};

// The one application object.
CZTAppDevice& ZTApp();
