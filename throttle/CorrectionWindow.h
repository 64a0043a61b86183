#pragma once
// The correction window and what edits it: the window's start and end, the
// correction value and its target, manual borders ("F8"), autocorrection and
// the edit mode. The correction group, the throttle editor, the dashboard
// chart, autotuning and the window's commands all change it here; it keeps
// the table's side of each change (switch points and auxiliary pair written
// by the window start, the auxiliary output moved by the correction, the
// live correction the dashboard draws) and announces each change once, so
// the controls that show it and the unit that gets it never disagree.
#include <functional>

#include <QObject>

#include "table/Table_iat_ect_corr.h"
#include "throttle/ThrottleSettings.h"

// Where a correction goes when it is applied (one of three buttons is down).
enum class CorrectionTarget { Table, IAT, ECT };

class CorrectionWindow : public QObject {
    Q_OBJECT
public:
    explicit CorrectionWindow(Table &table, QObject *parent = nullptr);

    // The live recording runs (the table operations read it); none: stopped.
    std::function<bool()> recording;

    Table &table() const { return table_; }
    const TWindowState &state() const { return w_; }
    int start() const { return w_.windowStart; }
    int end() const { return w_.windowEnd; }
    int correction() const { return w_.correction; }
    int editMode() const { return w_.editMode; }
    bool manualBorders() const { return w_.manualBorders; }
    bool autocorrection() const { return w_.autocorrDown; }
    bool autocorrectionEnabled() const { return w_.autocorrEnabled; }
    int mafWindowStart() const { return w_.mafWindowStart; }
    CorrectionTarget target() const { return target_; }
    bool pointMode() const { return w_.editMode >= EditIdleSw && w_.editMode <= EditKick; }
    bool auxMode() const { return w_.editMode == EditAuxMin || w_.editMode == EditAuxMax; }

    // Runs a table operation on the window state and announces what it changed.
    void change(const std::function<void(TWindowState &)> &operation);

    // TrackBarMafNach / TrackBarMafKon moved: the coupling of the mode, then
    // the mode's limits and slots (switch points, auxiliary input codes).
    void moveStart(int position);
    void moveEnd(int position);
    // Both ends to one point (a learned point, a double click, a request).
    void moveTo(int position);
    // The correction value (-255..255). In the auxiliary modes it moves the
    // mode's output code from the auxiliary snapshot.
    void setCorrection(int value);
    void setTarget(CorrectionTarget target);
    // F8 and its click handling: correction 0, autocorrection released.
    void setManualBorders(bool down);
    // SpeedButtonAutocorr pressed or raised by the user (or key A).
    void setAutocorrection(bool down);
    void setMafWindowStart(int start);
    // Entering a mode, in order: manual borders for modes 1..4 (correction 0
    // while the old mode is still in force), the mode, the auxiliary snapshot
    // for modes 3 and 4, the window start on the mode's point.
    void setEditMode(int mode);
    // After the image was replaced: the point modes' start shows the point
    // the image now holds, and the auxiliary snapshot follows the image.
    void followImage();

    // The auxiliary pair (slots 273..276) the correction moves from; taken
    // only in the auxiliary modes, dropped when the mode changes.
    void takeAuxSnapshot();

signals:
    void windowMoved(int start, int end);
    // value: the new correction; live: it goes to the unit as a live
    // correction (not in the auxiliary modes, where it moves the pair).
    void correctionChanged(int value, bool live);
    void manualBordersChanged(bool down);
    // Autocorrection went on or off, by the user or raised by an operation
    // (the log and the unit are told alike).
    void autocorrectionChanged(bool down);
    void autocorrectionEnabledChanged(bool enabled);
    void targetChanged(CorrectionTarget target);
    void editModeChanged(int mode);

private:
    void announce(const TWindowState &before);
    void windowHandling(TWindowState &w);

    Table &table_;
    TWindowState w_;
    CorrectionTarget target_ = CorrectionTarget::Table;
    kma::AuxSnapshot aux_{};
    bool auxSnapshotTaken_ = false;
};
