#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

class QPainter;

// The strip above the pages: a horizontal gradient with the step's title in bold, the step name
// at the left end and, after the first tab, the description right-aligned at the right end.
class CTitlePage : public QWidget
{
    Q_OBJECT

public:
    explicit CTitlePage(const QString& strText = QString(), QWidget* pParent = nullptr);

    QString Text() const { return m_strText; }
    void SetText(const QString& strText);
    // Draws the whole strip into rc.
    void DrawItem(QPainter& painter, const QRect& rc) const;

    QColor m_clrFrom{138, 171, 199};
    QColor m_clrTo{192, 225, 255};
    QColor m_clrText{0, 0, 0};
    QFont m_fontBold;

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QString m_strText;
};
