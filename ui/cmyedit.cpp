#include "cmyedit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

bool CMyEdit::TakeCharacter(QChar ch)
{
    m_chDecimal = '.'; // numbers are always read and written with "."
    m_ptCaret = cursorRect().topLeft();
    // A typed character replaces the selection: it is judged against the text as it will be,
    // so that "-" typed over a selected field goes in at its start.
    const bool bSelected = hasSelectedText();
    m_nCaretChar = bSelected ? selectionStart() : cursorPosition();
    QString strText = text();
    if (bSelected)
        strText.remove(selectionStart(), selectedText().size());
    if (ch.isDigit() && ch.unicode() < 0x80)
        return true;
    if (ch == u'-')
        return m_nCaretChar == 0 && !strText.startsWith(u'-');
    if (ch == QLatin1Char(m_chDecimal))
    {
        if (!strText.contains(QLatin1Char(m_chDecimal)))
            return true;
        // To just after the point already there, nothing selected.
        setCursorPosition(int(text().indexOf(QLatin1Char(m_chDecimal))) + 1);
    }
    return false;
}

void CMyEdit::keyPressEvent(QKeyEvent* pEvent)
{
    // Control with a letter or Backspace types a control character (cut, copy, paste and undo
    // among them): dropped.
    if ((pEvent->modifiers() & Qt::ControlModifier) &&
        ((pEvent->key() >= Qt::Key_A && pEvent->key() <= Qt::Key_Z) || pEvent->key() == Qt::Key_Backspace))
    {
        pEvent->accept();
        return;
    }
    const QString strTyped = pEvent->text();
    // Keys that type nothing (arrows, Delete, Home, Enter...) keep their normal meaning.
    if (strTyped.isEmpty() || pEvent->key() == Qt::Key_Backspace || pEvent->key() == Qt::Key_Return ||
        pEvent->key() == Qt::Key_Enter || pEvent->key() == Qt::Key_Escape || pEvent->key() == Qt::Key_Tab ||
        pEvent->key() == Qt::Key_Backtab)
    {
        QLineEdit::keyPressEvent(pEvent);
        return;
    }
    if (strTyped.size() == 1 && TakeCharacter(strTyped[0]))
        QLineEdit::keyPressEvent(pEvent);
    else
        pEvent->accept();
}

void CMyEdit::inputMethodEvent(QInputMethodEvent* pEvent)
{
    const QString strCommit = pEvent->commitString();
    if (strCommit.isEmpty())
    {
        QLineEdit::inputMethodEvent(pEvent);
        return;
    }
    // Text an input method commits is filtered one character at a time, as if typed.
    QInputMethodEvent preedit(pEvent->preeditString(), pEvent->attributes());
    QLineEdit::inputMethodEvent(&preedit);
    for (const QChar ch : strCommit)
        if (TakeCharacter(ch))
            insert(QString(ch));
    pEvent->accept();
}
