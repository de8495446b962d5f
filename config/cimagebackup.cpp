#include "cimagebackup.h"

#include "cimagefile.h"

#include <QDateTime>
#include <QDir>
#include <QStandardPaths>

QString CImageBackup::DefaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/backups");
}

CImageBackup::CImageBackup(const QString& strFolder) : m_strFolder(strFolder) {}

bool CImageBackup::Save(const CParamZT01& image, quint16 wVersion)
{
    m_strPath.clear();
    if (!QDir().mkpath(m_strFolder))
    {
        m_strLastError =
            QStringLiteral("не удалось создать папку %1").arg(QDir::toNativeSeparators(m_strFolder));
        return false;
    }
    const QString strStem =
        QStringLiteral("zint9-%1-v%2")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")))
            .arg(wVersion, 4, 16, QLatin1Char('0'));
    CImageFile file;
    // Two runs within the same millisecond take the next free counter.
    for (int nCounter = 1; nCounter <= 1000; ++nCounter)
    {
        const QString strName = nCounter == 1 ? strStem + QStringLiteral(".bin")
                                              : QStringLiteral("%1-%2.bin").arg(strStem).arg(nCounter);
        const QString strPath = QDir(m_strFolder).filePath(strName);
        if (file.Save(strPath, image, CImageFile::ESave::CreateNew))
        {
            m_strPath = strPath;
            return true;
        }
        if (!file.m_bExists)
            break;
    }
    m_strLastError = QDir::toNativeSeparators(m_strFolder) + QStringLiteral(": ") + file.m_strLastError;
    return false;
}
