#include "cztdlg.h"
#include "ccontrolid.h"

#include "caboutdlg.h"
#include "cdialogbuilder.h"
#include "cdlghistory.h"
#include "cfailuretext.h"
#include "cframemenu.h"
#include "cmsgbox.h"
#include "cprogressdlg.h"
#include "crecordjournal.h"
#include "cstringtable.h"
#include "ctitlepage.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>

namespace
{
const QString kForward = QStringLiteral("Далее >>");
const QString kWrite = QStringLiteral("Записать");
} // namespace

CZTDlg::CZTDlg(QWidget* pParent) : QDialog(pParent), m_Page1(this), m_Page2(this)
{
    for (int nSize : {16, 32, 48})
        m_hIcon.addPixmap(CDialogBuilder::Picture(QStringLiteral("icon128"), QSize(nSize, nSize)));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    CDialogBuilder::Build(102, this,
                          [](const CDialogBuilder::SControl& control, QWidget* pParent) -> QWidget* {
                              return control.strKind == QLatin1String("title")
                                         ? new CTitlePage(control.strText, pParent)
                                         : nullptr;
                          });
    m_wndTitle = findChild<CTitlePage*>(CControlId::Name(CControlId::kTitle));
    m_wndPageArea = findChild<QFrame*>(CControlId::Name(CControlId::kPageArea));
    m_wndPicture = findChild<QLabel*>(CControlId::Name(CControlId::kPicture));
    m_Page1.hide();
    m_Page2.hide();
    connect(Button(CControlId::kOk), &QPushButton::clicked, this, &CZTDlg::OnOK);
    connect(Button(CControlId::kBack), &QPushButton::clicked, this, &CZTDlg::OnBack);
    connect(Button(CControlId::kCancel), &QPushButton::clicked, this, &CZTDlg::OnCancel);
}

CZTDlg::~CZTDlg()
{
    if (m_bInitialised)
        ZTApp().m_Hooks = {};
}

QPushButton* CZTDlg::Button(int nId) const
{
    return findChild<QPushButton*>(QString::number(nId));
}

void CZTDlg::showEvent(QShowEvent* pEvent)
{
    if (!m_bInitialised)
        OnInitDialog();
    QDialog::showEvent(pEvent);
}

void CZTDlg::OnInitDialog()
{
    m_bInitialised = true;
    CZTAppDevice& app = ZTApp();
    // The lower layers show their messages, progress and page values through the frame.
    app.m_Hooks.m_pfnMessage = [this](const QString& strText, const QString& strCaption, EMsgIcon nIcon)
    { CMsgBox::Show(this, strText, strCaption, nIcon); };
    app.m_Hooks.m_pfnCreateProgress = [this]() -> std::unique_ptr<CProgress>
    {
        auto pProgress = std::make_unique<CProgressDlg>();
        if (!pProgress->Create(this))
            return nullptr;
        return pProgress;
    };
    app.m_Hooks.m_pfnPageExchange = [this](bool bSave) { return m_Page2.DoDataExchange(bSave); };

    setWindowIcon(m_hIcon);
    AddPage(QStringLiteral("Этап 1\tПодключение прибора и чтение настроек"), &m_Page1, 130);
    AddPage(QStringLiteral("Этап 2\tНастройка параметров и запись в прибор"), &m_Page2, 131);
    // The record never stands in the way of the device work: without it the wizard goes on.
    m_pJournal = m_Keeper.Journal(CRecordJournal::DefaultIdentity());
    m_Page1.m_pJournal = m_pJournal;
    m_Page1.OnInitDialog();
    m_Page2.OnInitDialog();
    for (QDialog* pPage : m_arrPages)
    {
        pPage->setGeometry(m_wndPageArea->geometry());
        pPage->raise(); // above the placeholder, which the template made after the pages
        pPage->hide();
    }
    m_nCurPage = -1;
    OnOK();
    Button(CControlId::kBack)->setText(QStringLiteral("<< Назад"));
    Button(CControlId::kOk)->setText(m_arrPages.size() > 1 ? kForward : kWrite);
    Button(CControlId::kCancel)->setText(QStringLiteral("Выход"));
    if (app.m_Port.m_bDemo)
        setWindowTitle(QStringLiteral("Конфигуратор ЗИНТ-9. Демонстрационный режим"));
}

void CZTDlg::AddPage(const QString& strTitle, QDialog* pPage, quint32 nTemplate)
{
    m_arrTitles.append(strTitle);
    m_arrPages.append(pPage);
    m_arrTemplates.append(nTemplate);
}

void CZTDlg::SetButtons(bool bBackEnabled, const QString& strForward)
{
    Button(CControlId::kBack)->setEnabled(bBackEnabled);
    Button(CControlId::kOk)->setEnabled(true);
    Button(CControlId::kCancel)->setEnabled(true);
    Button(CControlId::kBack)->setText(QStringLiteral("<< Назад"));
    Button(CControlId::kOk)->setText(strForward);
    Button(CControlId::kCancel)->setText(QStringLiteral("Выход"));
}

