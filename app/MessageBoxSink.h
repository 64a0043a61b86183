#pragma once
#include "link/MessageSink.h"

class QWidget;

// Shows each message as a modal box with one OK button.
class MessageBoxSink : public MessageSink {
public:
    explicit MessageBoxSink(QWidget *parent = nullptr) : parent_(parent) {}
    void setParent(QWidget *parent) { parent_ = parent; }
    void showMessage(const QString &text) override;
    int ask(const QString &text, const QStringList &answers) override;

private:
    QWidget *parent_;
};
