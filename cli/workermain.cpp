// zint9-worker: one port's line of a zint9 batch. Started by zint9 only; its job comes on stdin.
#include "capplication.h"
#include "cbatchworker.h"
#include "cstopsignal.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <clocale>
#include <iostream>
#include <string>

int main(int argc, char* argv[])
{
    if (argc > 1)
    {
        std::fputs(
            "zint9-worker: запускается программой zint9 для каждого порта; задание приходит на stdin\n",
            stderr);
        return 2;
    }
    std::string strJob;
    if (!std::getline(std::cin, strJob))
        return 2;
    const QJsonObject job = QJsonDocument::fromJson(QByteArray::fromStdString(strJob)).object();
    // A port whose units get protocols draws them.
    const std::unique_ptr<QCoreApplication> pApplication =
        CApplication::Start(argc, argv, !job["protocols"].toString().isEmpty());
    std::setlocale(LC_NUMERIC, "C");
    // Killed, its parent leaves a closed pipe behind: that must not kill a unit's write.
    CStopSignal::IgnoreBrokenPipe();
    return CBatchWorker().Run(job);
}
