#include "cmyedit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

bool CMyEdit::TakeCharacter(QChar ch)
{
    m_chDecimal = '.'; // numbers are always read and written with "."
    m_ptCaret = cursorRect().topLeft();
    m_nCaretChar = cursorPosition();
    const QString strText = text();
    if (ch.isDigit() && ch.unicode() < 0x80)
        return true;
    if (ch == u'-')
        return m_nCaretChar == 0 && !strText.startsWith(u'-');
    if (ch == QLatin1Char(m_chDecimal))
    {
        const int nDecimal = int(strText.indexOf(QLatin1Char(m_chDecimal)));
        if (nDecimal < 0)
            return true;
        setCursorPosition(nDecimal + 1); // to just after the point already there
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
