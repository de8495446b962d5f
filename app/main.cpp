#include "cztapp.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

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

bool IsOption(int argc, char* argv[], const char* pszName)
{
    for (int i = 1; i < argc; ++i)
    {
        const bool bValue =
            std::strcmp(argv[i - 1], "--port") == 0 || std::strcmp(argv[i - 1], "--trace") == 0;
        if (!bValue && std::strcmp(argv[i], pszName) == 0)
            return true;
    }
    return false;
}
} // namespace

int main(int argc, char* argv[])
{
    // Answered before any window system is needed, so that they work on a bare terminal too.
    if (IsOption(argc, argv, "--help") || IsOption(argc, argv, "-h"))
        return std::fputs(kUsageText, stdout) < 0;
    if (IsOption(argc, argv, "--version"))
        return std::puts("zint9-configurator " ZINT9_VERSION) < 0;
    QApplication application(argc, argv);
    CZTApp theApp;
    theApp.InitInstance();
    return theApp.ExitInstance();
}
