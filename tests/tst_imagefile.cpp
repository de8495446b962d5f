#include "cfulldisk.h"
#include "cimagebackup.h"
#include "cimagefile.h"
#include "cparamzt01.h"
#include "ctestfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <cstring>

// The save path of image files: a full disk, backups made at the same moment, odd files.
class TestImageFile : public QObject
{
    Q_OBJECT

private slots:
    void fullDisk_data();
    void fullDisk();
    void backupsNeverReplace();
    void nonRegularFiles_data();
    void nonRegularFiles();
    void readError();
};

void TestImageFile::fullDisk_data()
{
    QTest::addColumn<bool>("backup");
    QTest::newRow("replacing a file") << false;
    QTest::newRow("new backup") << true;
}

void TestImageFile::fullDisk()
{
    QFETCH(bool, backup);
    CTestFolder folder;
    QVERIFY(QDir(folder.Path()).mkdir("full"));
    folder.WriteFile("full/old.bin", CTestFolder::Bytes(CTestFolder::Filled(0x11)));
    CFullDisk disk(folder.FilePath("full"));
    if (!disk.IsFull())
        QSKIP(qPrintable(disk.Reason()));
    const QStringList before = QDir(folder.FilePath("full")).entryList(QDir::Files);
    if (backup)
    {
        CImageBackup backups(folder.FilePath("full"));
        QVERIFY(!backups.Save(CTestFolder::Filled(0x22), 0x1555));
        QVERIFY2(backups.m_strLastError.contains("space"), qPrintable(backups.m_strLastError));
        QVERIFY(backups.m_strPath.isEmpty());
    }
    else
    {
        CImageFile file;
        QVERIFY(!file.Save(folder.FilePath("full/old.bin"), CTestFolder::Filled(0x22)));
        QVERIFY2(file.m_strLastError.contains("space"), qPrintable(file.m_strLastError));
    }
    // The old file is whole and nothing half-written is left.
    QCOMPARE(folder.ReadFile("full/old.bin"), CTestFolder::Bytes(CTestFolder::Filled(0x11)));
    QCOMPARE(QDir(folder.FilePath("full")).entryList(QDir::Files), before);
}

void TestImageFile::backupsNeverReplace()
{
    CTestFolder folder;
    CImageBackup backups(folder.FilePath("backups"));
    constexpr int kCount = 20; // quick enough that several fall into one millisecond
    for (int i = 0; i < kCount; ++i)
    {
        QVERIFY2(backups.Save(CTestFolder::Filled(quint8(i)), 0x1555), qPrintable(backups.m_strLastError));
        QVERIFY(QFileInfo(backups.m_strPath).fileName().startsWith("zint9-"));
        QVERIFY(backups.m_strPath.contains("-v1555"));
    }
    const QDir dir(folder.FilePath("backups"));
    const QStringList names = dir.entryList(QDir::Files);
    QCOMPARE(names.size(), kCount);
    QSet<quint8> contents;
    for (const QString& strName : names)
    {
        const QByteArray content = folder.ReadFile("backups/" + strName);
        QCOMPARE(content.size(), CParamZT01::kImageSize);
        contents.insert(quint8(content[0]));
    }
    QCOMPARE(contents.size(), kCount);
}

void TestImageFile::nonRegularFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("folder") << "folder";
}

void TestImageFile::nonRegularFiles()
{
    QFETCH(QString, kind);
    CTestFolder folder;
    const QString strPath = folder.FilePath("odd");
    if (kind == "fifo")
        QVERIFY(folder.MakeFifo("odd"));
    else
        QVERIFY(QDir(folder.Path()).mkdir("odd"));
    CImageFile file;
    CParamZT01 image;
    QVERIFY(!file.Read(strPath, image));
    QCOMPARE(file.m_strLastError, QStringLiteral("это не обычный файл"));
    QVERIFY(!file.Save(strPath, image));
    QCOMPARE(file.m_strLastError, QStringLiteral("это не обычный файл"));
    QVERIFY(!file.Save(strPath, image, CImageFile::ESave::CreateNew));
    QVERIFY(QFileInfo(strPath).exists() && !QFileInfo(strPath).isFile());
    // A device is read as little as written.
    QVERIFY(!file.Read("/dev/zero", image));
}

void TestImageFile::readError()
{
    // A regular file whose reading fails: the first page of the process's memory is never mapped.
    CImageFile file;
    CParamZT01 image;
    QVERIFY(!file.Read("/proc/self/mem", image));
    QVERIFY2(file.m_strLastError.startsWith("ошибка чтения"), qPrintable(file.m_strLastError));
}

QTEST_GUILESS_MAIN(TestImageFile)
#include "tst_imagefile.moc"
