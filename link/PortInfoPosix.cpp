#include "link/PortInfo.h"

#include "link/SerialPort.h"

#include <cerrno>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ports {
namespace {
// A line the system gives (a USB product name, a program's name): control
// characters would break the tab-separated listing and the chooser.
QString readLine(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    QString line = QString::fromUtf8(f.readLine());
    for (QChar &c : line)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QLatin1Char(' ');
    return line.simplified();
}

QString groupOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    if (const group *g = ::getgrgid(st.st_gid))
        return QString::fromLocal8Bit(g->gr_name);
    return QString::number(st.st_gid);
}
} // namespace

QString systemErrorText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

QString describe(const QString &path, const QString &sysRoot)
{
    const QString name = QFileInfo(path).fileName();
    if (name.startsWith(QLatin1String("rfcomm")))
        return QStringLiteral("Bluetooth");
    // The tty's device in the kernel's tree; a USB adapter has its maker and
    // product a few folders up, beside idVendor and idProduct.
    const QString device = QFileInfo(sysRoot + QStringLiteral("/class/tty/") + name + QStringLiteral("/device"))
                               .canonicalFilePath();
    if (!device.isEmpty()) {
        QDir dir(device);
        for (int up = 0; up < 4; ++up) {
            if (dir.exists(QStringLiteral("idVendor"))) {
                const QString vendor = readLine(dir.filePath(QStringLiteral("idVendor")));
                const QString product = readLine(dir.filePath(QStringLiteral("idProduct")));
                QStringList words;
                for (const char *file : {"manufacturer", "product"}) {
                    const QString word = readLine(dir.filePath(QString::fromLatin1(file)));
                    if (!word.isEmpty() && !words.contains(word))
                        words << word;
                }
                const QString ids = vendor + QLatin1Char(':') + product;
                return words.isEmpty() ? QStringLiteral("USB adapter (%1)").arg(ids)
                                       : words.join(QLatin1Char(' ')) + QStringLiteral(" (%1)").arg(ids);
            }
            if (!dir.cdUp())
                break;
        }
    }
    if (name.startsWith(QLatin1String("ttyS")) || name.startsWith(QLatin1String("ttyAMA")))
        return QStringLiteral("built-in serial port");
    if (name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM")))
        return QStringLiteral("USB adapter");
    return QString();
}

QList<Port> list(const QString &sysRoot)
{
    QList<Port> out;
    for (const QString &path : SerialPort::availablePorts())
        out.append({path, describe(path, sysRoot)});
    return out;
}

QStringList holders(const QString &path, int ownFd)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty())
        return {};
    const QString self = QString::number(::getpid());
    QStringList out;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        pid.toInt(&numeric);
        if (!numeric)
            continue;
        const QDir fds(proc.filePath(pid + QStringLiteral("/fd")));
        bool holds = false;
        for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            if (pid == self && fd == QString::number(ownFd))
                continue;
            if (QFileInfo(fds.filePath(fd)).symLinkTarget() == target) {
                holds = true;
                break;
            }
        }
        if (holds) {
            const QString name = readLine(proc.filePath(pid + QStringLiteral("/comm")));
            out << QStringLiteral("%1 (pid %2)").arg(name.isEmpty() ? QStringLiteral("?") : name, pid);
        }
    }
    return out;
}

Check explain(const QString &path, int err, int ownFd)
{
    Check c;
    c.path = path;
    c.error = err;
    switch (err) {
    case 0:
        return c;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        c.problem = Problem::Gone;
        break;
    case EACCES:
    case EPERM:
        c.problem = Problem::NoPermission;
        c.group = groupOf(path);
        break;
    case EBUSY:
        c.problem = Problem::Busy;
        c.holder = holders(path, ownFd).join(QStringLiteral(", "));
        break;
    case ENOTTY:
    case EINVAL:
    case EISDIR:
        c.problem = Problem::NotSerial;
        break;
    default:
        c.problem = Problem::Other;
    }
    return c;
}

Check check(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return explain(path, errno);
    if (!S_ISCHR(st.st_mode))
        return explain(path, ENOTTY);
    if (::access(name.constData(), R_OK | W_OK) != 0)
        return explain(path, errno);
    Check c;
    c.path = path;
    const QStringList held = holders(path);
    if (!held.isEmpty()) {
        c.problem = Problem::Busy;
        c.holder = held.join(QStringLiteral(", "));
    }
    return c;
}

} // namespace ports
