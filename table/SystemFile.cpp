#include "table/SystemFile.h"

#include <cerrno>

#include <QFile>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace systemfile {

int createNew(const QString &path)
{
#ifdef _WIN32
    return ::_wopen(reinterpret_cast<const wchar_t *>(path.utf16()), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                    _S_IREAD | _S_IWRITE);
#else
    return ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
#endif
}

int openAppend(const QString &path)
{
#ifdef _WIN32
    return ::_wopen(reinterpret_cast<const wchar_t *>(path.utf16()), _O_WRONLY | _O_APPEND | _O_BINARY);
#else
    return ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
#endif
}

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
#ifdef _WIN32
        const int chunk = size > (1 << 30) ? (1 << 30) : int(size);
        const int n = ::_write(fd, data, unsigned(chunk));
#else
        const ssize_t n = ::write(fd, data, size_t(size));
#endif
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

int sync(int fd)
{
    if (fd < 0)
        return 0;
#ifdef _WIN32
    return ::_commit(fd);
#else
    return ::fsync(fd);
#endif
}

void close(int fd)
{
#ifdef _WIN32
    ::_close(fd);
#else
    ::close(fd);
#endif
}

} // namespace systemfile