void CZTDlg::ShowPage(int nPage)
{
    m_nCurPage = nPage;
    m_arrPages[1 - nPage]->hide();
    m_arrPages[nPage]->show();
    SetButtons(nPage == 1, nPage == 1 ? kWrite : kForward);
    // «<< Назад» disabled under the focus would hand Enter on to «Выход».
    Button(CControlId::kOk)->setFocus();
}

void CZTDlg::OnOK()
{
    switch (m_nCurPage)
    {
    case -1:
        ShowPage(0);
        break;
    case 0:
    {
        if (!m_Page1.DoDataExchange(true))
            return;
        const bool bConnected = m_Page1.Connect();
        m_Keeper.StartSync(); // the entry goes up to the plant, if one is named, while the user works
        if (!bConnected)
        {
            m_Page1.FillPortList();
            return;
        }
        ShowPage(1);
        break;
    }
    case 1:
        if (!WriteDevice())
            return;
        CMsgBox::Show(this, CStringTable::Load(157), CStringTable::Load(151), EMsgIcon::Information,
                      RecordTrouble());
        m_nCurPage = 0;
        m_Page1.FillPortList();
        ShowPage(0);
        break;
    default:
        return;
    }
    m_wndTitle->SetText(m_arrTitles[m_nCurPage]);
}

bool CZTDlg::WriteDevice()
{
    if (!m_Page2.DoDataExchange(true) || !ConfirmSensorData())
        return false;
    // Read back and compared byte for byte: only that tells a block stored wrongly.
    CWriteSession::SRequest request;
    request.pfnVerdict = [this](const CParamRules::SVerdict& verdict) { m_Page2.ShowVerdict(verdict); };
    return RunWrite(request, nullptr);
}

bool CZTDlg::RestoreImage(const CParamZT01& image, const QString& strWhat)
{
    CWriteSession::SRequest request;
    request.bRestore = true; // every byte but the device block, read back and compared
    const bool bRestored = RunWrite(request, &image);
    m_Page2.DoDataExchange(false); // a table put back whole is its sensor's again
    if (bRestored)
        CMsgBox::Show(this, QStringLiteral("Прибору возвращён %1.").arg(strWhat), CStringTable::Load(151),
                      EMsgIcon::Information, RecordTrouble());
    return bRestored;
}

bool CZTDlg::RunWrite(const CWriteSession::SRequest& request, const CParamZT01* pImage)
{
    CWriteSession session(ZTApp(), m_pJournal);
    if (!UnitInHand(session))
        return false;
    if (pImage)
    {
        ZTApp().m_ParamEdit = *pImage;
        m_Page2.DoDataExchange(false); // the page shows what is sent
    }
    const bool bWritten = session.Write(request);
    m_Keeper.StartSync();
    if (bWritten)
        return true;
    const CFailure& failure = session.Failure();
    const QString strTrouble = RecordTrouble();
    if (failure.m_nStep == CFailure::EStep::Values)
        return false; // the page has said why
    if (failure.m_nStep == CFailure::EStep::Backup)
        CMsgBox::Show(this,
                      QStringLiteral("Не удалось сохранить резервную копию образа EEPROM прибора.\n"
                                     "Запись в прибор не выполнена.\n\n") +
                          failure.m_strDetail,
                      CStringTable::Load(107), EMsgIcon::Stop, strTrouble);
    else
    {
        const CTransaction transaction = session.Transaction();
        QStringList details{CFailureText::Describe(failure)};
        if (transaction.nResult == CTransaction::EResult::Interrupted ||
            transaction.nHeld == CTransaction::EHeld::Partial)
            details << CFailureText::TornInWizard(session.BackupPath());
        if (!strTrouble.isEmpty())
            details << strTrouble;
        CMsgBox::Show(this,
                      failure.m_nReason == CFailure::EReason::Mismatch
                          ? CFailureText::MismatchInWizard(failure)
                          : CStringTable::Load(CFailureText::MessageId(failure)),
                      CStringTable::Load(107), EMsgIcon::Stop, details.join(QLatin1Char('\n')));
    }
    return false;
}

void CZTDlg::OnHistory()
{
    CDlgHistory::ShowForUnit(
        m_Keeper, m_pJournal->Identity().strStation,
        [this](const CParamZT01& image, const QString& strWhat) { return RestoreImage(image, strWhat); },
        this);
}

