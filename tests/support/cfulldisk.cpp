#include "cfulldisk.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

CFullDisk::CFullDisk(const QString& strFolder) : m_strFolder(strFolder)
{
    // Keep what the folder holds: the mount hides it.
    QTemporaryDir saved;
    const QDir folder(strFolder);
    for (const QString& strName : folder.entryList(QDir::Files))
        QFile::copy(folder.filePath(strName), saved.filePath(strName));
    QProcess mount;
    mount.start(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                          QStringLiteral("size=64k"), QStringLiteral("tmpfs"), strFolder});
    if (!mount.waitForFinished(30000) || mount.exitStatus() != QProcess::NormalExit || mount.exitCode() != 0)
    {
        m_strReason = QStringLiteral("a tmpfs cannot be mounted here (the test needs root): ") +
                      QString::fromLocal8Bit(mount.readAllStandardError()).trimmed() + mount.errorString();
        return;
    }
    m_bMounted = true;
    for (const QString& strName : QDir(saved.path()).entryList(QDir::Files))
        QFile::copy(QDir(saved.path()).filePath(strName), folder.filePath(strName));
    QFile filler(folder.filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    {
        m_strReason = filler.errorString();
        return;
    }
    const QByteArray block(1024, 'x');
    while (filler.write(block) > 0)
    {
    }
    // Smaller pieces until not one byte more fits.
    while (filler.write("x", 1) > 0)
    {
    }
    m_bFull = true;
}

CFullDisk::~CFullDisk()
{
    if (m_bMounted)
        QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_strFolder});
}
