#include "cpage1.h"

#include "cdialogbuilder.h"
#include "cmsgbox.h"
#include "cstringtable.h"
#include "cztappdevice.h"

#include <QBitmap>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QSettings>

#include <algorithm>

std::function<bool(QStringList&)> CPage1::s_pfnEnumPorts = &CSerialPort::EnumPorts;

CPage1::CPage1(QWidget* pParent) : QDialog(pParent)
{
    // A child of the frame, not a window of its own (a dialog's constructor makes it one).
    setWindowFlags(Qt::Widget);
    m_bmpPicture = CDialogBuilder::Picture(QStringLiteral("bitmap163"));
    // White is transparent: the page's own background shows through.
    m_bmpPicture.setMask(m_bmpPicture.createMaskFromColor(Qt::white));
    setAccessibleDescription(CDialogBuilder::PictureDescription(QStringLiteral("bitmap163")));
}

bool CPage1::DoDataExchange(bool bSave)
{
    if (bSave && m_cbPort)
        m_strPort = m_cbPort->currentIndex() >= 0 ? m_cbPort->currentText() : QString();
    return true;
}

void CPage1::OnInitDialog()
{
    CDialogBuilder::Build(130, this);
    m_cbPort = findChild<QComboBox*>(QStringLiteral("1007"));
    m_strPort = QSettings().value(QStringLiteral("Settings/ConnectionPort"), QString()).toString();
    FillPortList();
}

void CPage1::FillPortList()
{
    m_cbPort->clear();
    ZTApp().m_Port.Close();
    QStringList names;
    s_pfnEnumPorts(names);
    // The list is sorted as a sorted list control sorts: without regard to case.
    std::stable_sort(names.begin(), names.end(),
                     [](const QString& a, const QString& b)
                     { return a.compare(b, Qt::CaseInsensitive) < 0; });
    m_cbPort->addItems(names);
    m_cbPort->setCurrentIndex(names.isEmpty() ? -1 : 0);
    const int nMatch = int(names.indexOf(m_strPort));
    if (nMatch >= 0 && !m_strPort.isEmpty())
        m_cbPort->setCurrentIndex(nMatch);
}

bool CPage1::Connect()
{
    CZTAppDevice& app = ZTApp();
    DoDataExchange(true);
    app.m_bConnected = false;
    auto fail = [this](int nStringId)
    {
        CMsgBox::Show(this, CStringTable::Load(nStringId), CStringTable::Load(107), EMsgIcon::Stop);
        return false;
    };
    if (m_strPort.isEmpty())
        return fail(152);
    if (!app.m_Port.Open(m_strPort))
        return fail(153);
    if (!app.ReadVersions())
        return fail(154);
    if (!app.ReadImage(app.m_ParamDevice))
        return fail(155);
    app.m_bConnected = true;
    return true;
}

void CPage1::paintEvent(QPaintEvent* pEvent)
{
    QDialog::paintEvent(pEvent);
    QPainter painter(this);
    painter.drawPixmap(10, 10, m_bmpPicture);
}

void CPage1::keyPressEvent(QKeyEvent* pEvent)
{
    // Enter inside the page does nothing; it must not reach the frame's default button.
    if (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter)
    {
        pEvent->accept();
        return;
    }
    QDialog::keyPressEvent(pEvent);
}

void CPage1::reject()
{
    // Escape gives the focus to the frame; the page stays.
    window()->setFocus();
}

void CPage1::contextMenuEvent(QContextMenuEvent* pEvent)
{
    pEvent->ignore();
}
