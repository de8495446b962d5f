// zint9: configures a ЗИНТ-9 transmitter from the command line.
#include "ccommandline.h"

#include <QCoreApplication>

#include <clocale>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Trelm"));
    QCoreApplication::setApplicationName(QStringLiteral("Конфигуратор ЗИНТ-9"));
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
