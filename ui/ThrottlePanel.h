#pragma once
// The throttle panel of the dashboard page: the value labels of the main
// output (Max, Min, Kick), the switch points, the auxiliary pair, the signal
// smoothing and the reference voltage, and the ten edit modes as one radio
// group of actions under the ActionEdit menu. The labels of the mode in force
// stand out in red, its value bold, the other values italic.
#include <array>
#include <functional>

#include <QWidget>

#include "throttle/ThrottleSettings.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class Table;

class ThrottlePanel : public QWidget {
    Q_OBJECT
public:
    ThrottlePanel(Table &table, QWidget *parent = nullptr);

    QMenu *editMenu() const { return ActionEdit; }
    QAction *modeAction(int mode) const { return actions_[size_t(mode)]; }
    int mode() const { return mode_; }
    // Checks the mode's action and runs it, as a label gesture does.
    void chooseMode(int mode);
    // Rewrites the value labels from the table.
    void refreshValues();
    // The smoothing label follows TrackBarMafSm.
    void setSmoothing(int percent);
    void setRussian(bool russian);

    QLabel *label(const QString &name) const;

signals:
    // A mode was chosen (the window moves its track bars and buttons); the
    // highlight and the values are already redone.
    void modeSelected(int mode);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void actionTriggered(QAction *action);
    void highlight();

    Table &table_;
    QMenu *ActionEdit;
    QActionGroup *group_;
    std::array<QAction *, kma::kEditModes> actions_{};
    int mode_ = 0;
    int smoothing_ = 100;
    bool russian_ = false;
};
