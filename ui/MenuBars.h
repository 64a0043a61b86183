#pragma once
// One menu bar per page; the window shows the bar of the page in front. The
// bars keep a fixed order (log, comparison, table graph, dashboard, options,
// firmware), by which their entries are captioned; a plain bar serves the
// pages that have no commands of their own.
#include <QStackedWidget>

class QAction;
class QMenu;
class QMenuBar;

class MenuBars : public QStackedWidget {
    Q_OBJECT
public:
    enum Bar { Log, Compare, TableGraph, Dashboard, Options, Firmware, Plain, kBars };

    explicit MenuBars(QWidget *parent = nullptr);

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
