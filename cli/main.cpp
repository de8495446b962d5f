// zint9: configures a ЗИНТ-9 transmitter from the command line.
#include "capplication.h"
#include "ccommandline.h"

#include <clocale>
#include <cstdio>

namespace
{
// A protocol is drawn, which takes Qt's fonts; the other commands start without them.
bool DrawsPages(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]) == "protocol" || QByteArray(argv[i]).startsWith("--protocols"))
            return true;
    return false;
}
} // namespace

int main(int argc, char* argv[])
{
    const std::unique_ptr<QCoreApplication> pApplication =
        CApplication::Start(argc, argv, DrawsPages(argc, argv));
    std::setlocale(LC_NUMERIC, "C");
#ifndef Q_OS_WIN
    // Qt holds names as UTF-8 text: bytes that are not would name another file, which must never
    // be read or, worse, written in its stead.
    for (int i = 1; i < argc; ++i)
        if (QString::fromUtf8(argv[i]).toUtf8() != QByteArray(argv[i]))
        {
            std::fprintf(stderr, "zint9: аргумент %d не в кодировке UTF-8; переименуйте файл\n", i);
            return COptions::kUsage;
        }
#endif
    CCommandLine commandLine(stdout, stderr);
    return commandLine.Run(QCoreApplication::arguments().mid(1));
}
