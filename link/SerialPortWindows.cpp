#include "link/SerialPort.h"

#include "link/PortInfo.h"

#include <chrono>

#include <windows.h>

// Overlapped I/O on one handle: a reader thread and UI-thread writes each
// have their own OVERLAPPED, so neither waits for the other. The driver's
// own total time-outs end a read or write; an abort cancels only the read.

namespace {
using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

[[noreturn]] void throwLastError(const std::string &what, EComPort::Kind kind, const std::string &path = {})
{
    const int code = int(::GetLastError());
    throw EComPort(what + ": " + ports::systemErrorText(code).toStdString(), kind, code, path);
}

// "COM5" as the system's device name "\\.\COM5" (which COM10 and above need).
std::wstring deviceName(const std::string &path)
{
    const std::wstring wide = QString::fromStdString(path).toStdWString();
    return wide.rfind(L"\\\\.\\", 0) == 0 ? wide : L"\\\\.\\" + wide;
}

// An event for one overlapped operation, closed with it.
class Overlapped {
public:
    Overlapped()
    {
        ov_.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!ov_.hEvent)
            throwLastError("CreateEvent", EComPort::Other);
    }
    ~Overlapped() { ::CloseHandle(ov_.hEvent); }
    Overlapped(const Overlapped &) = delete;
    Overlapped &operator=(const Overlapped &) = delete;
    OVERLAPPED *get() { return &ov_; }
    HANDLE event() const { return ov_.hEvent; }

private:
    OVERLAPPED ov_{};
};

// The port's pending operation failed in a way that means it is gone
// (unplugged adapter) rather than a time-out.
bool lostError(DWORD error)
{
    return error != ERROR_OPERATION_ABORTED && error != ERROR_IO_INCOMPLETE && error != ERROR_TIMEOUT;
}
} // namespace

SerialPort::~SerialPort()
{
    close();
    if (wake_)
        ::CloseHandle(wake_);
}

void SerialPort::release(Handle handle)
{
    ::CloseHandle(handle);
    if (portLock_) {
        ::CloseHandle(portLock_);
        portLock_ = nullptr;
    }
}

void SerialPort::open(const std::string &path)
{
    close();
    if (!wake_) {
        wake_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!wake_)
            throwLastError("CreateEvent", EComPort::Other);
    }
    // Our own programs first: one holding the port makes it busy (Windows
    // would refuse the open itself, Wine lets a second program in).
    HANDLE lock = ::CreateMutexW(nullptr, FALSE, ports::portLockName(QString::fromStdString(path)).c_str());
    if (lock && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(lock);
        ::SetLastError(ERROR_SHARING_VIOLATION);
        throwLastError("cannot open " + path, EComPort::CannotOpen, path);
    }
    // No sharing: a COM port is this program's alone while open, as the
    // exclusive mode gives it on Linux.
    HANDLE h = ::CreateFileW(deviceName(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr);
    auto fail = [&](const std::string &what) {
        const DWORD error = ::GetLastError();
        if (h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
        if (lock)
            ::CloseHandle(lock);
        ::SetLastError(error);
        throwLastError(what + ": " + path, EComPort::CannotOpen, path);
    };
    if (h == INVALID_HANDLE_VALUE)
        fail("cannot open");
    if (::GetFileType(h) != FILE_TYPE_CHAR) {
        ::SetLastError(ERROR_INVALID_FUNCTION);
        fail("not a serial port");
    }
    ::SetupComm(h, 4096, 4096);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(h, &dcb))
        fail("not a serial port");
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE; // a framing error must not stall every later read
    // DTR and RTS raised, as opening a port raises them on Linux.
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!::SetCommState(h, &dcb))
        fail("cannot set line settings");
    // A read ends when all its bytes came or the total time passed; a write
    // likewise. The abort event ends a read sooner.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = kTimeoutMs;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = kTimeoutMs;
    if (!::SetCommTimeouts(h, &timeouts))
        fail("cannot set time-outs");
    // A USB adapter's latency timer is a driver setting in the device
    // manager on Windows; no call reaches it from here.
    lowLatency_ = false;
    ::PurgeComm(h, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
    portLock_ = lock;
    handle_.store(h);
}

void SerialPort::abortRead()
{
    abortCount_.fetch_add(1);
    if (wake_)
        ::SetEvent(wake_);
}

bool SerialPort::aborted(unsigned since)
{
    ::ResetEvent(wake_);
    return abortCount_.load() != since;
}

int SerialPort::write(const std::uint8_t *data, int count)
{
    const Use use(*this);
    HANDLE h = use.handle();
    Overlapped ov;
    DWORD written = 0;
    if (!::WriteFile(h, data, DWORD(count), nullptr, ov.get()) && ::GetLastError() != ERROR_IO_PENDING)
        throwLastError("write failed", EComPort::Lost);
    if (!::GetOverlappedResult(h, ov.get(), &written, TRUE)) {
        const DWORD error = ::GetLastError();
        if (lostError(error))
            throwLastError("write failed", EComPort::Lost);
    }
    return int(written);
}

int SerialPort::read(std::uint8_t *buffer, int count)
{
    const unsigned abortsBefore = abortCount_.load();
    const Use use(*this);
    HANDLE h = use.handle();
    if (count <= 0)
        return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
    Overlapped ov;
    DWORD got = 0;
    if (!::ReadFile(h, buffer, DWORD(count), nullptr, ov.get()) && ::GetLastError() != ERROR_IO_PENDING)
        throwLastError("read failed", EComPort::Lost);
    bool cancelled = false;
    for (;;) {
        const HANDLE waits[2] = {ov.event(), wake_};
        // The driver's time-out ends the read; the margin only guards
        // against a driver that never does.
        const DWORD r = ::WaitForMultipleObjects(2, waits, FALSE, DWORD(remainingMs(deadline) + 200));
        if (r == WAIT_OBJECT_0)
            break;
        if (r == WAIT_OBJECT_0 + 1 && !aborted(abortsBefore))
            continue;
        // Aborted, or the driver overran its time-out: take what came.
        ::CancelIoEx(h, ov.get());
        cancelled = true;
        break;
    }
    if (!::GetOverlappedResult(h, ov.get(), &got, TRUE)) {
        const DWORD error = ::GetLastError();
        if (!cancelled && lostError(error))
            throwLastError("read failed", EComPort::Lost);
    }
    if (cancelled && handle_.load() != h)
        throw EComPort("port closed");
    return int(got);
}

void SerialPort::clearInput()
{
    const Use use(*this);
    ::PurgeComm(use.handle(), PURGE_RXCLEAR);
}

int SerialPort::queuedOutput(Handle handle)
{
    // The queue the driver reports; FlushFileBuffers would wait for it as
    // well, but without a bound.
    DWORD errors = 0;
    COMSTAT status{};
    return ::ClearCommError(handle, &errors, &status) ? int(status.cbOutQue) : 0;
}

QStringList SerialPort::availablePorts()
{
    QStringList names;
    for (const ports::Port &port : ports::list())
        names.append(port.path);
    return names;
}
