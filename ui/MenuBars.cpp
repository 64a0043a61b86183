#include "ui/MenuBars.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {
const char *const kBarNames[MenuBars::kBars] = {
    "ActionMainMenuBarLogGraph",    "ActionMainMenuBarTableCompare", "ActionMainMenuBarTableGraph",
    "ActionMainMenuBarDashboard",   "ActionMainMenuBarOptionsSetup", "ActionMainMenuBarFirmwareUpgrade",
    "MenuBarPlain"};
} // namespace

MenuBars::MenuBars(QWidget *parent) : QStackedWidget(parent)
{
    setObjectName(QStringLiteral("MenuBars"));
    for (int i = 0; i < kBars; ++i) {
        bars_[i] = new QMenuBar(this);
        bars_[i]->setObjectName(QString::fromLatin1(kBarNames[i]));
        // Stacked bars are widgets of the window, never the desktop's global menu.
        bars_[i]->setNativeMenuBar(false);
        addWidget(bars_[i]);
    }
    setCurrentWidget(bars_[Plain]);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QMenuBar *MenuBars::bar(int index) const
{
    return index >= 0 && index < kBars ? bars_[index] : nullptr;
}

int MenuBars::shown() const
{
    for (int i = 0; i < kBars; ++i)
        if (currentWidget() == bars_[i])
            return i;
    return -1;
}

void MenuBars::show(int index)
{
    if (QMenuBar *b = bar(index))
        setCurrentWidget(b);
}

QMenu *MenuBars::addSubmenu(QWidget *owner, const QString &title, const char *name)
{
    auto *menu = new QMenu(title, owner);
    menu->setObjectName(QString::fromLatin1(name));
    owner->addAction(menu->menuAction());
    return menu;
}

QAction *MenuBars::proxy(QAction *target, const char *name)
{
    auto *action = new QAction(target->text(), target);
    action->setObjectName(QString::fromLatin1(name));
    action->setEnabled(target->isEnabled());
    connect(action, &QAction::triggered, target, &QAction::trigger);
    connect(target, &QAction::enabledChanged, action, &QAction::setEnabled);
    return action;
}

void MenuBars::addToEvery(QMenu *menu)
{
    for (QMenuBar *b : bars_)
        b->addAction(menu->menuAction());
}
