#include "ui/AdvancedPages.h"

#include <QAction>
#include <QSettings>
#include <QTabWidget>

QSettings programSettings()
{
    return QSettings(QString::fromLatin1(AdvancedPages::kOrganisation),
                     QString::fromLatin1(AdvancedPages::kApplication));
}

AdvancedPages::AdvancedPages(QObject *parent) : QObject(parent)
{
    action_ = new QAction(QStringLiteral("Advanced pages"), this);
    action_->setObjectName(QStringLiteral("ActionAdvancedPages"));
    action_->setCheckable(true);
    action_->setChecked(false);
    // Only a user's click is remembered; restore() applies without writing.
    connect(action_, &QAction::triggered, this, [this](bool on) {
        programSettings().setValue(QString::fromLatin1(kSettingsKey), on);
        apply(on);
    });
}

void AdvancedPages::addPage(QTabWidget *tabs, QWidget *page)
{
    pages_.append({tabs, page});
    tabs->setTabVisible(tabs->indexOf(page), isOn());
}

void AdvancedPages::addCommand(QAction *command)
{
    commands_.append(command);
    command->setVisible(isOn());
}

bool AdvancedPages::isOn() const
{
    return action_->isChecked();
}

void AdvancedPages::restore()
{
    const bool on = programSettings().value(QString::fromLatin1(kSettingsKey), false).toBool();
    action_->setChecked(on);
    apply(on);
}

void AdvancedPages::apply(bool on)
{
    for (const Page &p : pages_) {
        if (!p.tabs || !p.page)
            continue;
        // A hidden page must not stay the current one.
        if (!on && p.tabs->currentWidget() == p.page)
            p.tabs->setCurrentIndex(0);
        p.tabs->setTabVisible(p.tabs->indexOf(p.page), on);
    }
    for (const QPointer<QAction> &command : commands_)
        if (command)
            command->setVisible(on);
    emit toggled(on);
}
