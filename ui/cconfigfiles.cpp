#include "cconfigfiles.h"

#include "cfailuretext.h"
#include "cimagefile.h"
#include "cimageintake.h"
#include "cmsgbox.h"
#include "cpage2.h"
#include "csettingstext.h"
#include "cstringtable.h"
#include "cwritesession.h"
#include "cztappdevice.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace
{
const QString kFolderKey = QStringLiteral("Settings/ConfigFolder");
} // namespace

std::function<QString(bool bSave)> CConfigFiles::s_pfnChoose;

CConfigFiles::CConfigFiles(QWidget& owner, CPage2& page, CWriteJournal* pJournal)
    : m_owner(owner), m_page(page), m_pJournal(pJournal)
{
}

QString CConfigFiles::Choose(bool bSave)
{
    if (s_pfnChoose)
        return s_pfnChoose(bSave);
    const QString strFolder = QSettings().value(kFolderKey, QDir::homePath()).toString();
    const QString strFilter = QString::fromUtf8(kFilter);
    const QString strPath =
        bSave ? QFileDialog::getSaveFileName(&m_owner, QStringLiteral("Сохранить настройки в файл"),
                                             strFolder, strFilter)
              : QFileDialog::getOpenFileName(&m_owner, QStringLiteral("Загрузить настройки из файла"),
                                             strFolder, strFilter);
    if (!strPath.isEmpty())
        QSettings().setValue(kFolderKey, QFileInfo(strPath).absolutePath());
    return strPath;
}

void CConfigFiles::Warn(const QString& strText)
{
    CMsgBox::Show(&m_owner, strText, CStringTable::Load(151), EMsgIcon::Exclamation);
}

bool CConfigFiles::Save()
{
    // The page's values are judged before a file is asked for.
    if (!m_page.DoDataExchange(true))
        return false;
    const QString strPath = Choose(true);
    return !strPath.isEmpty() && SaveTo(strPath);
}

bool CConfigFiles::Load()
{
    const QString strPath = Choose(false);
    return !strPath.isEmpty() && LoadFrom(strPath);
}

bool CConfigFiles::SaveTo(const QString& strPath)
{
    CZTAppDevice& app = ZTApp();
    if (!m_page.DoDataExchange(true))
        return false;
    // What «Записать» would send: checked by the same rules, the unit's own block put back.
    const CParamRules::SVerdict verdict = CWriteSession(app, nullptr).Check(app.m_ParamEdit);
    if (!verdict.bOk)
    {
        m_page.ShowVerdict(verdict);
        return false;
    }
    app.RestoreDeviceData();
    CImageFile file;
    if (file.Save(strPath, app.m_ParamEdit))
        return true;
    Warn(QStringLiteral("Не удалось сохранить настройки в %1: %2")
             .arg(QDir::toNativeSeparators(strPath), file.m_strLastError));
    return false;
}

bool CConfigFiles::LoadFrom(const QString& strPath)
{
    CZTAppDevice& app = ZTApp();
    CParamZT01 source;
    CImageFile file;
    if (!file.Read(strPath, source))
    {
        Warn(QStringLiteral("Не удалось прочитать %1: %2")
                 .arg(QDir::toNativeSeparators(strPath), file.m_strLastError));
        return false;
    }
    const CImageIntake::SVerdict verdict = CImageIntake::Judge(app, m_pJournal, source, strPath);
    const QString strName = QDir::toNativeSeparators(strPath);
    QString strRefusal = verdict.strFault;
    strRefusal.replace(QStringLiteral("ничего не записано"), QStringLiteral("настройки не загружены"));
    // A torn image would copy its torn sensor table onward.
    if (strRefusal.isEmpty() && verdict.IsTorn())
        strRefusal =
            QStringLiteral("%1 — образ из прерванной записи%2; настройки не загружены.")
                .arg(strName, verdict.strTable.isEmpty()
                                  ? QString()
                                  : QStringLiteral(" (") + CFailureText::SensorMismatch(verdict.strTable) +
                                        QLatin1Char(')'));
    if (!strRefusal.isEmpty())
    {
        Warn(strRefusal);
        return false;
    }
    if (verdict.nOrigin >= 0 && verdict.nOrigin != app.m_wVersion &&
        CMsgBox::Ask(&m_owner,
                     QStringLiteral("%1 прочитан из прибора версии %2, а подключён прибор версии %3. Другая "
                                    "версия может читать те же байты иначе. Загрузить настройки всё равно?")
                         .arg(strName, CSettingsText::Hex(quint16(verdict.nOrigin)),
                              CSettingsText::Hex(app.m_wVersion)),
                     CStringTable::Load(151), {QStringLiteral("Загрузить"), QStringLiteral("Отмена")}) != 0)
        return false;
    CImageIntake::Apply(app.m_ParamEdit, source);
    app.m_nSensor = app.FindSensor(app.m_ParamEdit);
    m_page.DoDataExchange(false);
    if (verdict.nOrigin < 0)
        CMsgBox::Show(
            &m_owner,
            QStringLiteral("Настройки загружены из %1. Происхождение образа неизвестно: записи не знают, "
                           "из какого прибора он прочитан. В прибор они попадут после «Записать».")
                .arg(strName),
            CStringTable::Load(151), EMsgIcon::Information);
    return true;
}
