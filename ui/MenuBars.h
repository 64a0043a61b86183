#pragma once
// One menu bar per page; the window shows the bar of the page in front. The
// bars keep a fixed order (log, comparison, table graph, dashboard, options,
// firmware), by which their entries are captioned; a plain bar serves the
// pages that have no commands of their own.
#include <QStackedWidget>

class QAction;
class QMenu;
class QMenuBar;
class TableCommands;

// The window's commands that the bars offer beside the table commands.
struct MenuCommands {
    QAction *logOpen = nullptr;
    QAction *logSave = nullptr;
    QAction *logExportCsv = nullptr;
    QAction *read = nullptr;
    QAction *write = nullptr;
    QAction *start = nullptr;
    QAction *stop = nullptr;
    QAction *editMode = nullptr; // the edit-mode submenu
    QAction *settingsOpen = nullptr;
    QAction *settingsSave = nullptr;
    QAction *firmwareUpdate = nullptr;
    QAction *firmwareOneToOne = nullptr;
    QAction *advancedPages = nullptr;
    QAction *about = nullptr;
};

class MenuBars : public QStackedWidget {
    Q_OBJECT
public:
    enum Bar { Log, Compare, TableGraph, Dashboard, Options, Firmware, Plain, kBars };

    explicit MenuBars(QWidget *parent = nullptr);

    // Puts every command on its bars, in the bars' order of entries.
    void fill(const TableCommands &table, const MenuCommands &window);

    QMenuBar *bar(int index) const;
    // The bar now in front, or -1.
    int shown() const;
    void show(int index);
    // A submenu of a bar or of a menu, with its object name.
    static QMenu *addSubmenu(QWidget *owner, const QString &title, const char *name);
    // An entry that runs target under a caption of its own and follows its
    // enabled state (the same command, named differently on another bar).
    static QAction *proxy(QAction *target, const char *name);
    // A menu at the end of every bar (view options, help).
    void addToEvery(QMenu *menu);

private:
    QMenuBar *bars_[kBars] = {};
};