bool CZTDlg::UnitInHand(CWriteSession& session)
{
    CZTAppDevice& app = ZTApp();
    if (app.m_Port.m_bDemo || (app.m_bConnected && !app.m_Port.IsLost()))
        return true;
    const bool bSame = session.Reconnect();
    m_Keeper.StartSync();
    if (bSame)
        return true;
    const CFailure& failure = session.Failure();
    const QString strKept = QStringLiteral("Настройки на странице сохранены: подключите прибор и нажмите "
                                           "«Записать» снова.");
    if (failure.m_nReason != CFailure::EReason::OtherUnit)
    {
        CPage1::ShowConnectFailure(this, failure, strKept);
        return false;
    }
    CMsgBox::Show(
        this,
        QStringLiteral("К порту %1 подключён другой прибор.\nЗапись не выполнена.").arg(failure.m_strPath),
        CStringTable::Load(107), EMsgIcon::Stop,
        CFailureText::Describe(failure) + QLatin1Char('\n') + strKept);
    return false;
}

bool CZTDlg::ConfirmSensorData()
{
    CZTAppDevice& app = ZTApp();
    const QString strFile = app.SensorFileMismatch(app.m_ParamEdit);
    if (strFile.isEmpty())
        return true;
    QString strText = CFailureText::SensorMismatch(strFile);
    strText[0] = strText[0].toUpper();
    const int nAnswer = CMsgBox::Ask(
        this,
        strText + QStringLiteral(".\n\nЗагрузить данные датчика из файла перед записью? Границы "
                                 "преобразования и другие настройки страницы останутся как есть."),
        CStringTable::Load(151),
        {QStringLiteral("Загрузить из файла"), QStringLiteral("Записать как есть"),
         QStringLiteral("Отмена")});
    if (nAnswer != 0)
        return nAnswer == 1;
    // Asked to reload, a file that cannot be read now must not let the torn table through.
    if (!app.ReloadSensorData())
    {
        CMsgBox::Show(this, CStringTable::Load(148).replace(QLatin1String("%s"), strFile),
                      CStringTable::Load(107), EMsgIcon::Stop);
        return false;
    }
    m_Page2.DoDataExchange(false);
    return true;
}

QString CZTDlg::RecordTrouble()
{
    return m_Keeper.TakeTrouble();
}

void CZTDlg::OnBack()
{
    if (m_nCurPage != 1)
        return;
    m_nCurPage = 0;
    m_Page1.FillPortList();
    ShowPage(0);
    m_wndTitle->SetText(m_arrTitles[m_nCurPage]);
}

void CZTDlg::OnCancel()
{
    m_Keeper.FinishSync(3000); // a plant that does not answer keeps the entries for the next start
    m_Page1.DoDataExchange(true);
    QSettings().setValue(QStringLiteral("Settings/ConnectionPort"), m_Page1.m_strPort);
    DestroyPages();
    QDialog::done(QDialog::Rejected);
}

void CZTDlg::DestroyPages()
{
    for (QDialog* pPage : m_arrPages)
        pPage->hide();
}

void CZTDlg::OnSysCommand(unsigned nId)
{
    if ((nId & 0xFFF0) == 0x0010)
    {
        CAboutDlg dlg(this);
        CMsgBox::Exec(dlg);
    }
}

QMenu* CZTDlg::CreateSystemMenu()
{
    return CFrameMenu::Create({*this, m_Page2, m_Keeper, *m_pJournal, m_nCurPage == 1,
                               [this] { OnHistory(); }, [this] { OnSysCommand(0x0010); }});
}

void CZTDlg::PopupSystemMenu(const QPoint& ptGlobal)
{
    if (QApplication::activePopupWidget())
        return; // a platform that also turns the key into a menu request must not give two menus
    QMenu* pMenu = CreateSystemMenu();
    pMenu->setAttribute(Qt::WA_DeleteOnClose);
    pMenu->popup(ptGlobal);
}

void CZTDlg::contextMenuEvent(QContextMenuEvent* pEvent)
{
    // Right-clicks anywhere in the frame arrive here: the pages pass theirs on.
    PopupSystemMenu(pEvent->globalPos());
}

void CZTDlg::keyPressEvent(QKeyEvent* pEvent)
{
    const bool bMenuKey = pEvent->key() == Qt::Key_Menu && pEvent->modifiers() == Qt::NoModifier;
    const bool bShiftF10 = pEvent->key() == Qt::Key_F10 && pEvent->modifiers() == Qt::ShiftModifier;
    if (bMenuKey || bShiftF10)
    {
        QWidget* pFocus = focusWidget() ? focusWidget() : this;
        PopupSystemMenu(pFocus->mapToGlobal(pFocus->rect().center()));
        return;
    }
    QDialog::keyPressEvent(pEvent);
}

void CZTDlg::closeEvent(QCloseEvent* pEvent)
{
    // While a transfer runs its progress window has disabled the frame, which must not close.
    if (isEnabled())
        QDialog::closeEvent(pEvent);
    else
        pEvent->ignore();
}
