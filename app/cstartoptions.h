#pragma once

#include <QString>
#include <QStringList>

// The configurator's command line, parsed once before any window system is needed: a first
// argument of exactly "/demo", --port PATH, --trace FILE, --help and --version. The options Qt
// itself takes (-platform, -style, …) are let through to it.
class CStartOptions
{
public:
    // arguments with the program's name first. False with m_strError on an unknown option or an
    // option without its value.
    bool Parse(const QStringList& arguments);
    // Only a first argument of exactly "/demo" selects demonstration mode.
    static bool IsDemo(const QStringList& arguments);

    bool bDemo = false;
    bool bHelp = false;
    bool bVersion = false;
    QString strPort;
    QString strTrace;
    QString m_strError;
};
