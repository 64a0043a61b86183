// Bytes written just before the port closes reach the unit even when the
// driver still holds them. A pseudo-terminal cannot show this: it refuses a
// write while its output is stopped (nothing is queued), hands accepted bytes
// to the other side at once, reports an empty output queue (TIOCOUTQ 0) and
// keeps them across the close. So this test puts a driver's output queue
// between our serial layer and the emulator's pseudo-terminal: write(),
// ioctl(TIOCOUTQ) and close() on the port's descriptor are taken over here.
// The queue holds what is written, lets one byte onto the line each time its
// size is asked (the line draining while the caller waits), and is thrown
// away by close(), as a serial driver drops what it has not sent.
#include <QtTest>

#include <cstdarg>
#include <deque>
#include <mutex>

#include <asm/ioctls.h>
#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include "link/Protocol.h"
#include "link/Rxtx.h"
#include "sim/Emulator.h"

namespace {

struct HeldOutput {
    std::mutex m;
    int fd = -1;
    std::deque<char> queue;
    int discarded = 0;
    int drainQueries = 0;
};
HeldOutput g_held;

template <typename F>
F real(const char *name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

ssize_t realWrite(int fd, const void *data, size_t n)
{
    static const auto f = real<ssize_t (*)(int, const void *, size_t)>("write");
    return f(fd, data, n);
}

// The descriptors of this process open on path.
QList<int> descriptorsOf(const QString &path)
{
    QList<int> fds;
    const QDir dir(QStringLiteral("/proc/self/fd"));
    for (const QString &name : dir.entryList(QDir::Files | QDir::System))
        if (QFileInfo(dir.filePath(name)).symLinkTarget() == path)
            fds.append(name.toInt());
    return fds;
}

} // namespace

extern "C" ssize_t write(int fd, const void *data, size_t n)
{
    {
        std::lock_guard<std::mutex> lock(g_held.m);
        if (fd >= 0 && fd == g_held.fd) {
            const char *bytes = static_cast<const char *>(data);
            g_held.queue.insert(g_held.queue.end(), bytes, bytes + n);
            return ssize_t(n);
        }
    }
    return realWrite(fd, data, n);
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list args;
    va_start(args, request);
    void *argument = va_arg(args, void *);
    va_end(args);
    if (request == TIOCOUTQ) {
        std::lock_guard<std::mutex> lock(g_held.m);
        if (fd >= 0 && fd == g_held.fd) {
            ++g_held.drainQueries;
            if (!g_held.queue.empty()) {
                realWrite(fd, &g_held.queue.front(), 1);
                g_held.queue.pop_front();
            }
            *static_cast<int *>(argument) = int(g_held.queue.size());
            return 0;
        }
    }
    static const auto f = real<int (*)(int, unsigned long, ...)>("ioctl");
    return f(fd, request, argument);
}

extern "C" int close(int fd)
{
    {
        std::lock_guard<std::mutex> lock(g_held.m);
        if (fd >= 0 && fd == g_held.fd) {
            g_held.discarded += int(g_held.queue.size());
            g_held.queue.clear();
            g_held.fd = -1;
        }
    }
    static const auto f = real<int (*)(int)>("close");
    return f(fd);
}

class TestPortClose : public QObject {
    Q_OBJECT
private slots:
    // The correction the window sends as it closes, still in the driver when
    // the port is closed, arrives whole.
    void closeLetsHeldBytesLeave()
    {
        sim::Emulator unit;
        const QString path = QString::fromStdString(unit.start());
        const QList<int> before = descriptorsOf(path); // the emulator's own
        TZiravBroadcaster b;
        TRXTX channel(b);
        channel.reopen(path);
        QList<int> ours = descriptorsOf(path);
        for (int fd : before)
            ours.removeAll(fd);
        QCOMPARE(ours.size(), 1);
        {
            std::lock_guard<std::mutex> lock(g_held.m);
            g_held.fd = ours.front();
        }
        proto::liveCorrection(channel, -7);
        {
            std::lock_guard<std::mutex> lock(g_held.m);
            QCOMPARE(int(g_held.queue.size()), 3); // all held back by the driver
        }
        channel.closePort();
        QCOMPARE(g_held.discarded, 0);
        QVERIFY(g_held.drainQueries >= 3);
        QVERIFY(unit.waitForEvent("correction -7", 3000));
        QVERIFY(!channel.isPortOpen());
    }
};

QTEST_GUILESS_MAIN(TestPortClose)
#include "tst_port_close.moc"
