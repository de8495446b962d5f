#include "cserialport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>

#if defined(__linux__)
#include <linux/serial.h>
#endif

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#if defined(__linux__)
#include <sys/sysmacros.h>
#endif
#include <termios.h>
#include <unistd.h>

namespace
{
bool ProcessAlive(qint64 nPid)
{
    if (nPid <= 0 || (::kill(pid_t(nPid), 0) != 0 && errno != EPERM))
        return false;
    // A process that has ended but not been reaped holds nothing: "1234 (name) Z ...".
    QFile stat(QStringLiteral("/proc/%1/stat").arg(nPid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype nAfterName = line.lastIndexOf(')');
    return nAfterName < 0 || line.mid(nAfterName + 2, 1) != "Z";
}

const char* const kLockFolders[] = {"/var/lock",       "/run/lock", "/etc/locks", "/var/spool/locks",
                                    "/var/spool/uucp", "/tmp",      "/var/tmp"};

// The lock files under which programs lock strPath: LCK.. and its name below /dev, for the path
// given and for the device it leads to (a by-id link's ttyUSB0), in every usual lock folder.
QStringList LockFiles(const QString& strPath)
{
    QStringList names;
    for (QString strName : {strPath, QFileInfo(strPath).canonicalFilePath()})
    {
        if (strName.isEmpty())
            continue;
        if (strName.startsWith(QLatin1String("/dev/")))
            strName = strName.mid(5);
        strName.replace(QLatin1Char('/'), QLatin1Char('_'));
        if (!names.contains(strName))
            names << strName;
    }
    QStringList files;
    for (const char* pszFolder : kLockFolders)
        for (const QString& strName : names)
            files << QLatin1String(pszFolder) + QLatin1String("/LCK..") + strName;
    return files;
}

// The process id a lock file names: ten ASCII digits and a line feed in the classic form (or
// the first line of the serial-port library's own), four binary bytes in the oldest; 0 when none.
qint64 LockFilePid(const QString& strFile)
{
    QFile lock(strFile);
    if (!lock.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray content = lock.read(64);
    bool bAscii = false;
    const qint64 nPid = content.split('\n').first().trimmed().toLongLong(&bAscii);
    if (bAscii)
        return nPid;
    qint32 nBinary = 0;
    if (content.size() != qsizetype(sizeof nBinary))
        return 0;
    std::memcpy(&nBinary, content.constData(), sizeof nBinary);
    return nBinary;
}

// The process that holds strPath: a lock file that names a live process, or else the kernel's
// list of flocks.
qint64 LockHolder(const QString& strPath, const struct stat& st)
{
    for (const QString& strFile : LockFiles(strPath))
        if (const qint64 nPid = LockFilePid(strFile); ProcessAlive(nPid))
            return nPid;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return 0;
    // "1: FLOCK  ADVISORY  WRITE 1234 00:19:6 0 EOF"
    const QByteArray inode = QString::asprintf(" %02x:%02x:%llu ", major(st.st_dev), minor(st.st_dev),
                                               static_cast<unsigned long long>(st.st_ino))
                                 .toLatin1();
    for (QByteArray line = locks.readLine(); !line.isEmpty(); line = locks.readLine())
    {
        const qsizetype nAt = line.indexOf(inode);
        if (nAt < 0 || !line.contains("FLOCK"))
            continue;
        const qint64 nPid = line.left(nAt).split(' ').last().toLongLong();
        if (ProcessAlive(nPid))
            return nPid;
    }
    return 0;
}

QString HeldText(qint64 nPid)
{
    if (nPid <= 0)
        return QStringLiteral("порт занят другой программой");
    // The program's own name from its command line: the kernel's short name is cut at 15 bytes.
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(nPid));
    QString strProgram;
    if (cmdline.open(QIODevice::ReadOnly))
        strProgram = QFileInfo(QString::fromLocal8Bit(cmdline.readAll().split('\0').first())).fileName();
    QFile comm(QStringLiteral("/proc/%1/comm").arg(nPid));
    if (strProgram.isEmpty() && comm.open(QIODevice::ReadOnly))
        strProgram = QString::fromLocal8Bit(comm.readAll().trimmed());
    return strProgram.isEmpty()
               ? QStringLiteral("порт занят другой программой (процесс %1)").arg(nPid)
               : QStringLiteral("порт занят другой программой (процесс %1, %2)").arg(nPid).arg(strProgram);
}

QString ModeText(mode_t nMode)
{
    QString strMode;
    for (int nShift = 6; nShift >= 0; nShift -= 3)
    {
        strMode += QLatin1Char(nMode >> nShift & 4 ? 'r' : '-');
        strMode += QLatin1Char(nMode >> nShift & 2 ? 'w' : '-');
        strMode += QLatin1Char(nMode >> nShift & 1 ? 'x' : '-');
    }
    return strMode;
}

// The owner, the group and the mode as they are, and a way in that they allow.
QString PermissionText(const QString& strPath, const struct stat& st)
{
    const group* pGroup = ::getgrgid(st.st_gid);
    const QString strGroup = pGroup ? QString::fromLocal8Bit(pGroup->gr_name) : QString::number(st.st_gid);
    const passwd* pOwner = ::getpwuid(st.st_uid);
    const QString strOwner = pOwner ? QString::fromLocal8Bit(pOwner->pw_name) : QString::number(st.st_uid);
    const QString strFacts = QStringLiteral("нет прав доступа к %1 (владелец «%2», группа «%3», права %4); ")
                                 .arg(strPath, strOwner, strGroup, ModeText(st.st_mode));
    if ((st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP))
        return strFacts + QStringLiteral("добавьте себя в группу %1: sudo usermod -aG %1 $USER, "
                                         "затем войдите в систему заново")
                              .arg(strGroup);
    return strFacts + QStringLiteral("группе доступ к порту закрыт: права на порт даёт администратор");
}
} // namespace

QString CSerialPort::FailureReason(const QString& strName, bool& bBusy)
{
    bBusy = false;
    const QString strPath =
        strName.startsWith(QLatin1Char('/')) ? strName : QStringLiteral("/dev/") + strName;
    const QByteArray path = QFile::encodeName(strPath);
    struct stat st = {};
    if (::stat(path.constData(), &st) != 0)
    {
        if (errno == EACCES)
            return QStringLiteral("нет прав доступа к %1").arg(strPath);
        return errno == ENOENT || errno == ENOTDIR ? QStringLiteral("нет такого порта: %1").arg(strPath)
                                                   : QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!S_ISCHR(st.st_mode))
        return QStringLiteral("%1 — не последовательный порт").arg(strPath);
    const int nFile = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (nFile < 0)
    {
        switch (errno)
        {
        case EACCES:
        case EPERM:
            return PermissionText(strPath, st);
        case EBUSY:
            bBusy = true;
            return HeldText(LockHolder(strPath, st));
        case ENOENT:
        case ENXIO:
        case ENODEV:
            return QStringLiteral("нет такого порта: %1").arg(strPath);
        default:
            return QString::fromLocal8Bit(std::strerror(errno));
        }
    }
    const bool bTerminal = ::isatty(nFile) != 0;
    const bool bFlocked = ::flock(nFile, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(nFile);
    if (!bTerminal)
        return QStringLiteral("%1 — не последовательный порт").arg(strPath);
    const qint64 nPid = LockHolder(strPath, st);
    bBusy = bFlocked || nPid > 0;
    if (bBusy)
        return HeldText(nPid);
    return QString();
}

bool CSerialPort::HeldByLockFile(const QString& strLocation, QString& strReason)
{
    const QString strPath =
        strLocation.startsWith(QLatin1Char('/')) ? strLocation : QStringLiteral("/dev/") + strLocation;
    for (const QString& strFile : LockFiles(strPath))
    {
        const qint64 nPid = LockFilePid(strFile);
        if (nPid <= 0 || nPid == ::getpid())
            continue;
        if (ProcessAlive(nPid))
        {
            strReason = HeldText(nPid);
            return true;
        }
        // A lock whose process is gone holds nothing; left, it would refuse the port.
        QFile::remove(strFile);
    }
    return false;
}

QString CSerialPort::DeviceIdentity(const QString& strName)
{
    const QString strLocation = SystemLocation(strName);
    const QString strPath =
        strLocation.startsWith(QLatin1Char('/')) ? strLocation : QStringLiteral("/dev/") + strLocation;
    struct stat st = {};
    if (::stat(QFile::encodeName(strPath).constData(), &st) != 0)
        return QString();
    // A character device is its device number; anything else its file.
    return S_ISCHR(st.st_mode) ? QStringLiteral("c%1").arg(quint64(st.st_rdev))
                               : QStringLiteral("f%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
}

bool CSerialPort::LockExclusive(qintptr hNative)
{
    // A probe of the port (this program's own, or a simulator's) holds its lock for a moment
    // only; a program that works on the port holds it for longer than this.
    constexpr int kProbeMs = 300;
    QDeadlineTimer deadline(kProbeMs);
    while (hNative >= 0)
    {
        if (::flock(int(hNative), LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK || deadline.hasExpired())
            return false;
        ::poll(nullptr, 0, 2);
    }
    return false;
}

bool CSerialPort::EnableRtsToggle(qintptr hNative)
{
#if defined(TIOCSRS485)
    // RS-485 mode: the driver raises RTS while it sends and drops it after the last bit.
    serial_rs485 rs485 = {};
    if (::ioctl(int(hNative), TIOCGRS485, &rs485) != 0)
        return false;
    rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    rs485.flags &= ~SER_RS485_RTS_AFTER_SEND;
    return ::ioctl(int(hNative), TIOCSRS485, &rs485) == 0;
#else
    (void)hNative;
    return false;
#endif
}

void CSerialPort::WaitUntilSent(qintptr hNative)
{
    ::tcdrain(int(hNative));
}

bool CSerialPort::HungUp(qintptr hNative)
{
    pollfd fd = {int(hNative), 0, 0};
    return ::poll(&fd, 1, 0) > 0 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}
