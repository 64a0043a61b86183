#include "app/MessageBoxSink.h"

#include <QApplication>
#include <QMessageBox>

void MessageBoxSink::showMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent_);
    box.exec();
}
