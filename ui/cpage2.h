#pragma once

#include "cparamrules.h"

#include <QDialog>

class CMyEdit;
class QComboBox;
class QLabel;
class QPushButton;

// The parameters page: shows the working record's settings, stores and checks them, and opens
// the sensor selection and the DAC calibration dialogs.
class CPage2 : public QDialog
{
    Q_OBJECT

public:
    explicit CPage2(QWidget* pParent = nullptr);

    // Stores the controls into m_ParamEdit (bSave; false after telling the user when a field
    // holds no number) or fills them from it.
    bool DoDataExchange(bool bSave);
    void OnInitDialog();
    // Checks the stored values; false after showing what is wrong, the focus in that field.
    bool ValidateParams();
    // Shows what the checks said, puts the focus in the refused field, shows a band switched off.
    void ShowVerdict(const CParamRules::SVerdict& verdict);
    void OnChangeSensor();
    void OnCalibrDAC();

    QLabel* m_wndSensor = nullptr;
    CMyEdit* m_edLowLimit = nullptr;
    CMyEdit* m_edHighLimit = nullptr;
    CMyEdit* m_edFailOutput = nullptr;
    CMyEdit* m_edPeakBand = nullptr;
    CMyEdit* m_edFilterTime = nullptr;
    QLabel* m_wndDacCalLow = nullptr;
    QLabel* m_wndDacCalHigh = nullptr;
    QComboBox* m_cbColdJunction = nullptr;

    float m_fLowLimit = 0;
    float m_fHighLimit = 0;
    float m_fFailOutput = 0;
    float m_fPeakBand = 0;
    float m_fFilterTime = 0;
    float m_fDacCalLow = 0;
    float m_fDacCalHigh = 0;
    int m_nColdJunction = 0;
    QString m_strSensor;
    QString m_strSensorUnit;
    QString m_strOutUnit;
    QString m_strStatus;
    QString m_strStatusForm; // the status line with %1 for the port
    QString m_strStatusPort;
    int m_nStatusHeight = 0; // the status line's height in the template

protected:
    void showEvent(QShowEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void reject() override;
    // Right-clicks go on to the frame, whose menu holds the about entry.
    void contextMenuEvent(QContextMenuEvent* pEvent) override;

private:
    bool Store();
    void Fill();
    // The port and versions, or a warning that the sensor data are not their sensor file's.
    void ShowStatus();
    QWidget* Control(int nId) const;
};
