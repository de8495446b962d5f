// Writes the sample data shipped beside the program: Sensors.dat and ImgEEPROM/.
#include "csampleimages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

namespace
{
bool WriteFile(const QString& strPath, const QByteArray& content)
{
    QFile file(strPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
    {
        std::fprintf(stderr, "zint9-mkdata: cannot write %s: %s\n", qPrintable(strPath),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

QByteArray Bytes(const CParamZT01& image)
{
    return QByteArray(reinterpret_cast<const char*>(image.Image()), CParamZT01::kImageSize);
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2)
    {
        std::fprintf(stderr, "usage: zint9-mkdata FOLDER\n"
                             "Writes FOLDER/Sensors.dat and the sample images in FOLDER/ImgEEPROM/.\n");
        return 2;
    }
    const QDir folder(arguments.at(1));
    if (!folder.mkpath(QStringLiteral("ImgEEPROM")))
    {
        std::fprintf(stderr, "zint9-mkdata: cannot create %s/ImgEEPROM\n", qPrintable(folder.path()));
        return 1;
    }
    bool bOk = WriteFile(folder.filePath(QStringLiteral("Sensors.dat")), CSampleImages::Catalogue());
    for (int i = 0; i < CSampleImages::kSensors; ++i)
        bOk = WriteFile(folder.filePath(QStringLiteral("ImgEEPROM/") +
                                        QLatin1String(CSampleImages::SensorFileName(i))),
                        Bytes(CSampleImages::SensorImage(i))) &&
              bOk;
    bOk =
        WriteFile(folder.filePath(QStringLiteral("ImgEEPROM/demo.dat")), Bytes(CSampleImages::DemoImage())) &&
        bOk;
    return bOk ? 0 : 1;
}
