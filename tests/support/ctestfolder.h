#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

class QProcess;

class CParamZT01;

// A temporary program folder holding copies of the shipped Sensors.dat and ImgEEPROM/, with a
// fresh sample demonstration image.
class CTestFolder
{
public:
    CTestFolder();
    ~CTestFolder();
    QString Path() const { return m_dir.path(); }
    QString FilePath(const QString& strName) const { return m_dir.filePath(strName); }
    void WriteFile(const QString& strName, const QByteArray& content) const;
    QByteArray ReadFile(const QString& strName) const;
    static QByteArray Bytes(const CParamZT01& image);
    // An image whose every byte is byValue.
    static CParamZT01 Filled(quint8 byValue);
    // An image whose every byte differs from its neighbours, so that a misplaced block shows;
    // its sensor is Pt 100 (catalogue index 3).
    static CParamZT01 Pattern(quint8 bySeed);
    // Makes a FIFO. Should a faulty reader open it anyway, a helper opens its other end after a
    // while, so that the reader sees an empty file instead of blocking the test for ever.
    bool MakeFifo(const QString& strName);

private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<QProcess>> m_guards;
};
