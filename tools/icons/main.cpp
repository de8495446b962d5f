// zint9-icons: renders an SVG icon as SIZE.png files, one a size, into a folder.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 4)
    {
        std::fprintf(stderr, "usage: zint9-icons ICON.svg FOLDER SIZE...\n");
        return 2;
    }
    QSvgRenderer renderer(arguments[1]);
    if (!renderer.isValid() || !QDir().mkpath(arguments[2]))
    {
        std::fprintf(stderr, "zint9-icons: cannot read %s\n", qPrintable(arguments[1]));
        return 1;
    }
    for (const QString& strSize : arguments.mid(3))
    {
        const int nSize = strSize.toInt();
        QImage image(nSize, nSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        if (nSize <= 0 || !image.save(QDir(arguments[2]).filePath(strSize + QStringLiteral(".png"))))
        {
            std::fprintf(stderr, "zint9-icons: cannot write the %s px icon\n", qPrintable(strSize));
            return 1;
        }
    }
    return 0;
}
