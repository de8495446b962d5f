#include "cprotocolview.h"

#include "cprotocolpage.h"

#include <QPainter>

CProtocolView::CProtocolView(QWidget* pParent) : QWidget(pParent)
{
    setMinimumSize(210, 297);
}

void CProtocolView::SetProtocol(const CProtocol& protocol, const CZTAppConfig& app)
{
    m_protocol = protocol;
    m_pApp = &app;
    Render();
}

void CProtocolView::resizeEvent(QResizeEvent*)
{
    Render();
}

void CProtocolView::Render()
{
    if (!m_pApp)
        return;
    // The sheet at the widget's size, drawn at the dots an inch that gives: the same page as
    // printed, its type smaller.
    const qreal fRatio = devicePixelRatioF();
    const qreal fWidthMm = CProtocolPage::kWidthMm, fHeightMm = CProtocolPage::kHeightMm;
    const qreal fScale = qMin(width() / fWidthMm, height() / fHeightMm) * fRatio; // pixels a mm
    const QSize size(qRound(fWidthMm * fScale), qRound(fHeightMm * fScale));
    m_page = QImage(size, QImage::Format_RGB32);
    const int nDotsPerMetre = qRound(fScale * 1000);
    m_page.setDotsPerMeterX(nDotsPerMetre);
    m_page.setDotsPerMeterY(nDotsPerMetre);
    QPainter painter(&m_page);
    painter.setRenderHint(QPainter::Antialiasing);
    CProtocolPage::Paint(painter, QRectF(QPointF(0, 0), size), fScale * 25.4, m_protocol, *m_pApp);
    painter.end();
    m_page.setDevicePixelRatio(fRatio);
    update();
}

void CProtocolView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (m_page.isNull())
        return;
    const QSizeF shown = m_page.deviceIndependentSize();
    const QPointF at((width() - shown.width()) / 2, (height() - shown.height()) / 2);
    painter.drawImage(at, m_page);
    painter.setPen(palette().mid().color());
    painter.drawRect(QRectF(at, shown).adjusted(0, 0, -1, -1));
}
