#include "cpage2.h"
#include "ccontrolid.h"

#include "cdialogbuilder.h"
#include "cdlgcalibrdac.h"
#include "cdlgchangesensor.h"
#include "cfailuretext.h"
#include "cmsgbox.h"
#include "cmyedit.h"
#include "cnumbertext.h"
#include "cparamrules.h"
#include "csettingstext.h"
#include "cstringtable.h"
#include "cztappdevice.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>

CPage2::CPage2(QWidget* pParent) : QDialog(pParent)
{
    // A child of the frame, not a window of its own (a dialog's constructor makes it one).
    setWindowFlags(Qt::Widget);
}

QWidget* CPage2::Control(int nId) const
{
    return findChild<QWidget*>(QString::number(nId));
}

void CPage2::OnInitDialog()
{
    CDialogBuilder::Build(131, this,
                          [](const CDialogBuilder::SControl& control, QWidget* pParent) -> QWidget* {
                              return control.strKind == QLatin1String("edit") ? new CMyEdit(pParent)
                                                                              : nullptr;
                          });
    m_wndSensor = findChild<QLabel*>(CControlId::Name(CControlId::kSensor));
    m_edLowLimit = findChild<CMyEdit*>(CControlId::Name(CControlId::kLowLimit));
    m_edHighLimit = findChild<CMyEdit*>(CControlId::Name(CControlId::kHighLimit));
    m_edFailOutput = findChild<CMyEdit*>(CControlId::Name(CControlId::kFailOutput));
    m_edPeakBand = findChild<CMyEdit*>(CControlId::Name(CControlId::kPeakBand));
    m_edFilterTime = findChild<CMyEdit*>(CControlId::Name(CControlId::kFilterTime));
    m_wndDacCalLow = findChild<QLabel*>(CControlId::Name(CControlId::kDacLow));
    m_wndDacCalHigh = findChild<QLabel*>(CControlId::Name(CControlId::kDacHigh));
    m_cbColdJunction = findChild<QComboBox*>(CControlId::Name(CControlId::kColdJunction));
    m_nStatusHeight = Control(CControlId::kStatus)->height();
    connect(findChild<QPushButton*>(CControlId::Name(CControlId::kChangeSensor)), &QPushButton::clicked, this,
            &CPage2::OnChangeSensor);
    connect(findChild<QPushButton*>(CControlId::Name(CControlId::kCalibrateDac)), &QPushButton::clicked, this,
            &CPage2::OnCalibrDAC);
    Fill();
}

bool CPage2::DoDataExchange(bool bSave)
{
    if (bSave)
        return Store();
    Fill();
    return true;
}

bool CPage2::Store()
{
    CMyEdit* const fields[] = {m_edLowLimit, m_edHighLimit, m_edFailOutput, m_edPeakBand, m_edFilterTime};
    float fValues[5];
    for (int i = 0; i < 5; ++i)
    {
        if (!CNumberText::ParseField(fields[i]->text(), fValues[i]))
        {
            CMsgBox::Show(this, CParamRules::NotANumberText(), CStringTable::Load(57344),
                          EMsgIcon::Exclamation);
            fields[i]->setFocus();
            fields[i]->selectAll();
            return false;
        }
    }
    m_fLowLimit = fValues[0];
    m_fHighLimit = fValues[1];
    m_fFailOutput = fValues[2];
    m_fPeakBand = fValues[3];
    m_fFilterTime = fValues[4];
    m_nColdJunction = m_cbColdJunction->currentIndex() > 0 ? 1 : 0;
    CParamZT01& edit = ZTApp().m_ParamEdit;
    edit.fLowLimit = m_fLowLimit;
    edit.fHighLimit = m_fHighLimit;
    edit.fFailOutput = m_fFailOutput;
    edit.fPeakBand = m_fPeakBand;
    edit.fFilterTime = m_fFilterTime;
    edit.byColdJunction = quint8(m_nColdJunction);
    return true;
}

