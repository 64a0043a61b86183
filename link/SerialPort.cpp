#include "link/SerialPort.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
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

[[noreturn]] void throwErrno(const char *what)
{
    throw EComPort(std::string(what) + ": " + std::strerror(errno));
}
} // namespace

SerialPort::~SerialPort()
{
    close();
}

void SerialPort::open(const std::string &path)
{
    close();
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throwErrno(("cannot open " + path).c_str());
    // Another program holding the port exclusively makes it busy for us too.
    if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
        int e = errno;
        ::close(fd);
        errno = e;
        throwErrno("cannot lock port");
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        int e = errno;
        ::close(fd);
        errno = e;
        throwErrno(("not a serial port: " + path).c_str());
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
        throwErrno("cannot set line settings");
    }
    ::tcflush(fd, TCIOFLUSH);
    fd_.store(fd);
}

void SerialPort::close()
{
    int fd = fd_.exchange(-1);
    if (fd >= 0)
        ::close(fd);
}

int SerialPort::fdOrThrow() const
{
    int fd = fd_.load();
    if (fd < 0)
        throw EComPort("port not open");
    return fd;
}

int SerialPort::write(const std::uint8_t *data, int count)
{
    int fd = fdOrThrow();
    const auto deadline = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
    int done = 0;
    while (done < count) {
        ssize_t n = ::write(fd, data + done, size_t(count - done));
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            throwErrno("write failed");
        int left = remainingMs(deadline);
        if (left == 0)
            break;
        pollfd p{fd, POLLOUT, 0};
        int r = ::poll(&p, 1, left);
        if (r < 0 && errno != EINTR)
            throwErrno("poll failed");
        if (r > 0 && (p.revents & (POLLERR | POLLNVAL)))
            throw EComPort("port lost");
    }
    return done;
}

int SerialPort::read(std::uint8_t *buffer, int count)
{
    int fd = fdOrThrow();
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
            throwErrno("read failed");
        if (hungUp)
            throw EComPort("port lost");
        int left = remainingMs(deadline);
        if (left == 0)
            break;
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, left);
        if (r < 0 && errno != EINTR)
            throwErrno("poll failed");
        // Read once more after a hang-up: bytes that arrived before it still count.
        if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            hungUp = true;
    }
    return done;
}

void SerialPort::clearInput()
{
    ::tcflush(fdOrThrow(), TCIFLUSH);
}

void SerialPort::clearOutput()
{
    int fd = fdOrThrow();
    const auto deadline = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
    for (;;) {
        int queued = 0;
        // Drivers without the query (ENOTTY) hand bytes on at once: nothing to wait for.
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0)
            return;
        if (remainingMs(deadline) == 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void SerialPort::clearBoth()
{
    clearOutput();
    clearInput();
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
