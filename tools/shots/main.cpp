// zint9-shots FOLDER: saves a PNG of every window and dialog of the wizard, for looking at.
// Runs in demonstration mode on the data beside it; needs no display (QT_QPA_PLATFORM=offscreen).
#include "caboutdlg.h"
#include "ccontrolid.h"
#include "cdlgcalibrdac.h"
#include "cdlgchangesensor.h"
#include "cdlgcharacteristic.h"
#include "cdlghistory.h"
#include "cfailuretext.h"
#include "cmsgbox.h"
#include "cmyedit.h"
#include "cprogressdlg.h"
#include "cstringtable.h"
#include "cztapp.h"
#include "cztdlg.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTreeWidget>

#include <cstdio>
#include <tuple>

namespace
{
QDir s_folder;
int s_nShots = 0;

void Save(QWidget& widget, const QString& strName)
{
    QCoreApplication::processEvents();
    const QString strPath = s_folder.filePath(strName + QStringLiteral(".png"));
    if (widget.grab().save(strPath))
        ++s_nShots;
    else
        std::fprintf(stderr, "zint9-shots: cannot save %s\n", qPrintable(strPath));
}
QString s_strNext = QStringLiteral("message"); // the name of the next box or dialog shown

void SetUpDemonstration(CZTApp& app)
{
    CZTApp::InitSettingsStore();
    app.InitLocale();
    // A copy of the data beside the program: the demonstration writes must not change the build's.
    const QDir source(QCoreApplication::applicationDirPath());
    const QDir data(s_folder.filePath(QStringLiteral("data")));
    data.mkpath(QStringLiteral("ImgEEPROM"));
    QStringList files{QStringLiteral("Sensors.dat")};
    for (const QString& strName : QDir(source.filePath(QStringLiteral("ImgEEPROM"))).entryList(QDir::Files))
        files << QStringLiteral("ImgEEPROM/") + strName;
    for (const QString& strFile : files)
    {
        QFile::remove(data.filePath(strFile));
        QFile::copy(source.filePath(strFile), data.filePath(strFile));
    }
    app.m_strAppDir = data.path();
    app.m_Port.m_bDemo = true;
    app.LoadSensorCatalogue();
    CPage1::s_pfnEnumPorts = [](QList<CSerialPort::SPortInfo>& list)
    {
        list = {{"ttyS0", "/dev/ttyS0", {}, {}, {}},
                {"ttyUSB0", "/dev/ttyUSB0", "USB-Serial Controller", "Prolific Technology Inc.", "A1B2C3"},
                {"/dev/pts/13", "/dev/pts/13", {}, {}, {}}};
        return true;
    };
}

// Message boxes are shown for real, grabbed and closed; dialogs grabbed, then answered with OK.
void ScriptModals()
{
    CMsgBox::SetMessageScript(
        [](const CMsgBox::SRecord& record)
        {
            const std::unique_ptr<QMessageBox> pBox = CMsgBox::Box(record);
            pBox->show();
            Save(*pBox, s_strNext);
        });
    CMsgBox::SetDialogScript(
        [](QDialog& dialog)
        {
            Save(dialog, s_strNext);
            dialog.accept();
            return dialog.result();
        });
}

// The output characteristic of the page's values, at scale 1 and 2.
void ShootCharacteristic(CZTDlg& dlg)
{
    CDlgCharacteristic* pChart = CDlgCharacteristic::Open(dlg.m_Page2, &dlg);
    Save(*pChart, QStringLiteral("characteristic"));
    QCoreApplication::processEvents();
    QPixmap picture(pChart->size() * 2);
    picture.setDevicePixelRatio(2);
    pChart->render(&picture);
    if (picture.save(s_folder.filePath(QStringLiteral("characteristic-x2.png"))))
        ++s_nShots;
    pChart->close();
}

// The protocol of the unit in hand through the frame's menu, at scale 1 and 2.
void ShootProtocol(CZTDlg& dlg)
{
    const std::unique_ptr<QMenu> pMenu(dlg.CreateSystemMenu());
    CMsgBox::SetDialogScript(
        [](QDialog& dialog)
        {
            Save(dialog, QStringLiteral("protocol"));
            QPixmap picture(dialog.size() * 2);
            picture.setDevicePixelRatio(2);
            dialog.render(&picture);
            if (picture.save(s_folder.filePath(QStringLiteral("protocol-x2.png"))))
                ++s_nShots;
            return int(QDialog::Rejected);
        });
    for (QAction* pAction : pMenu->actions())
        if (pAction->text() == QStringLiteral("&Протокол настройки..."))
            pAction->trigger();
    ScriptModals();
}

void ShootFrameAndDialogs(CZTApp& app, CZTDlg& dlg)
{
    dlg.show();
    Save(dlg, QStringLiteral("frame-port-page"));
    {
        auto* pList = dlg.m_Page1.m_cbPort;
        pList->showPopup();
        Save(*pList->view()->window(), QStringLiteral("port-list-open"));
        pList->hidePopup();
    }
    {
        CProgressDlg progress;
        progress.Create(&dlg);
        progress.SetText(QStringLiteral("Чтение образа EEPROM прибора..."));
        progress.SetRange(0, 64);
        progress.SetPos(37);
        Save(progress, QStringLiteral("progress"));
    }
    dlg.OnOK(); // connect to the demonstration image
    Save(dlg, QStringLiteral("frame-parameters-page"));
    // A USB adapter's long stable name on the status line.
    const QString strPort = app.m_Port.GetPortName();
    app.m_Port.m_strPortName =
        QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0");
    dlg.m_Page2.hide();
    dlg.m_Page2.show();
    Save(dlg, QStringLiteral("frame-parameters-long-port"));
    app.m_Port.m_strPortName = strPort;
    ShootCharacteristic(dlg);
    ShootProtocol(dlg);

    s_strNext = QStringLiteral("about");
    dlg.OnSysCommand(0x0010);
    s_strNext = QStringLiteral("change-sensor");
    {
        CDlgChangeSensor change(&dlg);
        CMsgBox::Exec(change);
    }
    s_strNext = QStringLiteral("calibration");
    {
        CDlgCalibrDAC calibration(&dlg);
        CMsgBox::Exec(calibration);
    }
    s_strNext = QStringLiteral("message-dac-range");
    {
        CDlgCalibrDAC calibration(&dlg);
        calibration.m_edCalLow->setText(QStringLiteral("12.01"));
        calibration.accept();
    }
    // The parameters page with an unset calibration.
    app.m_ParamEdit.fDacCalLow = std::bit_cast<float>(0xFFFFFFFFu);
    dlg.m_Page2.DoDataExchange(false);
    Save(dlg, QStringLiteral("frame-parameters-unset-calibration"));
}

// A torn sensor table on the status line, the question before its write, and the unit's history
// after a write, with an entry compared.
void ShootHistory(CZTApp& app, CZTDlg& dlg)
{
    dlg.OnBack();
    dlg.OnOK();                           // the demonstration image read again, as it is
    app.m_ParamEdit.fSensorTable[7] += 1; // as a write cut short would leave it
    app.m_strSensorMismatch = app.m_Sensors[0].strFileName;
    dlg.m_Page2.DoDataExchange(false);
    Save(dlg, QStringLiteral("frame-parameters-sensor-mismatch"));
    CMsgBox::SetQuestionScript(
        [](const CMsgBox::SRecord& record)
        {
            const std::unique_ptr<QMessageBox> pBox = CMsgBox::Box(record);
            pBox->show();
            Save(*pBox, s_strNext);
            return int(record.buttons.size()) - 1;
        });
    s_strNext = QStringLiteral("question-sensor-mismatch");
    dlg.OnOK(); // asked, and cancelled
    app.ReloadSensorData();
    app.LoadSensorImage(3); // another sensor: long names side by side in the comparison
    dlg.m_Page2.findChild<CMyEdit*>(CControlId::Name(CControlId::kHighLimit))->setText(QStringLiteral("700"));
    s_strNext = QStringLiteral("message-157-written");
    dlg.OnOK(); // written, back on the port page
    dlg.OnOK(); // read again
    CMsgBox::SetDialogScript(
        [](QDialog& dialog)
        {
            auto* pEntries = dialog.findChild<QTreeWidget*>(CControlId::Name(CControlId::kHistoryEntries));
            pEntries->setCurrentItem(pEntries->topLevelItem(1));
            static_cast<CDlgHistory&>(dialog).OnCompare();
            Save(dialog, QStringLiteral("history"));
            dialog.reject();
            return dialog.result();
        });
    dlg.OnHistory();
}

void ShootMessages(CZTDlg& dlg)
{
    auto field = [&dlg](int nId) { return dlg.m_Page2.findChild<CMyEdit*>(CControlId::Name(nId)); };
    auto validate = [&](int nId, const QString& strText, const QString& strName)
    {
        CMyEdit* pEdit = field(nId);
        const QString strOld = pEdit->text();
        pEdit->setText(strText);
        s_strNext = strName;
        if (dlg.m_Page2.DoDataExchange(true))
            dlg.m_Page2.ValidateParams();
        pEdit->setText(strOld);
    };
    validate(CControlId::kLowLimit, QStringLiteral("-1000"), QStringLiteral("message-106-limits"));
    validate(CControlId::kFilterTime, QStringLiteral("-1"), QStringLiteral("message-158-filter-time"));
    validate(CControlId::kFailOutput, QStringLiteral("30"), QStringLiteral("message-159-failure-output"));
    validate(CControlId::kPeakBand, QStringLiteral("0.05"), QStringLiteral("message-160-band-too-small"));
    validate(CControlId::kPeakBand, QStringLiteral("900"), QStringLiteral("message-161-band-too-large"));
    validate(CControlId::kPeakBand, QString(), QStringLiteral("message-not-a-number"));
    const std::tuple<const char*, int, int, EMsgIcon> messages[] = {
        {"message-156-write-failed", 156, 107, EMsgIcon::Stop},
        {"message-157-written", 157, 151, EMsgIcon::Information},
        {"message-154-versions", 154, 107, EMsgIcon::Stop}};
    for (const auto& [pszName, nText, nCaption, nIcon] : messages)
    {
        s_strNext = QString::fromLatin1(pszName);
        CMsgBox::Show(&dlg, CStringTable::Load(nText), CStringTable::Load(nCaption), nIcon);
    }
    // A write whose read-back differs.
    CFailure mismatch = CFailure::At(CFailure::EStep::Verify, CFailure::EReason::Mismatch, 0x70);
    mismatch.m_byHave = 0x01;
    s_strNext = QStringLiteral("message-verify-mismatch");
    CMsgBox::Show(&dlg, CFailureText::MismatchInWizard(mismatch), CStringTable::Load(107), EMsgIcon::Stop,
                  CFailureText::Describe(mismatch));
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: zint9-shots FOLDER\n");
        return 2;
    }
    s_folder = QDir(QString::fromLocal8Bit(argv[1]));
    s_folder.mkpath(QStringLiteral("."));
    qputenv("ZINT9_RECORD", s_folder.filePath(QStringLiteral("record.sqlite")).toLocal8Bit());

    CZTApp app;
    SetUpDemonstration(app);
    ScriptModals();
    CZTDlg dlg;
    ShootFrameAndDialogs(app, dlg);
    ShootMessages(dlg);
    ShootHistory(app, dlg);
    std::printf("%d pictures in %s\n", s_nShots, qPrintable(s_folder.path()));
    dlg.hide();
    return 0;
}
