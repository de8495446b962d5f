#include "cztdlg.h"

#include "cdialogbuilder.h"
#include "cstringtable.h"
#include "cztappdevice.h"

CZTDlg::CZTDlg(QWidget* pParent) : QDialog(pParent)
{
    CDialogBuilder::Build(102, this);
    if (ZTApp().m_Port.m_bDemo)
        setWindowTitle(QStringLiteral("Конфигуратор ЗИНТ-9. Демонстрационный режим"));
}
