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
    port_.open(portName.toStdString());
    connected_ = true;
}

void TRXTX::reportPortError(const std::exception &error)
{
    if (dynamic_cast<const EComPort *>(&error))
        showMessage(QString::fromUtf8("COM port doesn't open or used by other application \n"
                                      "COM порт не выбран или используется  другим приложением"));
    else
        showMessage(QString::fromLocal8Bit(error.what()));
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
