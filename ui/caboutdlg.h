#pragma once

#include <QDialog>

// The program's icon, description and version.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* pParent = nullptr);
};
