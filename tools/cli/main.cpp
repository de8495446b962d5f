// zint9: configures a ЗИНТ-9 transmitter from the command line.
#include "ccommandline.h"

#include <QCoreApplication>

#include <clocale>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Trelm"));
    QCoreApplication::setApplicationName(QStringLiteral("Конфигуратор ЗИНТ-9"));
    std::setlocale(LC_NUMERIC, "C");
    CCommandLine commandLine(stdout, stderr);
    return commandLine.Run(QCoreApplication::arguments().mid(1));
}
