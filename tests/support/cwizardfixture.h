#pragma once

#include "cdevicefixture.h"
#include "cmsgbox.h"
#include "cztdlg.h"

#include <QPushButton>
#include <QSettings>

#include <functional>
#include <memory>

// The wizard over a simulated device: the port list holds the simulator's port (and the given
// extra names), message boxes and questions are recorded and answered, dialogs are answered
// by a script.
class CWizardFixture : public CDeviceFixture
{
public:
    explicit CWizardFixture(const QStringList& extraPorts = {}, const QString& strRemembered = QString());
    ~CWizardFixture();

    QPushButton* Button(int nId) const;
    template <typename T>
    T* Control(QWidget* pParent, int nId) const
    {
        return pParent->findChild<T*>(QString::number(nId));
    }
    QStringList Texts() const;

    QStringList m_ports;
    QList<CSerialPort::SPortInfo> m_portDetails; // listed too, with what the system knows of them
    QList<CMsgBox::SRecord> m_shown;
    std::function<int(QDialog&)> m_pfnDialog; // answers the next dialogs; Rejected when empty
    int m_nAnswer = -1; // the next questions' answer (a button's index); -1 for the last button
    std::unique_ptr<CZTDlg> m_pDlg;

private:
    QByteArray m_savedRecord; // ZINT9_RECORD as it was before the fixture
};
