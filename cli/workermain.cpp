// zint9-worker: one port's line of a zint9 batch. Started by zint9 only; its job comes on stdin.
#include "cbatchworker.h"
#include "cstopsignal.h"

#include <QCoreApplication>

#include <clocale>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Trelm"));
    QCoreApplication::setApplicationName(QStringLiteral("Конфигуратор ЗИНТ-9"));
    std::setlocale(LC_NUMERIC, "C");
    if (argc > 1)
    {
        std::fputs(
            "zint9-worker: запускается программой zint9 для каждого порта; задание приходит на stdin\n",
            stderr);
        return 2;
    }
    // Killed, its parent leaves a closed pipe behind: that must not kill a unit's write.
    CStopSignal::IgnoreBrokenPipe();
    return CBatchWorker().Run();
}
