#pragma once

#include <QDialog>

// The wizard frame.
class CZTDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CZTDlg(QWidget* pParent = nullptr);
};
