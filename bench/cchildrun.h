#pragma once

#include <QString>
#include <QStringList>

// A program run to its end with its output thrown away (its messages go to this program's error
// stream), and what it took: the time, and its own peak resident size, not that of any other
// child of this program.
class CChildRun
{
public:
    // False when it could not be started or did not exit with status 0.
    bool Run(const QString& strProgram, const QStringList& arguments);

    double m_dSeconds = 0;
    double m_dPeakMb = 0;
};
