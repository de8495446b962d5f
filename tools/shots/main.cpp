// zint9-shots FOLDER: saves a PNG of every window and dialog of the wizard, for looking at.
// Runs in demonstration mode on the data beside it; needs no display (QT_QPA_PLATFORM=offscreen).
#include "caboutdlg.h"
#include "cdlgcalibrdac.h"
#include "cdlgchangesensor.h"
#include "cmsgbox.h"
#include "cmyedit.h"
#include "cprogressdlg.h"
#include "cstringtable.h"
#include "cztapp.h"
#include "cztdlg.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>

#include <cstdio>

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

    CZTApp app;
    CZTApp::InitSettingsStore();
    app.InitLocale();
    app.m_strAppDir = QCoreApplication::applicationDirPath();
    app.m_Port.m_bDemo = true;
    app.LoadSensorCatalogue();
    CPage1::s_pfnEnumPorts = [](QList<CSerialPort::SPortInfo>& list)
    {
        list = {{"ttyS0", "/dev/ttyS0", {}, {}, {}},
                {"ttyUSB0", "/dev/ttyUSB0", "USB-Serial Controller", "Prolific Technology Inc.", "A1B2C3"}};
        return true;
    };

    // Message boxes are shown for real, grabbed and closed.
    QString strNext = QStringLiteral("message");
    CMsgBox::SetMessageScript(
        [&](const CMsgBox::SRecord& record)
        {
            const QMessageBox::Icon nIcon = record.nIcon == EMsgIcon::Stop ? QMessageBox::Critical
                                            : record.nIcon == EMsgIcon::Exclamation
                                                ? QMessageBox::Warning
                                                : QMessageBox::Information;
            QMessageBox box(nIcon, record.strCaption, record.strText, QMessageBox::Ok, record.pOwner);
            box.setDetailedText(record.strDetail);
            box.show();
            Save(box, strNext);
        });
    // Dialogs: grabbed, then answered with OK.
    CMsgBox::SetDialogScript(
        [&](QDialog& dialog)
        {
            Save(dialog, strNext);
            dialog.accept();
            return dialog.result();
        });

    CZTDlg dlg;
    dlg.show();
    Save(dlg, QStringLiteral("frame-port-page"));
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

    strNext = QStringLiteral("about");
    dlg.OnSysCommand(0x0010);
    strNext = QStringLiteral("change-sensor");
    {
        CDlgChangeSensor change(&dlg);
        CMsgBox::Exec(change);
    }
    strNext = QStringLiteral("calibration");
    {
        CDlgCalibrDAC calibration(&dlg);
        CMsgBox::Exec(calibration);
    }
    strNext = QStringLiteral("message-dac-range");
    {
        CDlgCalibrDAC calibration(&dlg);
        calibration.m_edCalLow->setText(QStringLiteral("12.01"));
        calibration.accept();
    }
    // The parameters page with an unset calibration.
    app.m_ParamEdit.fDacCalLow = std::bit_cast<float>(0xFFFFFFFFu);
    dlg.m_Page2.DoDataExchange(false);
    Save(dlg, QStringLiteral("frame-parameters-unset-calibration"));

    auto* pLow = dlg.m_Page2.findChild<CMyEdit*>(QStringLiteral("1009"));
    auto* pBand = dlg.m_Page2.findChild<CMyEdit*>(QStringLiteral("1014"));
    auto* pTime = dlg.m_Page2.findChild<CMyEdit*>(QStringLiteral("1015"));
    auto* pFail = dlg.m_Page2.findChild<CMyEdit*>(QStringLiteral("1022"));
    auto validate = [&](CMyEdit* pEdit, const QString& strText, const QString& strName)
    {
        const QString strOld = pEdit->text();
        pEdit->setText(strText);
        strNext = strName;
        if (dlg.m_Page2.DoDataExchange(true))
            dlg.m_Page2.ValidateParams();
        pEdit->setText(strOld);
    };
    validate(pLow, QStringLiteral("-1000"), QStringLiteral("message-106-limits"));
    validate(pTime, QStringLiteral("-1"), QStringLiteral("message-158-filter-time"));
    validate(pFail, QStringLiteral("30"), QStringLiteral("message-159-failure-output"));
    validate(pBand, QStringLiteral("0.05"), QStringLiteral("message-160-band-too-small"));
    validate(pBand, QStringLiteral("900"), QStringLiteral("message-161-band-too-large"));
    validate(pBand, QString(), QStringLiteral("message-not-a-number"));
    strNext = QStringLiteral("message-156-write-failed");
    CMsgBox::Show(&dlg, CStringTable::Load(156), CStringTable::Load(107), EMsgIcon::Stop);
    strNext = QStringLiteral("message-157-written");
    CMsgBox::Show(&dlg, CStringTable::Load(157), CStringTable::Load(151), EMsgIcon::Information);
    strNext = QStringLiteral("message-154-versions");
    CMsgBox::Show(&dlg, CStringTable::Load(154), CStringTable::Load(107), EMsgIcon::Stop);

    std::printf("%d pictures in %s\n", s_nShots, qPrintable(s_folder.path()));
    dlg.hide();
    return 0;
}
