#pragma once
// What the arrow keys, the correction panel (CorrPanel) and the border panel
// (MafBordersSliderPanel) change in each edit mode, and when the image goes
// to the unit. The window hands over the controls it edits and the few
// window operations the edits end in.
#include <functional>

#include <QObject>
#include <QPoint>

#include "throttle/ThrottleSettings.h"

class QSlider;
class QSpinBox;
class QWidget;
class Table;
class ThrottlePanel;

struct ThrottleEditorControls {
    QSlider *windowStart = nullptr;        // TrackBarMafNach
    QSlider *smoothing = nullptr;          // TrackBarMafSm
    QSpinBox *correction = nullptr;        // UpDownCorrection
    QWidget *corrPanel = nullptr;          // CorrPanel
    QWidget *bordersPanel = nullptr;       // MafBordersSliderPanel
};

struct ThrottleEditorActions {
    std::function<int()> editMode;
    std::function<void(int position)> moveWindowTo; // both ends, with the window handling
    // Up/Down released outside the point modes: the correction goes to the
    // selected target (table, ECT or IAT).
    std::function<void()> applyCorrection;
    std::function<void()> quickWrite;
};

class ThrottleEditor : public QObject {
    Q_OBJECT
public:
    ThrottleEditor(Table &table, ThrottlePanel &panel, const ThrottleEditorControls &controls,
                   ThrottleEditorActions actions, QObject *parent = nullptr);

    // An arrow key went down on the dashboard.
    void arrowPressed(int key);
    // An arrow key came up (vertical: Up or Down), or a drag on CorrPanel
    // ended inside it (vertical).
    void released(bool vertical);
    void setReferenceVoltage(float volts);
    // The auxiliary pair the correction moves from (edit modes 3 and 4).
    void takeAuxSnapshot();
    const kma::AuxSnapshot &auxSnapshot() const { return auxSnapshot_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool corrPanelEvent(QEvent *event);
    bool bordersPanelEvent(QEvent *event);
    void startDrag(const QPoint &at);

    Table &table_;
    ThrottlePanel &panel_;
    ThrottleEditorControls c_;
    ThrottleEditorActions a_;
    kma::AuxSnapshot auxSnapshot_{};
    // Values at the press of a drag.
    struct DragStart {
        bool active = false;
        int correction = 0;
        int smoothing = 0;
        float ref = 0;
        QPoint pressAt;
        int windowStart = 0;
    } drag_;
};
