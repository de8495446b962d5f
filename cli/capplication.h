#pragma once

#include <QCoreApplication>

#include <memory>

// The Qt application of zint9 and its worker: a plain one, or where pages are drawn (a
// protocol) one with Qt's fonts on the offscreen platform, for no window is ever shown and a
// terminal without a display draws the same page.
class CApplication
{
public:
    static std::unique_ptr<QCoreApplication> Start(int& argc, char* argv[], bool bDraws);
};
