#pragma once
// What the arrow keys, the correction panel (CorrPanel) and the border panel
// (MafBordersSliderPanel) change in each edit mode. A key from press to
// release and a mouse gesture on a panel from press to release are one edit
// of the table: its end takes the snapshot and sends the image when it changed.
#include <functional>

#include <QObject>
#include <QPoint>

#include "throttle/ThrottleSettings.h"

class QSlider;
class QWidget;
class CorrectionWindow;
class Table;

struct ThrottleEditorControls {
    QSlider *smoothing = nullptr;    // TrackBarMafSm
    QWidget *corrPanel = nullptr;    // CorrPanel
    QWidget *bordersPanel = nullptr; // MafBordersSliderPanel
};

class ThrottleEditor : public QObject {
    Q_OBJECT
public:
    // applyCorrection: Up/Down released outside the point and value modes;
    // the correction goes to the selected target (table, ECT or IAT).
    ThrottleEditor(Table &table, CorrectionWindow &window, const ThrottleEditorControls &controls,
                   std::function<void()> applyCorrection, QObject *parent = nullptr);

    // An arrow key went down (or repeats) on the dashboard.
    void arrowPressed(int key);
    // An arrow key came up (vertical: Up or Down), or a drag on CorrPanel
    // ended inside it (vertical).
    void released(bool vertical);
    void setReferenceVoltage(float volts);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool corrPanelEvent(QEvent *event);
    bool bordersPanelEvent(QEvent *event);
    void startDrag(const QPoint &at);
    void openEdit();
    void closeEdit();

    Table &table_;
    CorrectionWindow &window_;
    ThrottleEditorControls c_;
    std::function<void()> applyCorrection_;
    bool editOpen_ = false;
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
