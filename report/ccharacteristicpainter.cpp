#include "ccharacteristicpainter.h"

#include "cnumbertext.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace
{
// A screen pixel of the drawing where its text is about 15 of them high: the same picture on a
// screen and on a page of 300 dots an inch.
qreal Px(qreal fLine)
{
    return fLine / 15;
}

// The input's span shown: the sensor's whole range where known, and the limits in any case.
void InputSpan(const COutputCharacteristic& line, float& fFrom, float& fTo)
{
    fFrom = qMin(line.fLowLimit, line.fHighLimit);
    fTo = qMax(line.fLowLimit, line.fHighLimit);
    if (line.bSensorKnown)
    {
        fFrom = qMin(fFrom, line.fSensorMin);
        fTo = qMax(fTo, line.fSensorMax);
    }
    const float fMargin = qMax(fTo - fFrom, 1.0f) * 0.05f;
    fFrom -= fMargin;
    fTo += fMargin;
}

QString Value(float fValue, const QString& strUnit)
{
    return strUnit.isEmpty() ? CNumberText::Format(fValue)
                             : CNumberText::Format(fValue) + QLatin1Char(' ') + strUnit;
}

// Where an input and an output are drawn.
struct SMapping
{
    QRectF plot;
    float fFrom = 0, fTo = 1;       // the input's span
    float fOutMin = 0, fOutMax = 1; // the output's, before its margin
    float fOutPad = 0;
    qreal X(float fInput) const { return plot.left() + (fInput - fFrom) / (fTo - fFrom) * plot.width(); }
    qreal Y(float fOutput) const
    {
        return plot.bottom() -
               (fOutput - fOutMin + fOutPad) / (fOutMax - fOutMin + 2 * fOutPad) * plot.height();
    }
};

// The sensor's whole range shaded, the plot's frame, the output range's ends and the input's unit.
void PaintFrame(QPainter& painter, const QRectF& rect, const SMapping& map, const COutputCharacteristic& line,
                qreal fLine)
{
    const QRectF& plot = map.plot;
    if (line.bSensorKnown)
    {
        const QRectF band(QPointF(map.X(line.fSensorMin), plot.top()),
                          QPointF(map.X(line.fSensorMax), plot.bottom()));
        QColor shade = painter.pen().color();
        shade.setAlphaF(0.08f);
        painter.fillRect(band, shade);
        painter.drawText(
            QRectF(plot.left(), plot.bottom() + 0.2 * fLine, plot.width(), fLine), Qt::AlignCenter,
            QStringLiteral("диапазон датчика: %1…%2")
                .arg(CNumberText::Format(line.fSensorMin), Value(line.fSensorMax, line.strInputUnit)));
    }
    painter.drawRect(plot);
    for (const float fEnd : {line.fOutLow, line.fOutHigh})
        painter.drawText(
            QRectF(rect.left(), map.Y(fEnd) - fLine / 2, plot.left() - rect.left() - 4 * Px(fLine), fLine),
            Qt::AlignRight | Qt::AlignVCenter, Value(fEnd, line.strOutputUnit));
    painter.drawText(QRectF(plot.left(), plot.bottom() + 1.3 * fLine, plot.width(), fLine), Qt::AlignCenter,
                     line.strInputUnit.isEmpty() ? QStringLiteral("вход")
                                                 : QStringLiteral("вход, ") + line.strInputUnit);
}

void PaintFailure(QPainter& painter, const SMapping& map, const COutputCharacteristic& line, qreal fLine)
{
    const QPen pen = painter.pen();
    painter.setPen(QPen(pen.color(), Px(fLine), Qt::DashLine));
    const qreal fY = map.Y(line.fFail);
    painter.drawLine(QPointF(map.plot.left(), fY), QPointF(map.plot.right(), fY));
    painter.setPen(pen);
    // Above its line, or below it where the plot's top is near.
    const qreal fTop = fY - fLine < map.plot.top() + Px(fLine) ? fY + Px(fLine) : fY - fLine;
    painter.drawText(QRectF(map.plot.left() + 4 * Px(fLine), fTop, map.plot.width() - 8 * Px(fLine), fLine),
                     Qt::AlignRight, QStringLiteral("авария: ") + Value(line.fFail, line.strOutputUnit));
}

// The characteristic itself, its two limits marked and labelled.
void PaintLine(QPainter& painter, const SMapping& map, const COutputCharacteristic& line, qreal fLine)
{
    const QPen pen = painter.pen();
    painter.setPen(QPen(pen.color(), 2 * Px(fLine)));
    painter.save();
    painter.setClipRect(map.plot); // a thick line ends at the frame
    QPainterPath path(QPointF(map.X(map.fFrom), map.Y(line.OutputAt(map.fFrom))));
    for (const float fInput :
         {qMin(line.fLowLimit, line.fHighLimit), qMax(line.fLowLimit, line.fHighLimit), map.fTo})
        path.lineTo(QPointF(map.X(fInput), map.Y(line.OutputAt(fInput))));
    painter.drawPath(path);
    painter.restore();
    painter.setPen(pen);
    const QFontMetricsF metrics(painter.font());
    for (const bool bLow : {true, false})
    {
        const float fInput = bLow ? line.fLowLimit : line.fHighLimit;
        const float fOutput = bLow ? line.fOutLow : line.fOutHigh;
        const QPointF point(map.X(fInput), map.Y(fOutput));
        const qreal fPx = Px(fLine);
        painter.drawEllipse(point, 3 * fPx, 3 * fPx);
        const QString strLabel =
            Value(fInput, line.strInputUnit) + QStringLiteral(" → ") + Value(fOutput, line.strOutputUnit);
        const qreal fWidth = metrics.horizontalAdvance(strLabel) + 2;
        // Below and right of its point, where the line is not; where that runs out of the plot,
        // the low end's goes below and left, the high end's above and left.
        QRectF label(point.x() + 6 * fPx, point.y() + 4 * fPx, fWidth, fLine);
        if (label.right() > map.plot.right())
            label.moveTopRight(
                QPointF(point.x() - 6 * fPx, bLow ? point.y() + 4 * fPx : point.y() - fLine - 4 * fPx));
        // Nor across the failure line: then above and left, where the line is not either.
        const qreal fFailY = map.Y(line.fFail);
        if (label.top() - fPx < fFailY && fFailY < label.bottom() + fPx)
            label.moveBottomRight(QPointF(point.x() - 6 * fPx, point.y() - 4 * fPx));
        painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, strLabel);
    }
}
} // namespace

void CCharacteristicPainter::Paint(QPainter& painter, const QRectF& rect, const COutputCharacteristic& line)
{
    const QFontMetricsF metrics(painter.font());
    const qreal fLine = metrics.height();
    SMapping map;
    map.plot = rect.adjusted(metrics.horizontalAdvance(QStringLiteral("-10.5 мА")) + fLine, fLine, -fLine,
                             -2.5 * fLine);
    InputSpan(line, map.fFrom, map.fTo);
    map.fOutMin = std::min({line.fOutLow, line.fOutHigh, line.fFail, 0.0f});
    map.fOutMax = std::max({line.fOutLow, line.fOutHigh, line.fFail});
    map.fOutPad = qMax(map.fOutMax - map.fOutMin, 1.0f) * 0.08f;
    PaintFrame(painter, rect, map, line, fLine);
    PaintFailure(painter, map, line, fLine);
    PaintLine(painter, map, line, fLine);
}
