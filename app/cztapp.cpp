#include "cztapp.h"

#include "clinelog.h"
#include "cmsgbox.h"
#include "cstartoptions.h"
#include "cstringtable.h"
#include "cztdlg.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <clocale>

void CZTApp::InitSettingsStore()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Trelm"));
    QCoreApplication::setApplicationName(CStringTable::Load(57344));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZINT9_VERSION));
}

void CZTApp::InitLocale()
{
    // QApplication has taken the locale from the environment; numbers always use ".".
    std::setlocale(LC_NUMERIC, "C");
    // The interface is Russian whatever the system's language, and so are Qt's own texts in it
    // (a field's context menu, a message box's details button).
    static QTranslator s_qtTexts;
    if (s_qtTexts.isEmpty() &&
        s_qtTexts.load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&s_qtTexts);
}

void CZTApp::InitAppDir(const QString& strProgramDir)
{
    if (strProgramDir.isEmpty())
        return;
    SetDataDir(strProgramDir);
    QDir::setCurrent(m_strAppDir);
}

bool CZTApp::IsDemoCommandLine(const QStringList& arguments)
{
    return CStartOptions::IsDemo(arguments);
}

bool CZTApp::InitInstance()
{
    return Run(QCoreApplication::arguments(), QCoreApplication::applicationDirPath());
}

bool CZTApp::Run(const QStringList& arguments, const QString& strProgramDir)
{
    InitSettingsStore();
    CStartOptions options; // main() has refused what does not parse
    options.Parse(arguments);
    // The traffic log of the line, for finding out why a device does not answer.
    QString strTrace = options.strTrace;
    if (strTrace.isEmpty())
        strTrace = qEnvironmentVariable("ZINT9_TRACE");
    QString strTraceError;
    if (!strTrace.isEmpty() && !CLineLog::Start(strTrace, strTraceError))
        qWarning("cannot write the traffic log to %s: %s", qPrintable(strTrace), qPrintable(strTraceError));
    CZTDlg dlg;
    dlg.m_Page1.m_strGivenPort = options.strPort;
    // Until the wizard opens (and installs its own), messages have no owner window.
    m_Hooks.m_pfnMessage = [](const QString& strText, const QString& strCaption, EMsgIcon nIcon)
    { CMsgBox::Show(nullptr, strText, strCaption, nIcon); };
    InitLocale();
    InitAppDir(strProgramDir);
    m_Port.m_bDemo = options.bDemo;
    LoadSensorCatalogue();
    CMsgBox::Exec(dlg);
    m_Hooks = {};
    CLineLog::Stop();
    return false;
}

int CZTApp::ExitInstance()
{
    return 0;
}
