#include "cdlgcharacteristic.h"

#include "ccharacteristicview.h"
#include "ccontrolid.h"
#include "cdialogbuilder.h"
#include "cmyedit.h"
#include "cnumbertext.h"
#include "cpage2.h"
#include "cztappdevice.h"

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

CDlgCharacteristic::CDlgCharacteristic(CPage2& page, QWidget* pParent) : QDialog(pParent), m_page(page)
{
    CDialogBuilder::Build(
        136, this,
        [](const CDialogBuilder::SControl& control, QWidget* pParent) -> QWidget*
        { return control.strKind == QLatin1String("chart") ? new CCharacteristicView(pParent) : nullptr; });
    m_pView = findChild<CCharacteristicView*>(CControlId::Name(CControlId::kChart));
    m_pNote = findChild<QLabel*>(CControlId::Name(CControlId::kChartNote));
    m_pView->setAccessibleName(QStringLiteral("Характеристика выхода"));
    connect(findChild<QPushButton*>(CControlId::Name(CControlId::kCancel)), &QPushButton::clicked, this,
            &QDialog::reject);
    for (CMyEdit* pField : {page.m_edLowLimit, page.m_edHighLimit, page.m_edFailOutput})
        connect(pField, &CMyEdit::textChanged, this, &CDlgCharacteristic::Follow);
    Follow();
}

CDlgCharacteristic* CDlgCharacteristic::Open(CPage2& page, QWidget* pParent)
{
    static QPointer<CDlgCharacteristic> s_pOpen;
    if (!s_pOpen)
    {
        s_pOpen = new CDlgCharacteristic(page, pParent);
        s_pOpen->setAttribute(Qt::WA_DeleteOnClose);
    }
    s_pOpen->show();
    s_pOpen->raise();
    s_pOpen->activateWindow();
    return s_pOpen;
}

void CDlgCharacteristic::Follow()
{
    CParamZT01 image = ZTApp().m_ParamEdit;
    m_line = COutputCharacteristic::Of(ZTApp(), image);
    const struct
    {
        CMyEdit* pField;
        float* pValue;
        const char* pszName;
    } fields[] = {{m_page.m_edLowLimit, &m_line.fLowLimit, "нижняя граница"},
                  {m_page.m_edHighLimit, &m_line.fHighLimit, "верхняя граница"},
                  {m_page.m_edFailOutput, &m_line.fFail, "выход при аварии"}};
    QStringList unread;
    for (const auto& field : fields)
    {
        float fValue = 0;
        if (CNumberText::ParseField(field.pField->text(), fValue))
            *field.pValue = fValue;
        else
            unread << QString::fromUtf8(field.pszName);
    }
    m_pView->SetCharacteristic(m_line);
    m_pNote->setText(
        unread.isEmpty()
            ? QStringLiteral("Выход с настройками страницы; в прибор они попадут после «Записать».")
            : QStringLiteral("Не число: %1; показано то, что хранится.")
                  .arg(unread.join(QStringLiteral(", "))));
}
