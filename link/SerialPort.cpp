#include "link/SerialPort.h"

#include "link/PortInfo.h"

#include <chrono>
#include <thread>

// What does not depend on the system: the words for a failure, and the
// bookkeeping that lets close() wait for operations on other threads.

QString portErrorText(const std::exception &error)
{
    const auto *port = dynamic_cast<const EComPort *>(&error);
    if (!port || port->kind() == EComPort::Other)
        return QString::fromLocal8Bit(error.what());
    if (port->kind() == EComPort::Lost)
        return QString::fromUtf8("The COM port was lost: the adapter was unplugged or the unit lost power.\n"
                                 "Plug it in again and press Reconnect.\n\n"
                                 "COM порт потерян: адаптер отключён или пропало питание.\n"
                                 "Подключите его снова и нажмите «Переподключить».");
    const QString text = QString::fromUtf8("COM port doesn't open or used by other application \n"
                                           "COM порт не выбран или используется  другим приложением");
    const QString reason = portOpenReason(error);
    return reason.isEmpty() ? text : text + QStringLiteral("\n\n") + reason;
}

QString portOpenReason(const std::exception &error)
{
    const auto *port = dynamic_cast<const EComPort *>(&error);
    if (!port || port->kind() != EComPort::CannotOpen || port->path().empty() || port->code() == 0)
        return QString();
    return ports::reasonTextBoth(ports::explain(QString::fromStdString(port->path()), port->code()));
}

bool portLost(const std::exception &error)
{
    const auto *port = dynamic_cast<const EComPort *>(&error);
    return port && port->kind() == EComPort::Lost;
}

SerialPort::Use::Use(SerialPort &port) : port_(port)
{
    std::lock_guard<std::mutex> lock(port.useMutex_);
    handle_ = port.handle_.load();
    if (handle_ == kClosed)
        throw EComPort("port not open", EComPort::CannotOpen);
    ++port.users_;
}

SerialPort::Use::~Use()
{
    std::lock_guard<std::mutex> lock(port_.useMutex_);
    if (--port_.users_ == 0)
        port_.useDone_.notify_all();
}

void SerialPort::close()
{
    const Handle handle = handle_.load();
    if (handle == kClosed)
        return;
    // Bytes written just before (the correction 0 of a closing window) must
    // still reach the unit: closing discards what the driver holds.
    drainOutput(handle);
    std::unique_lock<std::mutex> lock(useMutex_);
    handle_.store(kClosed);
    abortRead();
    useDone_.wait(lock, [this] { return users_ == 0; });
    release(handle);
}

void SerialPort::clearOutput()
{
    const Use use(*this);
    drainOutput(use.handle());
}

void SerialPort::drainOutput(Handle handle)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    while (queuedOutput(handle) > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void SerialPort::clearBoth()
{
    clearOutput();
    clearInput();
}
