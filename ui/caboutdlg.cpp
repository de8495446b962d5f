#include "caboutdlg.h"

#include "cdialogbuilder.h"

#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent)
{
    CDialogBuilder::Build(100, this);
    connect(findChild<QPushButton*>(QStringLiteral("1")), &QPushButton::clicked, this, &QDialog::accept);
}
