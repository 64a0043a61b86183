#pragma once
// Thin serial port: raw 9600 8N1, no flow control, reads and writes with a
// total time-out. One thread may read while another writes. termios on
// Linux, overlapped Win32 I/O on Windows; both behave alike to callers.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>

#include <QStringList>

// A failure of the serial layer itself (port missing, busy, not open, lost).
// The channel reports this class with its own message, distinct from protocol failures.
class EComPort : public std::runtime_error {
public:
    // CannotOpen: missing, busy or not a serial port (also "not open");
    // Lost: an open port that stopped working (unplugged, unit without power).
    enum Kind { CannotOpen, Lost, Other };
    explicit EComPort(const std::string &what, Kind kind = Other, int code = 0, const std::string &path = {})
        : std::runtime_error(what), kind_(kind), code_(code), path_(path)
    {
    }
    Kind kind() const { return kind_; }
    // The system's error number and the port, where the failure has them.
    int code() const { return code_; }
    const std::string &path() const { return path_; }

private:
    Kind kind_;
    int code_;
    std::string path_;
};

// The message a user reads for a failure of the port, in both languages
// (an error of another kind: its own text); a port that did not open says
// why as well.
QString portErrorText(const std::exception &error);
// Why a port did not open, in words the user can act on (both languages),
// or "" when the error is not a port that failed to open.
QString portOpenReason(const std::exception &error);
bool portLost(const std::exception &error);

class SerialPort {
public:
    static constexpr int kTimeoutMs = 1000;

    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    // Opens the device path ("/dev/ttyUSB0"; "COM5" on Windows) and applies
    // the line settings, and asks a USB adapter's driver for low latency
    // where it has that setting. Throws EComPort.
    void open(const std::string &path);
    // Lets the bytes already written leave (at most kTimeoutMs), wakes a read
    // blocked on the port and waits for it to let go, then closes. A read
    // running on another thread therefore never goes on with a descriptor
    // number that a later open hands to another port.
    void close();
    bool isOpen() const { return handle_.load() != kClosed; }
    // The driver took the low-latency setting (USB serial adapters); false on
    // ports without it (pseudo-terminals, Bluetooth).
    bool lowLatency() const { return lowLatency_; }
    // A read in progress on another thread returns at once with what it has.
    void abortRead();

    // Returns the count written; stops after kTimeoutMs in all. Throws EComPort.
    int write(const std::uint8_t *data, int count);
    // Returns once count bytes arrived or kTimeoutMs passed since the call began,
    // with what arrived by then. Throws EComPort when the port is closed or lost.
    int read(std::uint8_t *buffer, int count);

    // Discards bytes received but not yet read.
    void clearInput();
    // Waits (at most kTimeoutMs) until the bytes already written have left the
    // output queue. Flushing the queue instead would throw away command bytes
    // that write() has only handed to the driver, and the unit would miss them.
    void clearOutput();
    // clearOutput() then clearInput().
    void clearBoth();

    // Names of the serial ports present on the system, sorted.
    static QStringList availablePorts();

private:
#ifdef _WIN32
    using Handle = void *; // HANDLE
    static constexpr Handle kClosed = nullptr;
#else
    using Handle = int; // file descriptor
    static constexpr Handle kClosed = -1;
#endif
    // Marks the port as used by the calling operation for its duration, so
    // that close() waits for it; throws EComPort when the port is not open.
    class Use {
    public:
        explicit Use(SerialPort &port);
        ~Use();
        Use(const Use &) = delete;
        Use &operator=(const Use &) = delete;
        Handle handle() const { return handle_; }

    private:
        SerialPort &port_;
        Handle handle_;
    };
    // Waits (at most kTimeoutMs) until the driver's output queue is empty.
    void drainOutput(Handle handle);
    // Bytes written but not yet sent, as the driver tells (0 where it cannot).
    static int queuedOutput(Handle handle);
    // Clears the wake-up signal; true when an abort was asked after `since`.
    bool aborted(unsigned since);
    // The system's part of close(), once no operation uses the handle.
    void release(Handle handle);

    std::atomic<Handle> handle_{kClosed};
    bool lowLatency_ = false;
#ifdef _WIN32
    void *wake_ = nullptr; // manual-reset event that wakes a blocked read
    void *portLock_ = nullptr; // named mutex: this program's hold on the port (see open())
#else
    int wake_ = -1; // eventfd that wakes a blocked read
#endif
    std::atomic<unsigned> abortCount_{0};
    std::mutex useMutex_;
    std::condition_variable useDone_;
    int users_ = 0;
};
