#include "cimagefile.h"

#include "cfilelock.h"
#include "cparamzt01.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstring>

namespace
{
// Writes the whole image and pushes it out of Qt's buffer: a full disk shows only there.
bool WriteAll(QFileDevice& file, const CParamZT01& image)
{
    return file.write(reinterpret_cast<const char*>(image.Image()), CParamZT01::kImageSize) ==
               CParamZT01::kImageSize &&
           file.flush() && file.error() == QFileDevice::NoError;
}
} // namespace

bool CImageFile::CheckRegular(const QString& strPath)
{
    const QFileInfo info(strPath);
    if (info.exists() && !info.isFile())
    {
        m_strLastError = QStringLiteral("это не обычный файл");
        return false;
    }
    return true;
}

bool CImageFile::Read(const QString& strPath, CParamZT01& image)
{
    if (!CheckRegular(strPath))
        return false;
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
    {
        m_strLastError = file.errorString();
        return false;
    }
    if (!CFileLock::Lock(file))
    {
        m_strLastError = QStringLiteral("файл занят другой программой");
        return false;
    }
    const QByteArray content = file.read(CParamZT01::kImageSize);
    if (file.error() != QFileDevice::NoError)
    {
        m_strLastError = QStringLiteral("ошибка чтения: ") + file.errorString();
        return false;
    }
    if (content.size() != CParamZT01::kImageSize)
    {
        m_strLastError = QStringLiteral("файл короче %1 байт").arg(CParamZT01::kImageSize);
        return false;
    }
    std::memcpy(image.Image(), content.constData(), CParamZT01::kImageSize);
    return true;
}

bool CImageFile::Save(const QString& strPath, const CParamZT01& image, ESave nMode)
{
    m_bExists = false;
    if (!CheckRegular(strPath))
        return false;
    if (nMode == ESave::CreateNew)
    {
        QFile file(strPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        {
            m_bExists = QFileInfo::exists(strPath);
            m_strLastError = file.errorString();
            return false;
        }
        if (!WriteAll(file, image))
        {
            m_strLastError = file.errorString();
            file.close();
            file.remove(); // ours alone: it was created just now
            return false;
        }
        file.close();
        return true;
    }
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly))
    {
        m_strLastError = file.errorString();
        return false;
    }
    if (!WriteAll(file, image))
    {
        m_strLastError = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
    {
        m_strLastError = file.errorString();
        return false;
    }
    return true;
}