void CPage2::Fill()
{
    CZTAppDevice& app = ZTApp();
    const CParamZT01& edit = app.m_ParamEdit;
    m_fLowLimit = edit.fLowLimit;
    m_fHighLimit = edit.fHighLimit;
    m_fFailOutput = edit.fFailOutput;
    m_fPeakBand = edit.fPeakBand;
    m_fFilterTime = edit.fFilterTime;
    m_fDacCalLow = edit.fDacCalLow;
    m_fDacCalHigh = edit.fDacCalHigh;
    m_nColdJunction = edit.byColdJunction > 1 ? 1 : edit.byColdJunction;

    const bool bCalibrated = !CParamZT01::IsUnset(edit.fDacCalLow) && !CParamZT01::IsUnset(edit.fDacCalHigh);
    for (int nId : {CControlId::kDacCaption, CControlId::kDacLow, CControlId::kDacHigh,
                    CControlId::kDacLowUnit, CControlId::kDacHighUnit})
        Control(nId)->setVisible(bCalibrated);

    app.m_nSensor = app.FindSensor(edit);
    if (app.m_nSensor < 0 || app.m_nSensor >= app.m_Sensors.size())
    {
        // Not the previous unit's sensor: what this unit names, which the catalogue lacks.
        m_strSensor = CSettingsText::UnknownSensor(edit);
        m_wndSensor->setText(m_strSensor);
        CMsgBox::Show(this, CParamRules::InvalidArgumentText(), CStringTable::Load(57344),
                      EMsgIcon::Exclamation);
        return;
    }
    const tagSTSENSORS& sensor = app.m_Sensors[app.m_nSensor];
    m_strSensorUnit = sensor.strUnit;
    m_strSensor = sensor.strName + QStringLiteral(" (") +
                  CNumberText::Printf(QStringLiteral("%.0f...%.0f"), sensor.fMin, sensor.fMax) + u' ' +
                  sensor.strUnit + u')';
    m_strOutUnit = CStringTable::Load(CParamZT01::OutRange(edit.byOutRange).nUnitId);

    m_edLowLimit->setText(CNumberText::Format(m_fLowLimit));
    m_edHighLimit->setText(CNumberText::Format(m_fHighLimit));
    m_edFailOutput->setText(CNumberText::Format(m_fFailOutput));
    m_edPeakBand->setText(CNumberText::Format(m_fPeakBand));
    m_edFilterTime->setText(CNumberText::Format(m_fFilterTime));
    m_wndDacCalLow->setText(CNumberText::Format(m_fDacCalLow));
    m_wndDacCalHigh->setText(CNumberText::Format(m_fDacCalHigh));
    m_cbColdJunction->setCurrentIndex(m_nColdJunction);
    for (int nId : {CControlId::kLowLimitUnit, CControlId::kHighLimitUnit, CControlId::kPeakBandUnit})
        static_cast<QLabel*>(Control(nId))->setText(m_strSensorUnit);
    for (int nId : {CControlId::kDacLowUnit, CControlId::kDacHighUnit})
        static_cast<QLabel*>(Control(nId))->setText(m_strOutUnit);
    m_wndSensor->setText(m_strSensor);
    ShowStatus();
}

