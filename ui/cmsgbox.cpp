#include "cmsgbox.h"

#include <QDialog>
#include <QMessageBox>
#include <QPushButton>

namespace
{
CMsgBox::MessageScript& ScriptedMessage()
{
    static CMsgBox::MessageScript s_pfnScript;
    return s_pfnScript;
}

CMsgBox::QuestionScript& ScriptedQuestion()
{
    static CMsgBox::QuestionScript s_pfnScript;
    return s_pfnScript;
}

constexpr Qt::WindowFlags kBoxFlags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                      Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                      Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

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
        ScriptedMessage()({strText, strCaption, nIcon, pOwner, strDetail, {}});
        return;
    }
    const QMessageBox::Icon nBoxIcon = nIcon == EMsgIcon::Stop          ? QMessageBox::Critical
                                       : nIcon == EMsgIcon::Exclamation ? QMessageBox::Warning
                                                                        : QMessageBox::Information;
    // A message box has a close button and no minimise or maximise box.
    QMessageBox box(nBoxIcon, strCaption, strText, QMessageBox::Ok, pOwner, kBoxFlags);
    box.setDetailedText(strDetail);
    box.exec();
}

int CMsgBox::Ask(QWidget* pOwner, const QString& strText, const QString& strCaption,
                 const QStringList& buttons)
{
    if (ScriptedQuestion())
        return ScriptedQuestion()({strText, strCaption, EMsgIcon::Exclamation, pOwner, QString(), buttons});
    QMessageBox box(QMessageBox::Warning, strCaption, strText, QMessageBox::NoButton, pOwner, kBoxFlags);
    QList<QAbstractButton*> answers;
    for (const QString& strButton : buttons)
        answers << box.addButton(strButton, answers.size() + 1 == buttons.size() ? QMessageBox::RejectRole
                                                                                 : QMessageBox::AcceptRole);
    if (!answers.isEmpty())
    {
        box.setDefaultButton(qobject_cast<QPushButton*>(answers.first()));
        box.setEscapeButton(answers.last());
    }
    box.exec();
    const qsizetype nChosen = answers.indexOf(box.clickedButton());
    return int(nChosen < 0 ? answers.size() - 1 : nChosen);
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

void CMsgBox::SetQuestionScript(QuestionScript pfnScript)
{
    ScriptedQuestion() = std::move(pfnScript);
}

void CMsgBox::SetDialogScript(DialogScript pfnScript)
{
    ScriptedDialog() = std::move(pfnScript);
}
