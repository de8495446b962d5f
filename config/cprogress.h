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
};
