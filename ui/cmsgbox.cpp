#include "cmsgbox.h"

#include <QDialog>
#include <QMessageBox>

namespace
{
CMsgBox::MessageScript& ScriptedMessage()
{
    static CMsgBox::MessageScript s_pfnScript;
    return s_pfnScript;
}

CMsgBox::DialogScript& ScriptedDialog()
{
    static CMsgBox::DialogScript s_pfnScript;
    return s_pfnScript;
}
} // namespace

void CMsgBox::Show(QWidget* pOwner, const QString& strText, const QString& strCaption, EMsgIcon nIcon,
                   const QString& strDetail)
{
    if (ScriptedMessage())
    {
        ScriptedMessage()({strText, strCaption, nIcon, pOwner, strDetail});
        return;
    }
    const QMessageBox::Icon nBoxIcon = nIcon == EMsgIcon::Stop          ? QMessageBox::Critical
                                       : nIcon == EMsgIcon::Exclamation ? QMessageBox::Warning
                                                                        : QMessageBox::Information;
    // A message box has a close button and no minimise or maximise box.
    QMessageBox box(nBoxIcon, strCaption, strText, QMessageBox::Ok, pOwner,
                    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                        Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    box.setDetailedText(strDetail);
    box.exec();
}

int CMsgBox::Exec(QDialog& dialog)
{
    if (ScriptedDialog())
    {
        dialog.setModal(true);
        dialog.show();
        return ScriptedDialog()(dialog);
    }
    return dialog.exec();
}

void CMsgBox::SetMessageScript(MessageScript pfnScript)
{
    ScriptedMessage() = std::move(pfnScript);
}

void CMsgBox::SetDialogScript(DialogScript pfnScript)
{
    ScriptedDialog() = std::move(pfnScript);
}
