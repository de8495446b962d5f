#pragma once

#include "coutputcharacteristic.h"

#include <QRectF>

class QPainter;

// The output characteristic drawn: the output against the input across the sensor's range
// (marked), the values at the two conversion limits labelled, the failure output as a dashed
// line. The wizard's window and the configuration protocol draw it alike.
class CCharacteristicPainter
{
public:
    // Draws into rect with the painter's font and pen colour; its sizes follow the font's.
    static void Paint(QPainter& painter, const QRectF& rect, const COutputCharacteristic& line);
};
