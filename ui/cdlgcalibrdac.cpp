#include "cdlgcalibrdac.h"
#include "ccontrolid.h"

#include "cdialogbuilder.h"
#include "cmsgbox.h"
#include "cmyedit.h"
#include "cnumbertext.h"
#include "cstringtable.h"
#include "cztappdevice.h"

#include <QLabel>
#include <QPushButton>

CDlgCalibrDAC::CDlgCalibrDAC(QWidget* pParent) : QDialog(pParent)
{
    CDialogBuilder::Build(134, this,
                          [](const CDialogBuilder::SControl& control, QWidget* pParent) -> QWidget*
                          {
                              const bool bNumeric = control.strKind == QLatin1String("edit") &&
                                                    !control.styles.contains("readonly");
                              return bNumeric ? new CMyEdit(pParent) : nullptr;
                          });
    m_edCalLow = findChild<CMyEdit*>(CControlId::Name(CControlId::kDacLow));
    m_edCalHigh = findChild<CMyEdit*>(CControlId::Name(CControlId::kDacHigh));
    connect(findChild<QPushButton*>(CControlId::Name(CControlId::kOk)), &QPushButton::clicked, this,
            &QDialog::accept);
    connect(findChild<QPushButton*>(CControlId::Name(CControlId::kCancel)), &QPushButton::clicked, this,
            &QDialog::reject);
    FillControls(); // the construction values first, as the dialog's own initialisation does
    // "Отмена" comes first in the tab order and has the focus, however the initialisation ends.
    findChild<QPushButton*>(CControlId::Name(CControlId::kCancel))->setFocus();

    const CZTAppDevice& app = ZTApp();
    const CParamZT01& edit = app.m_ParamEdit;
    m_fCalLow = edit.fDacCalLow;
    m_fCalHigh = edit.fDacCalHigh;
    const CParamZT01::SOutRange& range = CParamZT01::OutRange(edit.byOutRange);
    if (CParamZT01::IsUnset(m_fCalLow) || CParamZT01::IsUnset(m_fCalHigh))
    {
        m_fCalLow = range.fLow;
        m_fCalHigh = range.fHigh;
    }
    m_fOutLow = range.fLow;
    m_fOutHigh = range.fHigh;
    m_strOutUnit = CStringTable::Load(range.nUnitId);
    m_rangeLow = CParamRules::DacLowRange(edit.byOutRange);
    m_rangeHigh = CParamRules::DacHighRange(edit.byOutRange);
    m_fLowLimit = edit.fLowLimit;
    m_fHighLimit = edit.fHighLimit;
    if (app.m_nSensor < 0 || app.m_nSensor >= app.m_Sensors.size())
    {
        CMsgBox::Show(this, CParamRules::InvalidArgumentText(), CStringTable::Load(57344), EMsgIcon::Stop);
        return;
    }
    m_strSensorUnit = app.m_Sensors[app.m_nSensor].strUnit;
    FillControls();
}

void CDlgCalibrDAC::FillControls()
{
    m_edCalLow->setText(CNumberText::Format(m_fCalLow));
    m_edCalHigh->setText(CNumberText::Format(m_fCalHigh));
    findChild<QLineEdit*>(CControlId::Name(CControlId::kDacDialogLowLimit))
        ->setText(CNumberText::Format(m_fLowLimit));
    findChild<QLineEdit*>(CControlId::Name(CControlId::kDacDialogHighLimit))
        ->setText(CNumberText::Format(m_fHighLimit));
    for (int nId : {CControlId::kDacDialogLowUnit, CControlId::kDacDialogHighUnit})
        findChild<QLabel*>(CControlId::Name(nId))->setText(m_strSensorUnit);
    for (int nId : {CControlId::kDacDialogDacLowUnit, CControlId::kDacDialogDacHighUnit})
        findChild<QLabel*>(CControlId::Name(nId))->setText(m_strOutUnit);
}

bool CDlgCalibrDAC::ReadField(CMyEdit* pEdit, float& fValue, const CParamRules::SRange& range, int nField)
{
    float fRead = 0;
    if (!CNumberText::ParseField(pEdit->text(), fRead))
    {
        CMsgBox::Show(this, CParamRules::NotANumberText(), CStringTable::Load(57344), EMsgIcon::Exclamation);
        pEdit->setFocus();
        pEdit->selectAll();
        return false;
    }
    fValue = fRead;
    const CParamRules::SVerdict verdict = CParamRules::CheckDac(fValue, range, nField);
    if (!verdict.bOk)
    {
        CMsgBox::Show(this, verdict.strText, verdict.strCaption, verdict.nIcon);
        pEdit->setFocus();
        pEdit->selectAll();
        return false;
    }
    return true;
}

void CDlgCalibrDAC::accept()
{
    if (ReadField(m_edCalLow, m_fCalLow, m_rangeLow, CParamRules::kDacLow) &&
        ReadField(m_edCalHigh, m_fCalHigh, m_rangeHigh, CParamRules::kDacHigh))
        QDialog::accept();
}
