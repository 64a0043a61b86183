#include "link/Rxtx.h"

#include "link/MessageSink.h"

namespace {
thread_local int t_nestedEvents = 0;
}

TRXTX::NestedEvents::NestedEvents()
{
    ++t_nestedEvents;
}

TRXTX::NestedEvents::~NestedEvents()
{
    --t_nestedEvents;
}

bool TRXTX::NestedEvents::active()
{
    return t_nestedEvents > 0;
}

TRXTX::TRXTX(TZiravBroadcaster &broadcaster)
{
    broadcaster.subscribe(this);
}

TRXTX::~TRXTX()
{
    if (connected_)
        port_.close();
}

void TRXTX::reopen(const QString &portName)
{
    port_.close();
    connected_ = false;
    portName_ = portName;
    lostReported_ = false;
    port_.open(portName.toStdString());
    connected_ = true;
}

void TRXTX::reportPortError(const std::exception &error)
{
    reportPortMessage(portErrorText(error), portLost(error));
}

void TRXTX::reportPortMessage(const QString &text, bool lost)
{
    // A lost port fails every exchange that follows (the stream's reader, a
    // correction, the stop): the user hears of it once, until the port is
    // opened again.
    if (lost) {
        if (lostReported_)
            return;
        lostReported_ = true;
    }
    showMessage(text);
}

void TRXTX::reportProtocolFailure(const QString &token, int received, int expected)
{
    if (token.startsWith(QLatin1Char('E'))) {
        showMessage(QString::fromUtf8("Converter doesn't respond. Please check supply voltage,COM port cable, "
                                      "Bluetooth adapter.\n\nКонвертер не отвечает. Проверьте наличие питания, "
                                      "кабель COM порта, адаптер Bluetooth\n\n\n")
                    + QString::number(received) + QString::fromUtf8(" of/из ") + QString::number(expected)
                    + QString::fromUtf8(" Recieved/Получено"));
        port_.close();
    } else if (token.startsWith(QLatin1Char('V'))) {
        showMessage(QString::fromUtf8("Verification error.\n\nОшибка верификации.\n\n\n"));
    }
}

void TRXTX::handleMessage(TMessage &message)
{
    if (message.id == kMsgSetComPort)
        reopen(static_cast<TMsgSetComPort &>(message).portName);
}
