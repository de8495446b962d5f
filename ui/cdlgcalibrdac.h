#pragma once

#include "cparamrules.h"

#include <QDialog>

class CMyEdit;
class QLineEdit;

// Edits the two DAC calibrations within the ranges of the output range.
class CDlgCalibrDAC : public QDialog
{
    Q_OBJECT

public:
    explicit CDlgCalibrDAC(QWidget* pParent = nullptr);
    // Reads and checks both values; the dialog ends only when both are in range.
    void accept() override;

    CMyEdit* m_edCalLow = nullptr;
    CMyEdit* m_edCalHigh = nullptr;
    float m_fCalLow = 0;
    float m_fCalHigh = 0;
    float m_fLowLimit = 0;
    float m_fHighLimit = 0;
    QString m_strSensorUnit;
    QString m_strOutUnit;
    CParamRules::SRange m_rangeLow{0, 0};
    CParamRules::SRange m_rangeHigh{0, 0};
    float m_fOutLow = 0;
    float m_fOutHigh = 0;

private:
    void FillControls();
    bool ReadField(CMyEdit* pEdit, float& fValue, const CParamRules::SRange& range, int nField);
};
