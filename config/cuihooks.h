#pragma once

#include "cprogress.h"

#include <QString>

#include <functional>
#include <memory>

enum class EMsgIcon
{
    Information,
    Exclamation,
    Stop,
};

// What the lower layers need of a front end. The wizard, the command line and the tests each
// install their own; an empty hook means the front end offers nothing there.
struct CUiHooks
{
    // A modal message with an OK button.
    std::function<void(const QString& strText, const QString& strCaption, EMsgIcon nIcon)> m_pfnMessage;
    // A progress display for one operation; it closes when the returned object is destroyed.
    std::function<std::unique_ptr<CProgress>()> m_pfnCreateProgress;
    // The parameters page's data exchange: true stores the controls into the working record (false
    // when a value is refused), false fills the controls from it. Empty while there is no page.
    std::function<bool(bool bSave)> m_pfnPageExchange;
    // Told before each block of a write goes out, and again once the unit has acknowledged it:
    // a watcher that outlives the process knows how far the write got.
    std::function<void(int nAddress, bool bAcknowledged)> m_pfnWriteBlock;
};
