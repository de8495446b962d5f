#include "caboutdlg.h"
#include "ccontrolid.h"

#include "cdialogbuilder.h"

#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent)
{
    CDialogBuilder::Build(100, this);
    connect(findChild<QPushButton*>(CControlId::Name(CControlId::kOk)), &QPushButton::clicked, this,
            &QDialog::accept);
}
