#include "cdlgchangesensor.h"
#include "ccontrolid.h"

#include "cdialogbuilder.h"
#include "cztappdevice.h"

#include <QComboBox>
#include <QPushButton>

CDlgChangeSensor::CDlgChangeSensor(QWidget* pParent) : QDialog(pParent)
{
    CDialogBuilder::Build(133, this);
    m_cbSensor = findChild<QComboBox*>(CControlId::Name(CControlId::kSensorList));
    connect(findChild<QPushButton*>(CControlId::Name(CControlId::kOk)), &QPushButton::clicked, this,
            &QDialog::accept);
    connect(findChild<QPushButton*>(CControlId::Name(CControlId::kCancel)), &QPushButton::clicked, this,
            &QDialog::reject);
    const CZTAppDevice& app = ZTApp();
    for (const tagSTSENSORS& sensor : app.m_Sensors)
        m_cbSensor->addItem(sensor.strName);
    m_cbSensor->setCurrentIndex(app.m_nSensor < m_cbSensor->count() ? app.m_nSensor : -1);
    m_cbSensor->setFocus();
}

void CDlgChangeSensor::accept()
{
    m_nSelected = m_cbSensor->currentIndex();
    QDialog::accept();
}
