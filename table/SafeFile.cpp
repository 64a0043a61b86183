#include "table/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "table/SystemFile.h"

namespace safefile {
namespace {
QString systemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

Result failed(Result::Status status, const QString &reason)
{
    Result r;
    r.status = status;
    r.reason = reason;
    return r;
}
} // namespace

Result write(const QString &name, const Writer &writer, bool directFallback)
{
    const QFileInfo info(name);
    // Something that is not a file (a folder, say) stands where the file
    // should go and cannot be replaced.
    if (info.exists() && !info.isFile())
        return failed(Result::CannotReplace, QStringLiteral("%1 is not a file").arg(name));
    QSaveFile file(name);
    file.setDirectWriteFallback(directFallback);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failed(Result::CannotWrite, file.errorString());
    // Unbuffered, so that a write the disk refuses fails there and then, with
    // the system's reason in errno (Qt's own text for it is often "Unknown
    // error"); commit() alone has been seen to report success after a
    // buffered write failed.
    errno = 0;
    bool written = writer(file) && file.flush() && file.error() == QFileDevice::NoError;
    QString reason = errno != 0 ? systemReason(errno) : file.errorString();
    if (written && systemfile::sync(file.handle()) != 0) {
        // A file system that cannot sync (some network shares) has not failed.
        if (errno != EINVAL && errno != EROFS && errno != ENOTSUP) {
            written = false;
            reason = systemReason(errno);
        }
    }
    if (!written) {
        file.cancelWriting(); // the temporary file goes with the object
        return failed(Result::CannotWrite, reason.isEmpty() ? QStringLiteral("write error") : reason);
    }
    // The new file is complete; only putting it in place of the old one can fail now.
    if (!file.commit() || file.error() != QFileDevice::NoError)
        return failed(info.exists() ? Result::CannotReplace : Result::CannotWrite, file.errorString());
    Result done;
    done.status = Result::Done;
    return done;
}

Result write(const QString &name, const QByteArray &bytes, bool directFallback)
{
    return write(
        name, [&](QIODevice &device) { return device.write(bytes) == bytes.size(); }, directFallback);
}

QString withReason(const QString &message, const Result &result)
{
    return result.reason.isEmpty() ? message : message + QStringLiteral("\n\n") + result.reason;
}

QString createUnique(const QString &folder, const std::function<QString(int)> &nameFor, QString *reason)
{
    const QDir dir(folder);
    for (int n = 1; n < 10000; ++n) {
        const QString path = dir.filePath(nameFor(n));
        // O_EXCL: of two programs creating this name at once, one gets it.
        const int fd = systemfile::createNew(path);
        if (fd >= 0) {
            systemfile::close(fd);
            return path;
        }
        if (errno != EEXIST) {
            if (reason)
                *reason = path + QStringLiteral(": ") + systemReason(errno);
            return QString();
        }
    }
    if (reason)
        *reason = QStringLiteral("no free name in ") + folder;
    return QString();
}

QFileInfoList ownFilesOldestFirst(const QString &folder, const std::function<bool(const QFileInfo &)> &own,
                                  const std::function<QString(const QString &)> &tieKey)
{
    QFileInfoList found;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files))
        if (own(info))
            found.append(info);
    std::sort(found.begin(), found.end(), [&](const QFileInfo &a, const QFileInfo &b) {
        const qint64 ta = a.lastModified().toMSecsSinceEpoch(), tb = b.lastModified().toMSecsSinceEpoch();
        if (ta != tb)
            return ta < tb;
        return tieKey(a.fileName()) < tieKey(b.fileName());
    });
    return found;
}

void removeOldest(const QFileInfoList &oldestFirst, int keep, const QString &except)
{
    const QFileInfo kept(except);
    int excess = int(oldestFirst.size()) - keep;
    for (const QFileInfo &info : oldestFirst) {
        if (excess <= 0)
            break;
        if (info == kept)
            continue;
        if (QFile::remove(info.filePath()))
            --excess;
    }
}

} // namespace safefile
