#include "ctestfolder.h"

#include "cparamzt01.h"
#include "csampleimages.h"
#include "cztappdevice.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <cstring>

namespace
{
// Test programs do not sleep through the demonstration device's imitation of the line.
const bool s_bUnpaced = []
{
    CZTAppDevice::SetDemoPacing(0);
    return true;
}();
} // namespace

CTestFolder::CTestFolder()
{
    const QDir shipped(QStringLiteral(ZINT9_DATA_DIR));
    QDir(m_dir.path()).mkpath(QStringLiteral("ImgEEPROM"));
    QFile::copy(shipped.filePath(QStringLiteral("Sensors.dat")), FilePath(QStringLiteral("Sensors.dat")));
    const QDir images(shipped.filePath(QStringLiteral("ImgEEPROM")));
    for (const QString& strName : images.entryList(QDir::Files))
        QFile::copy(images.filePath(strName), FilePath(QStringLiteral("ImgEEPROM/") + strName));
    // The program rewrites the demonstration image beside it: every test starts from the sample.
    WriteFile(QStringLiteral("ImgEEPROM/demo.dat"), Bytes(CSampleImages::DemoImage()));
}

void CTestFolder::WriteFile(const QString& strName, const QByteArray& content) const
{
    QFile file(FilePath(strName));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

QByteArray CTestFolder::ReadFile(const QString& strName) const
{
    QFile file(FilePath(strName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray CTestFolder::Bytes(const CParamZT01& image)
{
    return QByteArray(reinterpret_cast<const char*>(image.Image()), CParamZT01::kImageSize);
}

CParamZT01 CTestFolder::Filled(quint8 byValue)
{
    CParamZT01 image;
    std::memset(image.Image(), byValue, CParamZT01::kImageSize);
    return image;
}

CTestFolder::~CTestFolder()
{
    for (const std::unique_ptr<QProcess>& pGuard : m_guards)
    {
        pGuard->kill();
        pGuard->waitForFinished();
    }
}

bool CTestFolder::MakeFifo(const QString& strName)
{
    const QString strPath = FilePath(strName);
    if (QProcess::execute(QStringLiteral("mkfifo"), {strPath}) != 0)
        return false;
    auto pGuard = std::make_unique<QProcess>();
    pGuard->start(QStringLiteral("sh"),
                  {QStringLiteral("-c"), QStringLiteral("sleep 20; exec 3<>\"$0\""), strPath});
    m_guards.push_back(std::move(pGuard));
    return true;
}

CParamZT01 CTestFolder::Pattern(quint8 bySeed)
{
    CParamZT01 image;
    for (int i = 0; i < CParamZT01::kImageSize; ++i)
        image.Image()[i] = quint8(i * 7 + bySeed);
    image.bySensorType = 1;
    image.bySensorCode = 1;
    return image;
}
