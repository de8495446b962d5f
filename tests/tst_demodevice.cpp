#include "cdevicefixture.h"
#include "cfilelock.h"
#include "csampleimages.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

namespace
{
const QString kDemo = QStringLiteral("ImgEEPROM/demo.dat");
} // namespace

class TestDemoDevice : public QObject
{
    Q_OBJECT

private slots:
    void readTakesTheDemonstrationBlock();
    void readHandsOverInDemoMode();
    void missingFile();
    void shortFileIsAFailedRead();
    void longFile();
    void writeThenRead();
    void failedWriteKeepsTheOldImage_data();
    void failedWriteKeepsTheOldImage();
    void missingFolder();
    void installedImageIsTheUsersCopy();
};

void TestDemoDevice::readTakesTheDemonstrationBlock()
{
    CDeviceFixture f;
    f.m_folder.WriteFile(kDemo, CTestFolder::Bytes(CTestFolder::Filled(0xA5)));
    f.m_app.m_ParamEdit = CTestFolder::Filled(0x11);
    f.m_app.m_ParamEdit.bySensorType = 0; // the file's 0xA5 codes match no sensor
    QVERIFY(f.m_app.DemoReadImage());
    const QByteArray edit = CTestFolder::Bytes(f.m_app.m_ParamEdit);
    for (int i = 0; i < CParamZT01::kImageSize; ++i)
    {
        const bool bTaken =
            (i >= 92 && i <= 119) || (i >= 128 && i <= 135) || (i >= 143 && i <= 147) || i >= 152;
        QCOMPARE(quint8(edit[i]), bTaken ? quint8(0xA5) : quint8(i == 95 ? 0 : 0x11));
    }
    QCOMPARE(f.m_app.m_nSensor, -1);
    QCOMPARE(f.m_nPageFills, 1);
    QCOMPARE(f.m_progress.count("step"), 64);
    QCOMPARE(f.m_progress.last(), QStringLiteral("closed"));
}

void TestDemoDevice::readHandsOverInDemoMode()
{
    CDeviceFixture f;
    f.m_app.m_Port.m_bDemo = true;
    QVERIFY(f.m_app.m_Port.Open("ttyS0"));
    const CParamZT01 device = f.m_app.m_ParamDevice;
    QVERIFY(f.m_app.ReadImage(f.m_app.m_ParamDevice));
    QCOMPARE(f.m_app.m_nSensor, 0); // the shipped image is a K thermocouple
    QCOMPARE(f.m_app.m_ParamEdit.fDacCalLow, 4.0123f);
    QCOMPARE(CTestFolder::Bytes(f.m_app.m_ParamDevice), CTestFolder::Bytes(device));
    // The demonstration write does not ask the page and does not touch the device record.
    f.m_app.m_ParamEdit.fHighLimit = 900;
    QVERIFY(f.m_app.WriteImage(f.m_app.m_ParamEdit));
    QCOMPARE(f.m_nPageStores, 0);
    QCOMPARE(f.m_folder.ReadFile(kDemo), CTestFolder::Bytes(f.m_app.m_ParamEdit));
}

void TestDemoDevice::missingFile()
{
    CDeviceFixture f;
    QVERIFY(QFile::remove(f.m_folder.FilePath(kDemo)));
    f.m_app.m_ParamEdit = CTestFolder::Filled(0x22);
    QVERIFY(!f.m_app.DemoReadImage());
    QCOMPARE(CTestFolder::Bytes(f.m_app.m_ParamEdit), CTestFolder::Bytes(CTestFolder::Filled(0x22)));
    QCOMPARE(f.m_progress.last(), QStringLiteral("closed"));
    QVERIFY(f.m_app.DemoWriteImage());
    QCOMPARE(f.m_folder.ReadFile(kDemo), CTestFolder::Bytes(CTestFolder::Filled(0x22)));
}

void TestDemoDevice::shortFileIsAFailedRead()
{
    CDeviceFixture f;
    f.m_folder.WriteFile(kDemo, QByteArray(100, char(0x33)));
    f.m_app.m_ParamEdit = CTestFolder::Filled(0x44);
    f.m_app.m_nSensor = 2;
    QVERIFY(!f.m_app.DemoReadImage());
    QCOMPARE(CTestFolder::Bytes(f.m_app.m_ParamEdit), CTestFolder::Bytes(CTestFolder::Filled(0x44)));
    QCOMPARE(f.m_app.m_nSensor, 2);
    QCOMPARE(f.m_nPageFills, 0);
    QCOMPARE(f.m_progress.last(), QStringLiteral("closed"));
}

