#pragma once

#include <functional>

class CPage2;
class CRecordJournal;
class CRecordKeeper;
class QMenu;
class QWidget;

// The frame's menu (its system menu, a right click, Shift+F10): the unit's history, its
// configuration files, its output characteristic and its protocol, and «О программе».
class CFrameMenu
{
public:
    struct SFrame
    {
        QWidget& owner;
        CPage2& page;
        CRecordKeeper& keeper;
        CRecordJournal& journal;
        bool bParameters; // the parameters page shows: a unit is in hand
        std::function<void()> pfnHistory;
        std::function<void()> pfnAbout;
    };
    // A new menu, owned by the frame's window.
    static QMenu* Create(const SFrame& frame);
};
