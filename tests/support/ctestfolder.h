#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class CParamZT01;

// A temporary program folder holding copies of the shipped Sensors.dat and ImgEEPROM/, with a
// fresh sample demonstration image.
class CTestFolder
{
public:
    CTestFolder();
    QString Path() const { return m_dir.path(); }
    QString FilePath(const QString& strName) const { return m_dir.filePath(strName); }
    void WriteFile(const QString& strName, const QByteArray& content) const;
    QByteArray ReadFile(const QString& strName) const;
    static QByteArray Bytes(const CParamZT01& image);

private:
    QTemporaryDir m_dir;
};
