#pragma once

#include "coutputcharacteristic.h"

#include <QWidget>

class QPainter;

// The output characteristic drawn: the output against the input across the sensor's range
// (marked), the values at the two conversion limits labelled, the failure output as a dashed
// line. The same drawing goes into the configuration protocol.
class CCharacteristicView : public QWidget
{
    Q_OBJECT

public:
    explicit CCharacteristicView(QWidget* pParent = nullptr);
    void SetCharacteristic(const COutputCharacteristic& line);
    const COutputCharacteristic& Characteristic() const { return m_line; }
    // Draws into rect with the painter's font and pen colour.
    static void Paint(QPainter& painter, const QRectF& rect, const COutputCharacteristic& line);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    COutputCharacteristic m_line;
};
