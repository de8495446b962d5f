#include "cdevicefixture.h"

#include <QTest>

namespace
{
class CRecordingProgress : public CProgress
{
public:
    explicit CRecordingProgress(QStringList& log) : m_log(log) {}
    ~CRecordingProgress() override { m_log << QStringLiteral("closed"); }
    void SetText(const QString& strText) override { m_log << QStringLiteral("text ") + strText; }
    void SetRange(int nMin, int nMax) override { m_log << QStringLiteral("range %1 %2").arg(nMin).arg(nMax); }
    void SetStep(int nStep) override { m_log << QStringLiteral("stepsize %1").arg(nStep); }
    void SetPos(int nPos) override { m_log << QStringLiteral("pos %1").arg(nPos); }
    void StepIt() override { m_log << QStringLiteral("step"); }

private:
    QStringList& m_log;
};
} // namespace

CDeviceFixture::CDeviceFixture()
{
    m_app.m_strAppDir = m_folder.Path();
    m_app.SetDefaultSensors();
    m_app.m_Hooks.m_pfnMessage = [this](const QString& strText, const QString& strCaption, EMsgIcon nIcon) {
        m_messages.append({strText, strCaption, nIcon});
    };
    m_app.m_Hooks.m_pfnCreateProgress = [this] { return std::make_unique<CRecordingProgress>(m_progress); };
    m_app.m_Hooks.m_pfnPageExchange = [this](bool bSave)
    {
        (bSave ? m_nPageStores : m_nPageFills)++;
        return !bSave || m_bPageAccepts;
    };
    if (!m_sim.Start())
        qWarning("simulator: %s", qPrintable(m_sim.m_strError));
}

bool CDeviceFixture::Connect()
{
    if (!m_app.m_Port.Open(m_sim.SlavePath()))
    {
        qWarning("open: %s", qPrintable(m_app.m_Port.m_strError));
        return false;
    }
    return true;
}

CSimDevice::SFault CDeviceFixture::Fault(CSimDevice::EFault nKind, int nBlock, int nCount,
                                         CSimDevice::ERequest nOn, int nFrom) const
{
    CSimDevice::SFault fault;
    fault.nKind = nKind;
    fault.nBlock = nBlock;
    fault.nCount = nCount;
    fault.nOn = nOn;
    fault.nFromExchange = nFrom;
    return fault;
}

void CDeviceFixture::AddFault(const CSimDevice::SFault& fault)
{
    m_sim.WithDevice([&](CSimDevice& device) { device.AddFault(fault); });
}

CParamZT01 CDeviceFixture::DeviceImage()
{
    return m_sim.WithDevice([](CSimDevice& device) { return device.Image(); });
}

void CDeviceFixture::SetDeviceImage(const CParamZT01& image)
{
    m_sim.WithDevice([&](CSimDevice& device) { device.SetImage(image); });
}

int CDeviceFixture::Exchanges()
{
    return m_sim.WithDevice([](CSimDevice& device) { return device.Exchanges(); });
}