void CPage2::ShowStatus()
{
    auto* pStatus = static_cast<QLabel*>(Control(CControlId::kStatus));
    const QString& strFile = ZTApp().m_strSensorMismatch;
    if (strFile.isEmpty())
    {
        // A long port path is shortened, never the versions; the tooltip holds the whole line.
        if (m_strStatusForm.isEmpty()) // not shown yet
        {
            pStatus->setText(m_strStatus);
            return;
        }
        const QFontMetrics metrics(pStatus->font());
        const int nRoom = pStatus->width() - metrics.horizontalAdvance(m_strStatusForm.arg(QString()));
        pStatus->setText(
            metrics.horizontalAdvance(m_strStatus) <= pStatus->width()
                ? m_strStatus
                : m_strStatusForm.arg(metrics.elidedText(m_strStatusPort, Qt::ElideMiddle, nRoom)));
        pStatus->setToolTip(m_strStatus);
        pStatus->setPalette(QPalette());
        pStatus->setWordWrap(false);
        pStatus->resize(pStatus->width(), m_nStatusHeight);
        return;
    }
    // The warning takes the line, in two rows above the sensor's; port and versions move to
    // the tooltip.
    QString strText = CFailureText::SensorMismatch(strFile);
    strText[0] = strText[0].toUpper();
    pStatus->setText(strText);
    pStatus->setToolTip(m_strStatus);
    // A palette, not a style sheet: a style sheet would give the label the application's font.
    QPalette palette = pStatus->palette();
    palette.setColor(QPalette::WindowText, QColor(0xb0, 0x00, 0x00));
    pStatus->setPalette(palette);
    pStatus->setWordWrap(true);
    pStatus->resize(pStatus->width(), qMax(m_nStatusHeight, pStatus->heightForWidth(pStatus->width())));
}

bool CPage2::ValidateParams()
{
    CZTAppDevice& app = ZTApp();
    const bool bKnown = app.m_nSensor >= 0 && app.m_nSensor < app.m_Sensors.size();
    const CParamRules::SVerdict verdict = CParamRules::Validate(
        {m_fLowLimit, m_fHighLimit, m_fFailOutput, m_fPeakBand, m_fFilterTime},
        bKnown ? &app.m_Sensors[app.m_nSensor] : nullptr, app.m_fMaxFilterTime, app.m_fMaxBandPercent);
    ShowVerdict(verdict);
    return verdict.bOk;
}

void CPage2::ShowVerdict(const CParamRules::SVerdict& verdict)
{
    if (!verdict.strText.isEmpty())
        CMsgBox::Show(this, verdict.strText, verdict.strCaption, verdict.nIcon);
    if (verdict.bBandCleared)
    {
        m_fPeakBand = 0;
        ZTApp().m_ParamEdit.fPeakBand = 0;
        m_edPeakBand->setText(QStringLiteral("0"));
    }
    if (!verdict.bOk && verdict.nField != CParamRules::kNoField)
        Control(verdict.nField)->setFocus();
}

void CPage2::OnChangeSensor()
{
    Store();
    CDlgChangeSensor dlg(window());
    if (CMsgBox::Exec(dlg) == QDialog::Accepted)
        ZTApp().LoadSensorImage(dlg.m_nSelected);
}

void CPage2::OnCalibrDAC()
{
    Store();
    CDlgCalibrDAC dlg(window());
    if (CMsgBox::Exec(dlg) != QDialog::Accepted)
        return;
    ZTApp().m_ParamEdit.fDacCalLow = dlg.m_fCalLow;
    ZTApp().m_ParamEdit.fDacCalHigh = dlg.m_fCalHigh;
    Fill();
}

void CPage2::showEvent(QShowEvent* pEvent)
{
    QDialog::showEvent(pEvent);
    if (pEvent->spontaneous())
        return; // reappearing with a restored parent
    Store();
    const CZTAppDevice& app = ZTApp();
    // The line with a place for the port, so that a long one can be shortened in it.
    m_strStatusForm = QString::asprintf(CStringTable::Load(138).toUtf8().constData(), "%1",
                                        unsigned(app.m_wVersion), unsigned(app.m_wBootVersion));
    m_strStatusPort = app.m_Port.GetPortName();
    m_strStatus = m_strStatusForm.arg(m_strStatusPort);
    Fill();
}

void CPage2::keyPressEvent(QKeyEvent* pEvent)
{
    if (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter)
    {
        pEvent->accept();
        return;
    }
    QDialog::keyPressEvent(pEvent);
}

void CPage2::reject()
{
    window()->setFocus();
}

void CPage2::contextMenuEvent(QContextMenuEvent* pEvent)
{
    pEvent->ignore();
}