void TestDemoDevice::longFile()
{
    CDeviceFixture f;
    f.m_folder.WriteFile(kDemo, CTestFolder::Bytes(CSampleImages::DemoImage()) + QByteArray(88, char(0x77)));
    QVERIFY(f.m_app.DemoReadImage());
    QCOMPARE(f.m_app.m_ParamEdit.fSensorTable[79], CSampleImages::DemoImage().fSensorTable[79]);
    QVERIFY(f.m_app.DemoWriteImage());
    QCOMPARE(f.m_folder.ReadFile(kDemo).size(), CParamZT01::kImageSize);
}

void TestDemoDevice::writeThenRead()
{
    CDeviceFixture f;
    f.m_app.m_ParamEdit = CSampleImages::DemoImage();
    f.m_app.m_ParamEdit.fLowLimit = -50;
    f.m_app.m_ParamEdit.fDacCalHigh = 20.5f;
    const QByteArray written = CTestFolder::Bytes(f.m_app.m_ParamEdit);
    QVERIFY(f.m_app.DemoWriteImage());
    QCOMPARE(f.m_progress.count("step"), 64);
    QCOMPARE(f.m_folder.ReadFile(kDemo), written);
    QVERIFY(f.m_app.DemoReadImage());
    QCOMPARE(CTestFolder::Bytes(f.m_app.m_ParamEdit), written);
    // No temporary file is left behind.
    QCOMPARE(QDir(f.m_folder.FilePath("ImgEEPROM")).entryList(QDir::Files).size(), 6);
}

void TestDemoDevice::failedWriteKeepsTheOldImage_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("read-only file") << true;
    QTest::newRow("file held by another program") << false;
}

void TestDemoDevice::failedWriteKeepsTheOldImage()
{
    QFETCH(bool, readOnly);
    CDeviceFixture f;
    const QByteArray old = f.m_folder.ReadFile(kDemo);
    QFile holder(f.m_folder.FilePath(kDemo));
    if (readOnly)
        QVERIFY(holder.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    else
        QVERIFY(holder.open(QIODevice::ReadOnly) && CFileLock::TryLock(holder));
    f.m_app.m_ParamEdit = CTestFolder::Filled(0x66);
    QVERIFY(!f.m_app.DemoWriteImage());
    holder.close();
    QCOMPARE(f.m_folder.ReadFile(kDemo), old);
    QCOMPARE(f.m_progress.last(), QStringLiteral("closed"));
}

void TestDemoDevice::missingFolder()
{
    CDeviceFixture f;
    QVERIFY(QDir(f.m_folder.FilePath("ImgEEPROM")).removeRecursively());
    QVERIFY(!f.m_app.DemoReadImage());
    QVERIFY(!f.m_app.DemoWriteImage());
    QVERIFY(!QFile::exists(f.m_folder.FilePath(kDemo)));
}

void TestDemoDevice::installedImageIsTheUsersCopy()
{
    // A home of its own: other test programs running at the same time share the test-mode folders.
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    auto restore = qScopeGuard([&] { qputenv("HOME", oldHome); });
    QStandardPaths::setTestModeEnabled(true);
    CDeviceFixture f;
    QTemporaryDir prefix;
    const QString strShared = prefix.filePath("share/zint9-configurator");
    QVERIFY(QDir().mkpath(prefix.filePath("bin")) && QDir().mkpath(prefix.filePath("share")));
    QVERIFY(QFile::link(f.m_folder.Path(), strShared));
    const QByteArray shipped = f.m_folder.ReadFile(kDemo);
    const QString strCopy = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/demo.dat";
    QFile::remove(strCopy);

    f.m_app.SetDataDir(prefix.filePath("bin"));
    QCOMPARE(f.m_app.m_strAppDir, strShared);
    QCOMPARE(f.m_app.DemoImagePath(), strCopy);
    QVERIFY(f.m_app.DemoReadImage());
    f.m_app.m_ParamEdit = CTestFolder::Filled(0x66);
    QVERIFY(f.m_app.DemoWriteImage());
    QFile copy(strCopy);
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), CTestFolder::Bytes(CTestFolder::Filled(0x66)));
    QCOMPARE(f.m_folder.ReadFile(kDemo), shipped);

    // A portable folder keeps its own image.
    f.m_app.SetDataDir(f.m_folder.Path());
    QVERIFY(!f.m_app.m_bInstalledData);
    QCOMPARE(f.m_app.DemoImagePath(), f.m_folder.FilePath(kDemo));
    QFile::remove(strCopy);
}

QTEST_GUILESS_MAIN(TestDemoDevice)
#include "tst_demodevice.moc"
