#include "link/SerialPort.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

[[noreturn]] void throwErrno(const char *what, EComPort::Kind kind, const std::string &path = {})
{
    const int code = errno;
    throw EComPort(std::string(what) + ": " + std::strerror(code), kind, code, path);
}
} // namespace

SerialPort::~SerialPort()
{
    close();
    if (wake_ >= 0)
        ::close(wake_);
}

void SerialPort::release(Handle fd)
{
    // The exclusive mode can outlive the descriptor (a pseudo-terminal whose
    // other end stays open): leave the port free for the next open.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

void SerialPort::open(const std::string &path)
{
    close();
    if (wake_ < 0) {
        wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake_ < 0)
            throwErrno("eventfd", EComPort::Other);
    }
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throwErrno(("cannot open " + path).c_str(), EComPort::CannotOpen, path);
    // Another program holding the port exclusively makes it busy for us too,
    // even where the system would let this program in (run as root).
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive) {
        ::close(fd);
        errno = EBUSY;
        throwErrno(("cannot open " + path).c_str(), EComPort::CannotOpen, path);
    }
    if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
        int e = errno;
        ::close(fd);
        errno = e;
        throwErrno("cannot lock port", EComPort::CannotOpen, path);
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        int e = errno;
        ::close(fd);
        errno = e;
        throwErrno(("not a serial port: " + path).c_str(), EComPort::CannotOpen, path);
    }
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        int e = errno;
        ::close(fd);
        errno = e;
        throwErrno("cannot set line settings", EComPort::CannotOpen);
    }
    // A USB adapter holds received bytes for its latency timer (16 ms by
    // default) before passing them on; the full write's 392 one-byte round
    // trips would wait that long each. Ports without the setting keep theirs.
    lowLatency_ = false;
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        lowLatency_ = ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
    }
    ::tcflush(fd, TCIOFLUSH);
    handle_.store(fd);
}

void SerialPort::abortRead()
{
    abortCount_.fetch_add(1);
    if (wake_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
    }
}

bool SerialPort::aborted(unsigned since)
{
    std::uint64_t value = 0;
    [[maybe_unused]] ssize_t n = ::read(wake_, &value, sizeof value);
    return abortCount_.load() != since;
}

int SerialPort::write(const std::uint8_t *data, int count)
{
    const Use use(*this);
    const int fd = use.handle();
    const auto deadline = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
    int done = 0;
    while (done < count) {
        ssize_t n = ::write(fd, data + done, size_t(count - done));
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            throwErrno("write failed", EComPort::Lost);
        int left = remainingMs(deadline);
        if (left == 0)
            break;
        pollfd p{fd, POLLOUT, 0};
        int r = ::poll(&p, 1, left);
        if (r < 0 && errno != EINTR)
            throwErrno("poll failed", EComPort::Lost);
        if (r > 0 && (p.revents & (POLLERR | POLLNVAL)))
            throw EComPort("port lost", EComPort::Lost);
    }
    return done;
}

int SerialPort::read(std::uint8_t *buffer, int count)
{
    const unsigned abortsBefore = abortCount_.load();
    const Use use(*this);
    const int fd = use.handle();
    const auto deadline = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
    int done = 0;
    bool hungUp = false;
    while (done < count) {
        // In raw mode without a minimum count a read with nothing waiting
        // returns 0, so a lost port shows only through poll's hang-up flags.
        ssize_t n = ::read(fd, buffer + done, size_t(count - done));
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            throwErrno("read failed", EComPort::Lost);
        if (hungUp)
            throw EComPort("port lost", EComPort::Lost);
        int left = remainingMs(deadline);
        if (left == 0)
            break;
        pollfd p[2] = {{fd, POLLIN, 0}, {wake_, POLLIN, 0}};
        int r = ::poll(p, 2, left);
        if (r < 0 && errno != EINTR)
            throwErrno("poll failed", EComPort::Lost);
        if (r > 0 && (p[1].revents & POLLIN) && aborted(abortsBefore)) {
            if (handle_.load() != fd)
                throw EComPort("port closed");
            break;
        }
        // Read once more after a hang-up: bytes that arrived before it still count.
        if (r > 0 && (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)))
            hungUp = true;
    }
    return done;
}

void SerialPort::clearInput()
{
    const Use use(*this);
    ::tcflush(use.handle(), TCIFLUSH);
}

int SerialPort::queuedOutput(Handle fd)
{
    int queued = 0;
    // Drivers without the query (ENOTTY) hand bytes on at once: nothing to wait for.
    return ::ioctl(fd, TIOCOUTQ, &queued) == 0 ? queued : 0;
}

#include <QSerialPortInfo>

QStringList SerialPort::availablePorts()
{
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names.append(info.systemLocation());
    names.sort();
    return names;
}
