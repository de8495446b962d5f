#include "cpage1.h"
#include "ccontrolid.h"

#include "cdialogbuilder.h"
#include "cfailuretext.h"
#include "cmsgbox.h"
#include "cstringtable.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <QAbstractItemView>
#include <QBitmap>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QSettings>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTimer>

#include <algorithm>

std::function<bool(QList<CSerialPort::SPortInfo>&)> CPage1::s_pfnEnumPorts = &CSerialPort::EnumPortDetails;

namespace
{
constexpr int kPortPollMs = 1000;
} // namespace

CPage1::CPage1(QWidget* pParent) : QDialog(pParent)
{
    // A child of the frame, not a window of its own (a dialog's constructor makes it one).
    setWindowFlags(Qt::Widget);
    m_bmpPicture = CDialogBuilder::Picture(QStringLiteral("bitmap163"));
    // White is transparent: the page's own background shows through.
    m_bmpPicture.setMask(m_bmpPicture.createMaskFromColor(Qt::white));
    setAccessibleDescription(CDialogBuilder::PictureDescription(QStringLiteral("bitmap163")));
    m_pPortTimer = new QTimer(this);
    m_pPortTimer->setInterval(kPortPollMs);
    connect(m_pPortTimer, &QTimer::timeout, this, &CPage1::RefreshPortList);
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
    m_cbPort = findChild<QComboBox*>(CControlId::Name(CControlId::kPortList));
    m_nPortWidth = m_cbPort->width();
    // The selected entry's details show when the pointer rests on the closed list too.
    connect(m_cbPort, &QComboBox::currentIndexChanged, this,
            [this](int nIndex)
            { m_cbPort->setToolTip(m_cbPort->itemData(nIndex, Qt::ToolTipRole).toString()); });
    m_strPort = QSettings().value(QStringLiteral("Settings/ConnectionPort"), QString()).toString();
    if (!m_strGivenPort.isEmpty())
        m_strPort = m_strGivenPort;
    FillPortList();
}

QString CPage1::PortToolTip(const CSerialPort::SPortInfo& info)
{
    // The full path first: the closed box is narrower than a long name.
    QStringList lines{info.strLocation.isEmpty() ? info.strName : info.strLocation};
    if (!info.strDescription.isEmpty())
        lines << info.strDescription;
    if (!info.strManufacturer.isEmpty())
        lines << QStringLiteral("Изготовитель: ") + info.strManufacturer;
    if (!info.strSerialNumber.isEmpty())
        lines << QStringLiteral("Серийный номер: ") + info.strSerialNumber;
    return lines.join(QLatin1Char('\n'));
}

QList<CSerialPort::SPortInfo> CPage1::ListPorts() const
{
    QList<CSerialPort::SPortInfo> ports;
    s_pfnEnumPorts(ports);
    const bool bListed =
        std::any_of(ports.cbegin(), ports.cend(),
                    [this](const CSerialPort::SPortInfo& info) { return info.strName == m_strGivenPort; });
    if (!m_strGivenPort.isEmpty() && !bListed)
        ports.append({m_strGivenPort, m_strGivenPort, {}, {}, {}});
    // The list is sorted as a sorted list control sorts: without regard to case.
    std::stable_sort(ports.begin(), ports.end(),
                     [](const CSerialPort::SPortInfo& a, const CSerialPort::SPortInfo& b)
                     { return a.strName.compare(b.strName, Qt::CaseInsensitive) < 0; });
    return ports;
}

