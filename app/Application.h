#pragma once
#include <QApplication>

// Shows an exception that escapes an event handler with its message and goes
// on with the event loop, instead of ending the program.
class TApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override;
};
