#include "capplication.h"

#include <QGuiApplication>

namespace
{
QtMessageHandler g_pfnQtHandler = nullptr;

// Qt says where it found no run-time folder, which a command line's user has no use for.
void Filter(QtMsgType nType, const QMessageLogContext& context, const QString& strMessage)
{
    if (nType == QtWarningMsg && strMessage.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    g_pfnQtHandler(nType, context, strMessage);
}
} // namespace

std::unique_ptr<QCoreApplication> CApplication::Start(int& argc, char* argv[], bool bDraws)
{
    std::unique_ptr<QCoreApplication> pApplication;
    if (bDraws)
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        g_pfnQtHandler = qInstallMessageHandler(Filter);
        pApplication = std::make_unique<QGuiApplication>(argc, argv);
    }
    else
        pApplication = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Trelm"));
    QCoreApplication::setApplicationName(QStringLiteral("Конфигуратор ЗИНТ-9"));
    return pApplication;
}
