#pragma once

#include <QDialog>

class QComboBox;

// Lists the sensor catalogue with the current sensor selected.
class CDlgChangeSensor : public QDialog
{
    Q_OBJECT

public:
    explicit CDlgChangeSensor(QWidget* pParent = nullptr);
    void accept() override;

    QComboBox* m_cbSensor = nullptr;
    int m_nSelected = 0; // -1 when nothing is selected
};
