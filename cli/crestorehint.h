#pragma once

#include <QString>

class COptions;

// The zint9 restore command that puts back what a cut write left, as it can be pasted into a
// shell: the port (or --demo), the entry, and the record where it is not the user's own file,
// never with a password (~/.pgpass or the service file gives it).
class CRestoreHint
{
public:
    // strPort empty for the demonstration image; strEntry the cut write's, empty when unknown.
    static QString Command(const COptions& options, const QString& strPort, const QString& strEntry);
    // The --record value the command carries for the options' record; empty for the user's file.
    static QString Record(const COptions& options);
    // The value a port's worker prints: the run's record, or where that is a plant's, whose
    // address a worker never gets, the local file strLocal that its entries go into first.
    static QString ForWorker(const COptions& options, const QString& strLocal);

private:
    // One word for a POSIX shell: quoted unless it holds only characters no shell treats apart.
    static QString Quoted(const QString& strWord);
};
