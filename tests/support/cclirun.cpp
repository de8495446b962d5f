#include "cclirun.h"

#include "ccommandline.h"

int CCliRun::Run(const QStringList& arguments, const QString& strFolder, QString& strOut, QString& strErr)
{
    std::FILE* pOut = std::tmpfile();
    const int nExit = RunInto(pOut, arguments, strFolder, strErr);
    strOut = ReadAll(pOut);
    std::fclose(pOut);
    return nExit;
}

int CCliRun::RunInto(std::FILE* pOut, const QStringList& arguments, const QString& strFolder, QString& strErr)
{
    std::FILE* pErr = std::tmpfile();
    int nExit = 0;
    {
        // Gone before its output is read: whatever it buffers is flushed by then.
        CCommandLine commandLine(pOut, pErr, strFolder);
        nExit = commandLine.Run(arguments);
    }
    strErr = ReadAll(pErr);
    std::fclose(pErr);
    return nExit;
}

QString CCliRun::ReadAll(std::FILE* pFile)
{
    std::fflush(pFile);
    std::rewind(pFile);
    QByteArray content;
    char buffer[4096];
    size_t nRead = 0;
    while ((nRead = std::fread(buffer, 1, sizeof(buffer), pFile)) > 0)
        content.append(buffer, qsizetype(nRead));
    return QString::fromUtf8(content);
}
