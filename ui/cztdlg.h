#pragma once

#include "cpage1.h"
#include "cpage2.h"
#include "crecordkeeper.h"
#include "cwritesession.h"

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
    // Opens the history window of the unit in hand.
    void OnHistory();

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
    // Puts an image of the record back into the unit in hand, verified; says how it went.
    bool RestoreImage(const CParamZT01& image, const QString& strWhat);
    // The write both share, of the working image or of pImage; false after saying why.
    bool RunWrite(const CWriteSession::SRequest& request, const CParamZT01* pImage);
    // A working image whose sensor data are not its sensor file's is written only as the user
    // says: with the data reloaded from the file, or as it is.
    bool ConfirmSensorData();
    // After a failed write or a lost port the port is opened again and the unit read again; a
    // write goes on only to the same unit. False after saying why; the page keeps its edits.
    bool UnitInHand(CWriteSession& session);
    QPushButton* Button(int nId) const;
    void PopupSystemMenu(const QPoint& ptGlobal);

    // Where the record could not be kept, said with the next message; empty while it is kept.
    QString RecordTrouble();

    bool m_bInitialised = false;
    CRecordKeeper m_Keeper{QString()};
    CRecordJournal* m_pJournal = nullptr;
};
