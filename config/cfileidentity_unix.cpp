#include "cfileidentity.h"

#include <QFile>

#include <sys/stat.h>

QByteArray CFileIdentity::Of(const QString& strPath)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(strPath).constData(), &status) != 0)
        return QByteArray();
    return QByteArray::number(qulonglong(status.st_dev)) + ':' +
           QByteArray::number(qulonglong(status.st_ino));
}
