#pragma once

#include "cuihooks.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QDialog;
class QMessageBox;
class QWidget;

// The one seam through which every modal message box and modal dialog runs. A test installs a
// script that answers at once and records what was shown; no test waits on a real modal loop.
class CMsgBox
{
public:
    struct SRecord
    {
        QString strText;
        QString strCaption;
        EMsgIcon nIcon = EMsgIcon::Information;
        QWidget* pOwner = nullptr;
        QString strDetail;   // the box's detailed text; none when empty
        QStringList buttons; // a question's answers, the first the default, the last Escape's
    };
    using MessageScript = std::function<void(const SRecord& record)>;
    // Answers a question: the index of the button chosen.
    using QuestionScript = std::function<int(const SRecord& record)>;
    // Gets the dialog after its initialisation; returns the result the dialog ends with.
    using DialogScript = std::function<int(QDialog& dialog)>;

    // A message box with an OK button; strDetail, when given, behind its details button.
    static void Show(QWidget* pOwner, const QString& strText, const QString& strCaption, EMsgIcon nIcon,
                     const QString& strDetail = QString());
    // A question with the given answers; returns the index of the one chosen (Escape and the
    // close button choose the last).
    static int Ask(QWidget* pOwner, const QString& strText, const QString& strCaption,
                   const QStringList& buttons);
    // The box Show (no buttons given) or Ask runs for record, not yet shown.
    static std::unique_ptr<QMessageBox> Box(const SRecord& record);
    // Runs a dialog modally; returns its result.
    static int Exec(QDialog& dialog);

    static void SetMessageScript(MessageScript pfnScript);
    static void SetDialogScript(DialogScript pfnScript);
    static void SetQuestionScript(QuestionScript pfnScript);
};
