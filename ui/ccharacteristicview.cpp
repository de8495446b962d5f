#include "ccharacteristicview.h"

#include "ccharacteristicpainter.h"

#include <QPainter>

CCharacteristicView::CCharacteristicView(QWidget* pParent) : QWidget(pParent)
{
    setMinimumSize(320, 200);
}

void CCharacteristicView::SetCharacteristic(const COutputCharacteristic& line)
{
    m_line = line;
    update();
}

void CCharacteristicView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().text().color());
    CCharacteristicPainter::Paint(painter, QRectF(rect()), m_line);
}
