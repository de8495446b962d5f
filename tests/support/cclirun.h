#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

// zint9's command line run in this process, from strFolder, with what it printed kept.
class CCliRun
{
public:
    static int Run(const QStringList& arguments, const QString& strFolder, QString& strOut, QString& strErr);
    // The same with its standard output going into pOut (a full disk, say).
    static int RunInto(std::FILE* pOut, const QStringList& arguments, const QString& strFolder,
                       QString& strErr);
    // What a stream holds, from its start.
    static QString ReadAll(std::FILE* pFile);
};
