#pragma once
// The "Advanced pages" option: the table, log and gauge pages and the
// autotuning-options tab stay hidden (the window a user of the throttle unit
// needs) until it is switched on. Remembered in the program's own settings,
// not in config.cfg, whose 28-byte layout is fixed.
#include <QObject>
#include <QPointer>
#include <QVector>

class QAction;
class QSettings;
class QTabWidget;
class QWidget;

// The program's own settings (options that config.cfg has no field for).
QSettings programSettings();

class AdvancedPages : public QObject {
    Q_OBJECT
public:
    static constexpr const char *kOrganisation = "Tarvix";
    static constexpr const char *kApplication = "Tarvix configurator";
    static constexpr const char *kSettingsKey = "view/advancedPages";

    explicit AdvancedPages(QObject *parent = nullptr);

    // Checkable entry ActionAdvancedPages ("Advanced pages").
    QAction *action() const { return action_; }
    // A page of a tab widget shown only with the option on.
    void addPage(QTabWidget *tabs, QWidget *page);
    // A command reachable only with the option on.
    void addCommand(QAction *command);

    bool isOn() const;
    // Reads the remembered state and applies it (call once the pages exist).
    void restore();

signals:
    void toggled(bool on);

private:
    void apply(bool on);

    QAction *action_ = nullptr;
    struct Page {
        QPointer<QTabWidget> tabs;
        QPointer<QWidget> page;
    };
    QVector<Page> pages_;
    QVector<QPointer<QAction>> commands_;
};