void CPage1::SetPorts(const QList<CSerialPort::SPortInfo>& ports, const QString& strSelect)
{
    m_cbPort->clear();
    for (const CSerialPort::SPortInfo& info : ports)
    {
        m_cbPort->addItem(info.strName);
        m_cbPort->setItemData(m_cbPort->count() - 1, PortToolTip(info), Qt::ToolTipRole);
    }
    // The drop-down shows every entry whole, however narrow the box in the template.
    QAbstractItemView* pView = m_cbPort->view();
    const QFontMetrics metrics(pView->font());
    int nWidest = 0;
    for (const CSerialPort::SPortInfo& info : ports)
        nWidest = qMax(nWidest, metrics.horizontalAdvance(info.strName));
    const QStyle* pStyle = pView->style();
    pView->setMinimumWidth(nWidest + 2 * metrics.averageCharWidth() +
                           2 * pStyle->pixelMetric(QStyle::PM_DefaultFrameWidth) +
                           pStyle->pixelMetric(QStyle::PM_ScrollBarExtent));
    // The box itself grows to the right for a long name, as far as the page allows.
    QStyleOptionComboBox option;
    option.initFrom(m_cbPort);
    const int nNeeded =
        m_cbPort->style()
            ->sizeFromContents(QStyle::CT_ComboBox, &option, QSize(nWidest, m_cbPort->height()), m_cbPort)
            .width();
    const int nRoom = width() - m_cbPort->x() - m_cbPort->x() / 10;
    m_cbPort->resize(qBound(m_nPortWidth, nNeeded, qMax(m_nPortWidth, nRoom)), m_cbPort->height());
    m_cbPort->setCurrentIndex(ports.isEmpty() ? -1 : 0);
    const int nMatch = m_cbPort->findText(strSelect, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (nMatch >= 0 && !strSelect.isEmpty())
        m_cbPort->setCurrentIndex(nMatch);
}

void CPage1::FillPortList()
{
    m_cbPort->clear();
    ZTApp().m_Port.Close();
    SetPorts(ListPorts(), m_strPort);
}

void CPage1::RefreshPortList()
{
    // Not while a transfer runs on the chosen port (its progress window disables the frame), nor
    // under the engineer's hand while the list is dropped down.
    if (!m_cbPort || !window()->isEnabled() || m_cbPort->view()->isVisible())
        return;
    const QList<CSerialPort::SPortInfo> ports = ListPorts();
    bool bSame = ports.size() == m_cbPort->count();
    for (int i = 0; bSame && i < m_cbPort->count(); ++i)
        bSame = m_cbPort->itemText(i) == ports[i].strName &&
                m_cbPort->itemData(i, Qt::ToolTipRole).toString() == PortToolTip(ports[i]);
    if (bSame)
        return;
    const QString strCurrent = m_cbPort->currentIndex() >= 0 ? m_cbPort->currentText() : QString();
    const bool bStillThere =
        std::any_of(ports.cbegin(), ports.cend(),
                    [&](const CSerialPort::SPortInfo& info) { return info.strName == strCurrent; });
    SetPorts(ports, bStillThere ? strCurrent : m_strPort);
}

bool CPage1::Connect()
{
    CZTAppDevice& app = ZTApp();
    DoDataExchange(true);
    app.m_bConnected = false;
    if (m_strPort.isEmpty())
    {
        CMsgBox::Show(this, CStringTable::Load(152), CStringTable::Load(107), EMsgIcon::Stop);
        return false;
    }
    CWriteSession session(app, m_pJournal);
    if (session.Connect(m_strPort))
        return true;
    ShowConnectFailure(this, session.Failure());
    return false;
}

void CPage1::ShowConnectFailure(QWidget* pOwner, const CFailure& failure, const QString& strMore)
{
    const int nText = CFailureText::MessageId(failure);
    QString strDetail =
        failure.m_nStep == CFailure::EStep::Open ? failure.m_strDetail : CFailureText::Describe(failure);
    if (!strMore.isEmpty())
        strDetail += (strDetail.isEmpty() ? QString() : QStringLiteral("\n")) + strMore;
    CMsgBox::Show(pOwner, CStringTable::Load(nText), CStringTable::Load(107), EMsgIcon::Stop, strDetail);
}

void CPage1::paintEvent(QPaintEvent* pEvent)
{
    QDialog::paintEvent(pEvent);
    QPainter painter(this);
    painter.drawPixmap(10, 10, m_bmpPicture);
}

void CPage1::showEvent(QShowEvent* pEvent)
{
    QDialog::showEvent(pEvent);
    m_pPortTimer->start();
}

void CPage1::hideEvent(QHideEvent* pEvent)
{
    m_pPortTimer->stop();
    QDialog::hideEvent(pEvent);
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
