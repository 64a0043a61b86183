#include "app/MessageBoxSink.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

void MessageBoxSink::showMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent_);
    box.exec();
}

int MessageBoxSink::ask(const QString &text, const QStringList &answers)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text, QMessageBox::NoButton, parent_);
    QList<QAbstractButton *> buttons;
    for (int i = 0; i < answers.size(); ++i) {
        const bool last = i == answers.size() - 1;
        buttons << box.addButton(answers.at(i), last ? QMessageBox::RejectRole
                                                     : (i == 0 ? QMessageBox::AcceptRole : QMessageBox::DestructiveRole));
    }
    if (!buttons.isEmpty()) {
        box.setDefaultButton(qobject_cast<QPushButton *>(buttons.first()));
        box.setEscapeButton(buttons.last()); // Esc and the close box cancel
    }
    box.exec();
    const int chosen = int(buttons.indexOf(box.clickedButton()));
    return chosen < 0 ? int(answers.size()) - 1 : chosen;
}
