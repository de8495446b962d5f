#include "crecordlocation.h"
#include "cstartoptions.h"
#include "cztapp.h"

#include <QApplication>

#include <cstdio>

namespace
{
const char* const kUsageText =
    "Использование: zint9-configurator [/demo] [--port ПУТЬ] [--trace ФАЙЛ]\n"
    "\n"
    "Параметры:\n"
    "  /demo          первым аргументом: демонстрационный режим, без прибора\n"
    "  --port ПУТЬ    добавить порт в список первой страницы и выбрать его\n"
    "  --trace ФАЙЛ   записывать обмен по линии в ФАЙЛ (или в файл из ZINT9_TRACE)\n"
    "  --help         эта справка\n"
    "  --version      версия программы\n";

} // namespace

int main(int argc, char* argv[])
{
    // Parsed before any window system is needed, so that help, version and a mistyped option are
    // answered on a bare terminal too.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CStartOptions options;
    if (!options.Parse(arguments))
    {
        std::fprintf(stderr, "zint9-configurator: %s\n", options.m_strError.toLocal8Bit().constData());
        return 2;
    }
    if (options.bHelp)
        return std::fputs(kUsageText, stdout) < 0;
    if (options.bVersion)
        return std::puts("zint9-configurator " ZINT9_VERSION) < 0;
    // A record that is neither a file nor a database is a mistake of the set-up, said as early.
    CZTApp::InitSettingsStore();
    QString strError;
    if (!CRecordLocation::Check(QString(), strError))
    {
        std::fprintf(stderr, "zint9-configurator: %s\n", strError.toLocal8Bit().constData());
        return 2;
    }
    QApplication application(argc, argv);
    CZTApp theApp;
    theApp.InitInstance();
    return theApp.ExitInstance();
}
