#include "ctitlepage.h"

#include "cdialogbuilder.h"

#include <QPainter>

CTitlePage::CTitlePage(const QString& strText, QWidget* pParent) : QWidget(pParent)
{
    m_fontBold = CDialogBuilder::TemplateFont();
    m_fontBold.setWeight(QFont::Bold);
    SetText(strText);
}

void CTitlePage::SetText(const QString& strText)
{
    m_strText = strText;
    // The strip draws its text itself; screen readers get both parts as its name.
    const qsizetype nTab = strText.indexOf(u'\t');
    QString strName = nTab > 0 ? strText.left(nTab) + QStringLiteral(": ") + strText.mid(nTab + 1) : strText;
    setAccessibleName(strName.replace(u'\t', u' ').trimmed());
    update();
}

void CTitlePage::DrawItem(QPainter& painter, const QRect& rc) const
{
    const int nLeft = rc.left();
    const int nRight = rc.left() + rc.width(); // exclusive, as a drawing rectangle's right edge
    if (m_strText.isEmpty())
    {
        painter.fillRect(rc, palette().color(QPalette::Button));
        return;
    }
    // Repeated double-precision addition, truncated: the strip's colours depend on it exactly.
    const int nWidth = nRight - nLeft;
    const double dStepR = double(m_clrTo.red() - m_clrFrom.red()) / nWidth;
    const double dStepG = double(m_clrTo.green() - m_clrFrom.green()) / nWidth;
    const double dStepB = double(m_clrTo.blue() - m_clrFrom.blue()) / nWidth;
    double dR = m_clrFrom.red();
    double dG = m_clrFrom.green();
    double dB = m_clrFrom.blue();
    for (int x = nLeft; x < nRight; ++x)
    {
        painter.fillRect(QRect(x, rc.top(), 1, rc.height()), QColor(int(dR), int(dG), int(dB)));
        dR += dStepR;
        dG += dStepG;
        dB += dStepB;
    }
    painter.save();
    painter.setFont(m_fontBold);
    painter.setPen(m_clrText);
    QString strLeft = m_strText;
    const qsizetype nTab = m_strText.indexOf(u'\t');
    const QRect rcText(nLeft + 2, rc.top() + 1, nWidth - 4, rc.height() - 1);
    if (nTab > 0)
    {
        painter.drawText(rcText, Qt::AlignRight | Qt::AlignTop | Qt::TextExpandTabs, m_strText.mid(nTab + 1));
        strLeft = m_strText.left(nTab);
    }
    painter.drawText(rcText, Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, strLeft);
    painter.restore();
}

void CTitlePage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    DrawItem(painter, rect());
}
