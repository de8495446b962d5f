#pragma once

#include <QString>

// What a long operation reports while it runs. This base reports nowhere, so operations run
// headless when no front end supplies a window or a console bar.
class CProgress
{
public:
    virtual ~CProgress() = default;
    virtual void SetText(const QString& /*strText*/) {}
    virtual void SetRange(int /*nMin*/, int /*nMax*/) {}
    virtual void SetStep(int /*nStep*/) {}
    virtual void SetPos(int /*nPos*/) {}
    virtual void StepIt() {}
    // Lets the front end repaint; never waits.
    virtual void PumpMessages() {}

    // How far nPos has come in [nMin, nMax], in percent, not bounded; 0 for an empty range.
    static int Percent(int nPos, int nMin, int nMax)
    {
        const int nSpan = nMax - nMin;
        return nSpan != 0 ? (nPos - nMin) * 100 / nSpan : 0;
    }
    // A bar of nWidth characters, '#' for done and '.' for the rest.
    static QString Bar(int nPercent, int nWidth)
    {
        const int nFilled = qBound(0, nPercent, 100) * nWidth / 100;
        return QString(nFilled, QLatin1Char('#')) + QString(nWidth - nFilled, QLatin1Char('.'));
    }
};
