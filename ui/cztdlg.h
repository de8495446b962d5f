#pragma once

#include "cpage1.h"
#include "cpage2.h"
#include "crecordkeeper.h"

#include <QDialog>
#include <QIcon>
#include <QList>
#include <QStringList>

#include <memory>

class CRecordJournal;
class CTitlePage;
class QFrame;
class QLabel;
class QMenu;

// The wizard frame: the title strip, the side picture, the two pages one at a time, and the
// back, forward and exit buttons. Forward connects on the port page and writes on the
// parameters page.
class CZTDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CZTDlg(QWidget* pParent = nullptr);
    ~CZTDlg() override;

    void OnInitDialog();
    void OnOK();
    void OnBack();
    void OnCancel();
    // The system-menu commands; 0x0010 opens the about box.
    void OnSysCommand(unsigned nId);
    // The frame's menu with the about entry (the window manager's menu cannot be extended here).
    QMenu* CreateSystemMenu();

    QIcon m_hIcon;
    CTitlePage* m_wndTitle = nullptr;
    QFrame* m_wndPageArea = nullptr;
    QLabel* m_wndPicture = nullptr;
    QList<QDialog*> m_arrPages;
    QStringList m_arrTitles;
    QList<quint32> m_arrTemplates;
    int m_nCurPage = -1;
    CPage1 m_Page1;
    CPage2 m_Page2;

protected:
    void showEvent(QShowEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void reject() override { OnCancel(); }
    void accept() override { OnOK(); }

private:
    void AddPage(const QString& strTitle, QDialog* pPage, quint32 nTemplate);
    void SetButtons(bool bBackEnabled, const QString& strForward);
    void DestroyPages();
    void ShowPage(int nPage);
    // Writes the page's values through the write session; false after saying why.
    bool WriteDevice();
    QPushButton* Button(int nId) const;
    void PopupSystemMenu(const QPoint& ptGlobal);

    // Where the record could not be kept, said with the next message; empty while it is kept.
    QString RecordTrouble();

    bool m_bInitialised = false;
    CRecordKeeper m_Keeper{QString()};
    CRecordJournal* m_pJournal = nullptr;
};
