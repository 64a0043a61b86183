#include "ui/MenuBars.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "ui/TableCommands.h"

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

void MenuBars::fill(const TableCommands &t, const MenuCommands &w)
{
    QMenuBar *bar = bars_[Log];
    bar->addActions({w.logOpen, w.logSave, w.logExportCsv});

    bar = bars_[Compare];
    QMenu *menu = addSubmenu(bar, QString::fromUtf8("Открыть"), "MenuCompareOpen");
    menu->addActions({t.FileOpenCompare, t.FileOpenCompare2});
    menu = addSubmenu(bar, QString::fromUtf8("Сохранить"), "MenuCompareSave");
    menu->addActions({t.FileSaveAsCompare, t.FileSaveAsCompare2});
    addSubmenu(bar, QString::fromUtf8("Обнулить"), "MenuCompareNull")->addAction(t.ActionNullCompare);
    // Kept for their places in the bar; nothing of the comparison is offered under them.
    addSubmenu(bar, QString::fromUtf8("Замена 1:1"), "MenuCompareOneToOne")->menuAction()->setVisible(false);
    menu = addSubmenu(bar, QString::fromUtf8("Копировать"), "MenuCompareCopy");
    menu->addActions({t.ActionCopyOneToTwo, t.ActionCopyTwoToOne});
    addSubmenu(bar, QString::fromUtf8("Считать из конвертера"), "MenuCompareRead")->menuAction()->setVisible(false);
    addSubmenu(bar, QString::fromUtf8("Записать в конвертер"), "MenuCompareWrite")->menuAction()->setVisible(false);

    bar = bars_[TableGraph];
    bar->addActions({t.TabFileOpen, t.TabFileSave, t.ActionNullTable});
    bar->addAction(proxy(t.oneToOne[0], "TableGraphOneToOne"));
    menu = addSubmenu(bar, QString::fromUtf8("Копировать 1->2"), "MenuTableGraphCopy");
    menu->addAction(proxy(t.ActionCopyOneToTwo, "TableGraphCopyOneToTwo"));
    menu->addAction(proxy(t.ActionCopyTwoToOne, "TableGraphCopyTwoToOne"));
    menu->actions().constLast()->setVisible(false);
    bar->addAction(proxy(w.read, "TableGraphReadConverter"));
    bar->addAction(proxy(w.write, "TableGraphWriteConverter"));

    bar = bars_[Dashboard];
    menu = addSubmenu(bar, QString::fromUtf8("Таблица"), "MenuTable");
    menu->addActions({t.TabFileOpen, t.TabFileSave});
    for (QAction *action : t.oneToOne)
        menu->addAction(action);
    bar->addActions({w.write, w.read, w.start, w.stop, w.editMode});

    bars_[Options]->addActions({w.settingsOpen, w.settingsSave});
    bars_[Firmware]->addActions({w.firmwareUpdate, w.firmwareOneToOne});

    // Every bar ends with the view option and the help.
    auto *view = new QMenu(QStringLiteral("View"), this);
    view->setObjectName(QStringLiteral("MenuView"));
    view->addAction(w.advancedPages);
    addToEvery(view);
    auto *help = new QMenu(QStringLiteral("Help"), this);
    help->setObjectName(QStringLiteral("MenuHelp"));
    help->addAction(w.about);
    addToEvery(help);
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
