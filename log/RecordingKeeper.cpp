#include "log/RecordingKeeper.h"

#include <cerrno>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "table/SafeFile.h"
#include "table/SystemFile.h"

namespace {
constexpr qint64 kSyncEveryMs = 1000;

// Only files named exactly as recordings are counted and removed.
const QRegularExpression &namePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2}(_\\d+)?\\.log$"));
    return pattern;
}

QString sequenceKey(const QString &name)
{
    const QRegularExpressionMatch m = namePattern().match(name);
    const int n = m.captured(1).isEmpty() ? 1 : m.captured(1).mid(1).toInt();
    return name.left(19) + QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0'));
}

} // namespace

RecordingKeeper::RecordingKeeper(const QString &folder, int keep) : folder_(folder), keep_(keep) {}

RecordingKeeper::~RecordingKeeper()
{
    end();
}

QString RecordingKeeper::fileName(const QDateTime &when, int sequence)
{
    const QString base = when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    return sequence > 1 ? QStringLiteral("%1_%2.log").arg(base).arg(sequence) : base + QStringLiteral(".log");
}

bool RecordingKeeper::begin(const QByteArray &header, const QDateTime &when)
{
    end();
    error_.clear();
    path_.clear();
    if (folder_.isEmpty())
        return false;
    if (!QDir(folder_).mkpath(QStringLiteral("."))) {
        error_ = QStringLiteral("cannot create ") + folder_;
        return false;
    }
    QString reason;
    const QString path = safefile::createUnique(
        folder_, [&](int n) { return fileName(when, n); }, &reason);
    if (path.isEmpty()) {
        error_ = reason;
        return false;
    }
    fd_ = systemfile::openAppend(path);
    if (fd_ < 0 || !systemfile::writeAll(fd_, header.constData(), header.size())) {
        fail(path, errno);
        QFile::remove(path); // not even its header: nothing to keep
        return false;
    }
    path_ = path;
    systemfile::sync(fd_);
    sinceSync_.start();
    safefile::removeOldest(safefile::ownFilesOldestFirst(
                               folder_,
                               [](const QFileInfo &info) { return namePattern().match(info.fileName()).hasMatch(); },
                               sequenceKey),
                           keep_, path_);
    return true;
}

bool RecordingKeeper::append(const QByteArray &records)
{
    if (fd_ < 0)
        return false;
    if (!systemfile::writeAll(fd_, records.constData(), records.size()))
        return fail(path_, errno);
    if (sinceSync_.elapsed() >= kSyncEveryMs) {
        if (systemfile::sync(fd_) != 0 && errno != EINVAL && errno != EROFS)
            return fail(path_, errno);
        sinceSync_.restart();
    }
    return true;
}

void RecordingKeeper::end()
{
    if (fd_ < 0)
        return;
    systemfile::sync(fd_);
    systemfile::close(fd_);
    fd_ = -1;
}

bool RecordingKeeper::fail(const QString &what, int code)
{
    error_ = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(code));
    if (fd_ >= 0)
        systemfile::close(fd_);
    fd_ = -1;
    return false;
}
