#include "cprogressdlg.h"
#include "ccontrolid.h"

#include "cdialogbuilder.h"
#include "cstringtable.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>

CProgressDlg::CProgressDlg() = default;

CProgressDlg::~CProgressDlg()
{
    if (m_bCreated)
        DestroyWindow();
}

bool CProgressDlg::Create(QWidget* pParent)
{
    m_pOwner = pParent ? pParent->window() : nullptr;
    if (m_pOwner && m_pOwner->isEnabled())
    {
        // Disabling the owner takes the focus from its control; it goes back there, not to
        // the default button, where Enter would write.
        m_pOwnerFocus = m_pOwner->focusWidget();
        m_pOwner->setEnabled(false);
        m_bOwnerDisabled = true;
    }
    setParent(m_pOwner, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    if (!CDialogBuilder::Build(m_nTemplateID, this))
    {
        if (m_bOwnerDisabled && m_pOwner)
            m_pOwner->setEnabled(true);
        m_bOwnerDisabled = false;
        return false;
    }
    m_pText = findChild<QLabel*>(CControlId::Name(CControlId::kProgressText));
    m_pPercent = findChild<QLabel*>(CControlId::Name(CControlId::kProgressPercent));
    m_progress = findChild<QProgressBar*>(CControlId::Name(CControlId::kProgressBar));
    m_progress->setRange(m_nMin, m_nMax);
    m_progress->setValue(m_nMin);
    setWindowTitle(CStringTable::Load(m_nTitleID));
    // At the top-left corner of the owner's client area, not centred.
    if (m_pOwner)
        move(m_pOwner->mapToGlobal(QPoint(0, 0)));
    m_bCreated = true;
    show();
    return true;
}

void CProgressDlg::DestroyWindow()
{
    if (m_bOwnerDisabled && m_pOwner)
    {
        m_pOwner->setEnabled(true);
        if (m_pOwnerFocus && m_pOwnerFocus->isVisible() && m_pOwnerFocus->isEnabled())
            m_pOwnerFocus->setFocus();
    }
    m_bOwnerDisabled = false;
    m_bCreated = false;
    hide();
}

void CProgressDlg::SetText(const QString& strText)
{
    if (m_pText)
        m_pText->setText(strText);
}

void CProgressDlg::SetRange(int nMin, int nMax)
{
    m_nMin = nMin;
    m_nMax = nMax;
    if (m_progress)
        m_progress->setRange(nMin, nMax);
}

void CProgressDlg::SetStep(int nStep)
{
    m_nStep = nStep;
}

void CProgressDlg::SetPos(int nPos)
{
    PumpMessages();
    if (m_progress)
        m_progress->setValue(nPos);
    UpdatePercent(nPos);
}

void CProgressDlg::StepIt()
{
    PumpMessages();
    const int nPrevious = m_progress ? m_progress->value() : m_nMin;
    int nNext = nPrevious + m_nStep;
    if (nNext > m_nMax) // a bar stepped past its end starts again
        nNext = m_nMin + (nNext - m_nMax);
    if (m_progress)
        m_progress->setValue(nNext);
    UpdatePercent(nPrevious + m_nStep);
}

void CProgressDlg::PumpMessages()
{
    QCoreApplication::processEvents();
}

void CProgressDlg::UpdatePercent(int nPos)
{
    if (!m_pPercent)
        return;
    int nPercent = CProgress::Percent(nPos, m_nMin, m_nMax); // an empty range must not crash
    if (nPercent != 100)
        nPercent %= 100;
    const QString strText = QString::asprintf("%d%c", nPercent, '%');
    if (m_pPercent->text() != strText)
        m_pPercent->setText(strText);
}

void CProgressDlg::keyPressEvent(QKeyEvent* pEvent)
{
    // Neither Enter nor Esc closes the window; only its user does.
    pEvent->accept();
}

void CProgressDlg::closeEvent(QCloseEvent* pEvent)
{
    pEvent->ignore();
}
