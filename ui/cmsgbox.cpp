#include "cmsgbox.h"

#include <QDialog>
#include <QGridLayout>
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

const char* const kAnswer = "zint9Answer"; // a question's button: the index of its answer

CMsgBox::DialogScript& ScriptedDialog()
{
    static CMsgBox::DialogScript s_pfnScript;
    return s_pfnScript;
}
} // namespace

std::unique_ptr<QMessageBox> CMsgBox::Box(const SRecord& record)
{
    const QMessageBox::Icon nBoxIcon = record.nIcon == EMsgIcon::Stop          ? QMessageBox::Critical
                                       : record.nIcon == EMsgIcon::Exclamation ? QMessageBox::Warning
                                                                               : QMessageBox::Information;
    // A message box has a close button and no minimise or maximise box.
    auto pBox = std::make_unique<QMessageBox>(
        nBoxIcon, record.strCaption, record.strText,
        record.buttons.isEmpty() ? QMessageBox::Ok : QMessageBox::NoButton, record.pOwner, kBoxFlags);
    pBox->setDetailedText(record.strDetail);
    QList<QAbstractButton*> answers;
    for (const QString& strButton : record.buttons)
    {
        const bool bLast = answers.size() + 1 == record.buttons.size();
        answers << pBox->addButton(strButton, bLast ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        answers.last()->setProperty(kAnswer, int(answers.size() - 1)); // the box orders them its own way
    }
    if (!answers.isEmpty())
    {
        pBox->setDefaultButton(qobject_cast<QPushButton*>(answers.first()));
        pBox->setEscapeButton(answers.last());
    }
    // The window manager draws the caption across the box's width: a box narrower than its
    // caption would show it cut («Конфи…»). Room is left for a larger title font and the buttons.
    const QFontMetrics metrics(pBox->font());
    const int nCaption = metrics.horizontalAdvance(record.strCaption) * 3 / 2 + 6 * metrics.height();
    if (auto* pGrid = qobject_cast<QGridLayout*>(pBox->layout()))
        pGrid->addItem(new QSpacerItem(nCaption, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                       pGrid->rowCount(), 0, 1, pGrid->columnCount());
    return pBox;
}

void CMsgBox::Show(QWidget* pOwner, const QString& strText, const QString& strCaption, EMsgIcon nIcon,
                   const QString& strDetail)
{
    const SRecord record{strText, strCaption, nIcon, pOwner, strDetail, {}};
    if (ScriptedMessage())
    {
        ScriptedMessage()(record);
        return;
    }
    Box(record)->exec();
}

int CMsgBox::Ask(QWidget* pOwner, const QString& strText, const QString& strCaption,
                 const QStringList& buttons)
{
    const SRecord record{strText, strCaption, EMsgIcon::Exclamation, pOwner, QString(), buttons};
    if (ScriptedQuestion())
        return ScriptedQuestion()(record);
    const std::unique_ptr<QMessageBox> pBox = Box(record);
    pBox->exec();
    const QAbstractButton* pChosen = pBox->clickedButton();
    return pChosen ? pChosen->property(kAnswer).toInt() : int(buttons.size()) - 1;
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
