#include "cdlgprotocol.h"

#include "ccontrolid.h"
#include "cdialogbuilder.h"
#include "cmsgbox.h"
#include "cprotocolpage.h"
#include "cprotocolview.h"
#include "crecordjournal.h"
#include "cstringtable.h"
#include "cztappdevice.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>

namespace
{
const QString kFolderKey = QStringLiteral("Settings/ProtocolFolder");
} // namespace

std::function<QString(const QString&)> CDlgProtocol::s_pfnChoose;
std::function<bool(QPrinter&)> CDlgProtocol::s_pfnPrintDialog;

CDlgProtocol::CDlgProtocol(const CProtocol& protocol, QWidget* pParent)
    : QDialog(pParent), m_protocol(protocol)
{
    CDialogBuilder::Build(137, this,
                          [](const CDialogBuilder::SControl& control, QWidget* pParent) -> QWidget* {
                              return control.strKind == QLatin1String("page") ? new CProtocolView(pParent)
                                                                              : nullptr;
                          });
    auto* pView = findChild<CProtocolView*>(CControlId::Name(CControlId::kProtocolPage));
    pView->setAccessibleName(QStringLiteral("Страница протокола"));
    pView->SetProtocol(m_protocol, ZTApp());
    findChild<QLabel*>(CControlId::Name(CControlId::kProtocolNote))
        ->setText(m_protocol.IsWrite()
                      ? QStringLiteral("Протокол записи от %1: прибор хранит то, что она дала.")
                            .arg(CProtocol::LocalTime(m_protocol.entry.timeStart))
                  : m_protocol.lastAttempt
                      ? QStringLiteral("Протокол состояния прибора, как он прочитан %1: его последняя "
                                       "запись его не настроила (%2).")
                            .arg(CProtocol::LocalTime(m_protocol.entry.timeStart),
                                 CProtocol::ResultText(*m_protocol.lastAttempt))
                      : QStringLiteral("Протокол состояния прибора, как он прочитан %1.")
                            .arg(CProtocol::LocalTime(m_protocol.entry.timeStart)));
    connect(findChild<QPushButton*>(CControlId::Name(CControlId::kProtocolSave)), &QPushButton::clicked, this,
            &CDlgProtocol::OnSave);
    connect(findChild<QPushButton*>(CControlId::Name(CControlId::kProtocolPrint)), &QPushButton::clicked,
            this, &CDlgProtocol::OnPrint);
    connect(findChild<QPushButton*>(CControlId::Name(CControlId::kCancel)), &QPushButton::clicked, this,
            &QDialog::reject);
}

void CDlgProtocol::ShowForUnit(CRecordKeeper& keeper, const CRecordJournal& journal, QWidget* pOwner)
{
    CProtocol protocol;
    QString strError;
    if (CProtocol::OfUnit(keeper, journal.Last(), protocol, strError))
    {
        CDlgProtocol dlg(protocol, pOwner);
        CMsgBox::Exec(dlg);
        return;
    }
    CMsgBox::Show(pOwner, QStringLiteral("Протокол настройки не составлен: %1.").arg(strError),
                  CStringTable::Load(151), EMsgIcon::Exclamation);
}

void CDlgProtocol::Warn(const QString& strText)
{
    CMsgBox::Show(this, strText, CStringTable::Load(151), EMsgIcon::Exclamation);
}

bool CDlgProtocol::SaveTo(const QString& strPath)
{
    QString strError;
    if (CProtocolPage::WritePdf(strPath, m_protocol, ZTApp(), strError))
        return true;
    Warn(QStringLiteral("Не удалось сохранить протокол в %1: %2")
             .arg(QDir::toNativeSeparators(strPath), strError));
    return false;
}

bool CDlgProtocol::PrintOn(QPrinter& printer)
{
    // The sheet's own corner is the page's: the printer's margins fall inside the page's.
    printer.setFullPage(true);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setDocName(m_protocol.FileName());
    QPainter painter;
    if (!painter.begin(&printer))
    {
        Warn(QStringLiteral("Не удалось начать печать на «%1».").arg(printer.printerName()));
        return false;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    CProtocolPage::Paint(painter, printer.paperRect(QPrinter::DevicePixel), printer.resolution(), m_protocol,
                         ZTApp());
    return painter.end();
}

void CDlgProtocol::OnSave()
{
    const QString strFolder = QSettings().value(kFolderKey, QDir::homePath()).toString();
    const QString strSuggested = QDir(strFolder).filePath(m_protocol.FileName());
    const QString strPath =
        s_pfnChoose ? s_pfnChoose(strSuggested)
                    : QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить протокол настройки"),
                                                   strSuggested, QStringLiteral("Документ PDF (*.pdf)"));
    if (strPath.isEmpty())
        return;
    QSettings().setValue(kFolderKey, QFileInfo(strPath).absolutePath());
    SaveTo(strPath);
}

void CDlgProtocol::OnPrint()
{
    QPrinter printer(QPrinter::HighResolution);
    if (s_pfnPrintDialog)
    {
        if (!s_pfnPrintDialog(printer))
            return;
    }
    else
    {
        QPrintDialog dialog(&printer, this);
        dialog.setWindowTitle(QStringLiteral("Печать протокола настройки"));
        if (dialog.exec() != QDialog::Accepted)
            return;
    }
    PrintOn(printer);
}
