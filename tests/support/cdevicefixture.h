#pragma once

#include "csimulator.h"
#include "ctestfolder.h"
#include "cztappdevice.h"

#include <QStringList>

// An application object in a test folder, with a simulated device on a pseudo-terminal. It
// records the messages shown and the progress reported, and stands in for the parameters page.
class CDeviceFixture
{
public:
    struct SMessage
    {
        QString strText;
        QString strCaption;
        EMsgIcon nIcon;
    };

    CDeviceFixture();
    // Opens the simulator's port; false with the port's error text when it fails.
    bool Connect();
    CSimDevice::SFault Fault(CSimDevice::EFault nKind, int nBlock = -1, int nCount = 1,
                             CSimDevice::ERequest nOn = CSimDevice::ERequest::Any, int nFrom = 0) const;
    void AddFault(const CSimDevice::SFault& fault);
    CParamZT01 DeviceImage();
    void SetDeviceImage(const CParamZT01& image);
    int Exchanges();

    CTestFolder m_folder;
    CZTAppDevice m_app;
    CSimulator m_sim;
    QList<SMessage> m_messages;
    QStringList m_progress; // "text …", "range 0 64", "pos 10", "step", "closed"
    int m_nPageStores = 0;  // store requests the stand-in page answered
    int m_nPageFills = 0;
    bool m_bPageAccepts = true;
};
