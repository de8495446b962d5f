#pragma once

#include "cprogress.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;

// The modeless window of every transfer: a text, a bar and a percent figure. While it exists
// its owner (the main window) is disabled, and every step it shows lets the windows repaint.
class CProgressDlg : public QDialog, public CProgress
{
    Q_OBJECT

public:
    CProgressDlg();
    ~CProgressDlg() override;

    // Shows the window over pParent's top-level window and disables that window.
    bool Create(QWidget* pParent);
    // Closes the window and gives the owner back its input.
    void DestroyWindow();

    void SetText(const QString& strText) override;
    void SetRange(int nMin, int nMax) override;
    void SetStep(int nStep) override;
    void SetPos(int nPos) override;
    void StepIt() override;
    void PumpMessages() override;

    QProgressBar* m_progress = nullptr;
    int m_nTitleID = 102;
    int m_nTemplateID = 132; // another id makes Create fail, for the tests
    int m_nMin = 0;
    int m_nMax = 100;
    int m_nStep = 10;
    bool m_bOwnerDisabled = false;

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void accept() override {}
    void reject() override {}

private:
    void UpdatePercent(int nPos);

    QPointer<QWidget> m_pOwner;
    QPointer<QWidget> m_pOwnerFocus; // the owner's control that had the focus
    QLabel* m_pText = nullptr;
    QLabel* m_pPercent = nullptr;
    bool m_bCreated = false;
};
