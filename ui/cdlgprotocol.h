#pragma once

#include "cprotocol.h"

#include <QDialog>

#include <functional>

class CRecordJournal;
class CRecordKeeper;
class QPrinter;

// «Протокол настройки» of the unit in hand: its page as it will print, saved as a PDF or
// printed through the print dialog.
class CDlgProtocol : public QDialog
{
    Q_OBJECT

public:
    CDlgProtocol(const CProtocol& protocol, QWidget* pParent);
    // Of the unit's latest write while it holds what that gave it, else of its state as read
    // (the last entry this wizard made, journal); said why where the record has neither.
    static void ShowForUnit(CRecordKeeper& keeper, const CRecordJournal& journal, QWidget* pOwner);
    // The work of the two buttons, for a file or a printer already chosen; false after saying why.
    bool SaveTo(const QString& strPath);
    bool PrintOn(QPrinter& printer);
    void OnSave();
    void OnPrint();
    const CProtocol& Protocol() const { return m_protocol; }

    // Stand in for the file dialog (the name suggested given, empty to cancel) and the print
    // dialog (true to print), where set (tests).
    static std::function<QString(const QString& strSuggested)> s_pfnChoose;
    static std::function<bool(QPrinter& printer)> s_pfnPrintDialog;

private:
    void Warn(const QString& strText);

    CProtocol m_protocol;
};
