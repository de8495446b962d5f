#include "cztapp.h"

#include "cmsgbox.h"
#include "cprogressdlg.h"
#include "cstringtable.h"
#include "cztdlg.h"

#include <QApplication>
#include <QDir>

#include <clocale>

void CZTApp::InitSettingsStore()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Trelm"));
    QCoreApplication::setApplicationName(CStringTable::Load(57344));
}

void CZTApp::InitLocale()
{
    // QApplication has taken the locale from the environment; numbers always use ".".
    std::setlocale(LC_NUMERIC, "C");
}

void CZTApp::InitAppDir(const QString& strProgramDir)
{
    if (strProgramDir.isEmpty())
        return;
    m_strAppDir = strProgramDir;
    QDir::setCurrent(m_strAppDir);
}

bool CZTApp::IsDemoCommandLine(const QStringList& arguments)
{
    return arguments.size() >= 2 && arguments.at(1) == QLatin1String("/demo");
}

bool CZTApp::InitInstance()
{
    return Run(QCoreApplication::arguments(), QCoreApplication::applicationDirPath());
}

bool CZTApp::Run(const QStringList& arguments, const QString& strProgramDir)
{
    InitSettingsStore();
    CZTDlg dlg;
    m_Hooks.m_pfnMessage = [&dlg](const QString& strText, const QString& strCaption, EMsgIcon nIcon)
    { CMsgBox::Show(dlg.isVisible() ? &dlg : nullptr, strText, strCaption, nIcon); };
    m_Hooks.m_pfnCreateProgress = [&dlg]() -> std::unique_ptr<CProgress>
    {
        auto pProgress = std::make_unique<CProgressDlg>();
        if (!pProgress->Create(&dlg))
            return nullptr;
        return pProgress;
    };
    InitLocale();
    InitAppDir(strProgramDir);
    m_Port.m_bDemo = IsDemoCommandLine(arguments);
    LoadSensorCatalogue();
    CMsgBox::Exec(dlg);
    m_Hooks = {};
    return false;
}

int CZTApp::ExitInstance()
{
    return 0;
}
