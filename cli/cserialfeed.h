#pragma once

#include "cterminalecho.h"

#include <QString>
#include <QStringList>

// The serials of --serials: a file's lines, or standard input's ("-"), one serial a line, as a
// bar-code scanner types them. Standard input is read on a thread of its own and its lines are
// taken as they come; a terminal's echo is off meanwhile.
class CSerialFeed
{
public:
    // False with strError when the file cannot be read.
    bool Open(const QString& strSource, QString& strError);
    // The lines that have come since, blank ones left out, each trimmed.
    QStringList Take();
    // Every line has been taken, and no more will come.
    bool Ended();
    bool FromTerminal() const { return m_bTerminal; }

private:
    QStringList m_lines; // a file's, not yet taken
    bool m_bStdin = false;
    bool m_bTerminal = false;
    CTerminalEcho m_echo;
};
