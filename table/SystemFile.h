#pragma once
// The few file calls that go past Qt to the system, so that a refused write
// shows at once with the system's reason in errno: creating a name no other
// program can take at the same moment, appending, syncing to disk. POSIX
// calls on Linux, the C runtime's own on Windows (binary mode there).
#include <QString>

namespace systemfile {

// Creates path, failing with errno EEXIST when it exists. A descriptor, or -1.
int createNew(const QString &path);
// Opens an existing file for appending. A descriptor, or -1 with errno set.
int openAppend(const QString &path);
// Writes all size bytes; false with errno set when the system refused some.
bool writeAll(int fd, const char *data, qint64 size);
// The file's bytes reach the disk: 0, or -1 with errno set. A descriptor of
// -1 (a file Qt holds without one) is taken as synced by its own close.
int sync(int fd);
void close(int fd);

} // namespace systemfile
