#pragma once
// Thin POSIX termios serial port: raw 9600 8N1, no flow control, reads and
// writes with a total time-out. One thread may read while another writes.
#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>

#include <QStringList>

// A failure of the serial layer itself (port missing, busy, not open, lost).
// The channel reports this class with its own message, distinct from protocol failures.
class EComPort : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SerialPort {
public:
    static constexpr int kTimeoutMs = 1000;

    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    // Opens the device path and applies the line settings. Throws EComPort.
    void open(const std::string &path);
    void close();
    bool isOpen() const { return fd_.load() >= 0; }

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
    int fdOrThrow() const;
    std::atomic<int> fd_{-1};
};
