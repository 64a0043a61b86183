#include "app/Application.h"

#include "link/MessageSink.h"

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        showMessage(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        showMessage(QStringLiteral("Unknown error"));
    }
    return false;
}
