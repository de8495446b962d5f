#pragma once

#include <QLineEdit>

// A field in which only a number can be typed or committed by an input method: digits,
// Backspace, a leading minus sign and one decimal point. Text pasted from the context menu or set by the
// program is not filtered; the owner's reading rule copes with it.
class CMyEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit CMyEdit(QWidget* pParent = nullptr) : QLineEdit(pParent) {}

    QPoint m_ptCaret;     // caret position at the last typed character
    int m_nCaretChar = 0; // index of the character at the caret
    char m_chDecimal = '.';

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    void inputMethodEvent(QInputMethodEvent* pEvent) override;

private:
    // Whether a typed character goes in; a second point moves the caret instead.
    bool TakeCharacter(QChar ch);
};
