#include "cmyedit.h"

#include <QKeyEvent>
#include <QLocale>

void CMyEdit::keyPressEvent(QKeyEvent* pEvent)
{
    // Control+letter types a control character (cut, copy, paste and undo among them): dropped.
    if ((pEvent->modifiers() & Qt::ControlModifier) && pEvent->key() >= Qt::Key_A &&
        pEvent->key() <= Qt::Key_Z)
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
    m_chDecimal = '.'; // numbers are always read and written with "."
    m_ptCaret = cursorRect().topLeft();
    m_nCaretChar = cursorPosition();
    const QString strText = text();
    const QChar ch = strTyped.size() == 1 ? strTyped[0] : QChar();
    bool bAccept = false;
    if (ch.isDigit() && ch.unicode() < 0x80)
        bAccept = true;
    else if (ch == u'-')
        bAccept = m_nCaretChar == 0 && !strText.startsWith(u'-');
    else if (ch == QLatin1Char(m_chDecimal))
    {
        const int nDecimal = int(strText.indexOf(QLatin1Char(m_chDecimal)));
        bAccept = nDecimal < 0;
        if (!bAccept)
            setCursorPosition(nDecimal + 1); // to just after the point already there
    }
    if (bAccept)
        QLineEdit::keyPressEvent(pEvent);
    else
        pEvent->accept();
}
