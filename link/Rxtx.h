#pragma once
// The one serial channel to the unit: port, connected flag, port-idle flag and
// the two reporters that turn failures into the user's messages.
#include <atomic>
#include <cstdint>
#include <exception>
#include <stdexcept>

#include <QByteArray>
#include <QString>

#include "link/SerialPort.h"
#include "link/Ziravbroadcaster.h"

// A protocol failure: the token ("ErrorConnect", "ErrorConnect=",
// "VerificationError") with the received and expected byte counts.
class EProtocol : public std::runtime_error {
public:
    EProtocol(const QString &token, int received, int expected)
        : std::runtime_error(token.toStdString()), token_(token), received_(received), expected_(expected) {}
    const QString &token() const { return token_; }
    int received() const { return received_; }
    int expected() const { return expected_; }

private:
    QString token_;
    int received_;
    int expected_;
};

class TRXTX : public TSubscriber {
public:
    static constexpr const char *kInitialPortName = "COM1";

    // Subscribes itself; the port stays closed until the first reopen.
    explicit TRXTX(TZiravBroadcaster &broadcaster);
    ~TRXTX() override;
    TRXTX(const TRXTX &) = delete;
    TRXTX &operator=(const TRXTX &) = delete;

    // Closes the port, takes the new name and opens it. A failed open throws
    // EComPort and leaves the connected flag clear.
    void reopen(const QString &portName);
    // Closes the port without touching the connected flag.
    void closePort() { port_.close(); }
    // A read blocked on another thread (the live-data reader) returns at once.
    void abortRead() { port_.abortRead(); }

    // A long exchange keeps the window painting by running the event loop
    // between its bytes. Whatever that loop runs meanwhile (a live tick's
    // quick write, a queued stop, a timer) must not put bytes between an
    // exchange's bytes: on the thread that holds a NestedEvents, the channel
    // drops writes and queue operations and reads nothing.
    class NestedEvents {
    public:
        NestedEvents();
        ~NestedEvents();
        NestedEvents(const NestedEvents &) = delete;
        NestedEvents &operator=(const NestedEvents &) = delete;
        static bool active();
    };

    int write(const std::uint8_t *data, int count) { return NestedEvents::active() ? 0 : port_.write(data, count); }
    int write(const QByteArray &bytes)
    {
        return write(reinterpret_cast<const std::uint8_t *>(bytes.constData()), int(bytes.size()));
    }
    int read(std::uint8_t *buffer, int count) { return NestedEvents::active() ? 0 : port_.read(buffer, count); }
    void clearBoth()
    {
        if (!NestedEvents::active())
            port_.clearBoth();
    }
    void clearOutput()
    {
        if (!NestedEvents::active())
            port_.clearOutput();
    }
    bool lowLatency() const { return port_.lowLatency(); }

    bool isConnected() const { return connected_; }
    bool isPortOpen() const { return port_.isOpen(); }
    QString portName() const { return portName_; }

    // False while the live-data reader is inside a frame read.
    std::atomic<bool> portIdle{true};

    // Shows the port-error message for EComPort (portErrorText), the error's
    // own text otherwise; a lost port once until it is opened again.
    void reportPortError(const std::exception &error);
    void reportPortMessage(const QString &text, bool lost);
    // The port was lost and the user has been told.
    bool portLostReported() const { return lostReported_; }
    // Shows the message for a protocol token ('E' closes the port, 'V' verification).
    void reportProtocolFailure(const QString &token, int received, int expected);

    void handleMessage(TMessage &message) override;

private:
    SerialPort port_;
    QString portName_ = QString::fromLatin1(kInitialPortName);
    bool connected_ = false;
    bool lostReported_ = false;
};

// Runs a device operation, handing failures to the channel's reporters as the
// device operations do: protocol tokens to the protocol-failure reporter, the
// rest to the port-error reporter. Returns true when the operation completed.
template <typename F>
bool runReported(TRXTX &channel, F &&operation)
{
    try {
        operation();
        return true;
    } catch (const EProtocol &e) {
        channel.reportProtocolFailure(e.token(), e.received(), e.expected());
    } catch (const std::exception &e) {
        channel.reportPortError(e);
    }
    return false;
}
