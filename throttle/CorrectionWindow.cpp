#include "throttle/CorrectionWindow.h"

CorrectionWindow::CorrectionWindow(Table &table, QObject *parent) : QObject(parent), table_(table)
{
    // An apply to table right after start applies at once (as after an earlier one).
    w_.applyArmed = true;
}

void CorrectionWindow::change(const std::function<void(TWindowState &)> &operation)
{
    const TWindowState before = w_;
    w_.recording = recording && recording();
    w_.aplToTableDown = target_ == CorrectionTarget::Table;
    w_.autocorrReleased = false;
    operation(w_);
    if (w_.autocorrReleased)
        w_.autocorrDown = false;
    announce(before);
}

void CorrectionWindow::windowHandling(TWindowState &w)
{
    // In the point modes the window is one point, held to its limits and
    // written into the image (switch points, auxiliary input codes).
    kma::windowStartMoved(table_, w);
}

void CorrectionWindow::moveStart(int position)
{
    change([&](TWindowState &w) {
        w.setWindowStart(position);
        windowHandling(w);
    });
}

void CorrectionWindow::moveEnd(int position)
{
    change([&](TWindowState &w) {
        w.setWindowEnd(position);
        if (w.editMode >= EditIdleSw && w.editMode <= EditKick)
            windowHandling(w);
    });
}

void CorrectionWindow::moveTo(int position)
{
    change([&](TWindowState &w) {
        w.setWindowStart(position);
        w.setWindowEnd(position);
        windowHandling(w);
    });
}

void CorrectionWindow::setCorrection(int value)
{
    change([&](TWindowState &w) { w.correction = tbl::clampInt(value, -255, 255); });
}

void CorrectionWindow::setTarget(CorrectionTarget target)
{
    if (target_ == target)
        return;
    target_ = target;
    w_.aplToTableDown = target == CorrectionTarget::Table;
    emit targetChanged(target);
}

void CorrectionWindow::setManualBorders(bool down)
{
    change([&](TWindowState &w) { table_.manualBordersCommand(w, down); });
}

void CorrectionWindow::setAutocorrection(bool down)
{
    change([&](TWindowState &w) { w.autocorrDown = down; });
}

void CorrectionWindow::setMafWindowStart(int start)
{
    w_.mafWindowStart = start;
}

void CorrectionWindow::setEditMode(int mode)
{
    if (kma::modeNeedsManualBorders(mode) && !w_.manualBorders)
        setManualBorders(true); // the correction goes back to 0 in the mode left
    const bool aux = mode == EditAuxMin || mode == EditAuxMax;
    // The auxiliary pair is edited from a correction of 0, so that what the
    // unit had as a live correction is taken back first.
    if (aux && w_.correction != 0)
        setCorrection(0);
    if (mode != w_.editMode) {
        auxSnapshotTaken_ = false;
        w_.editMode = mode;
        emit editModeChanged(mode);
    }
    if (aux)
        takeAuxSnapshot();
    if (const std::optional<int> position = kma::modeWindowPosition(table_, mode))
        moveStart(*position);
}

void CorrectionWindow::followImage()
{
    if (auxMode())
        takeAuxSnapshot();
    const std::optional<int> position = kma::modeWindowPosition(table_, w_.editMode);
    if (!position || (*position == w_.windowStart && *position == w_.windowEnd))
        return;
    // Shown only: the image already holds the point.
    const TWindowState before = w_;
    w_.windowStart = w_.windowEnd = tbl::clampCode(*position);
    announce(before);
}

void CorrectionWindow::takeAuxSnapshot()
{
    if (!auxMode())
        return;
    aux_ = kma::auxSnapshot(table_);
    auxSnapshotTaken_ = true;
}

void CorrectionWindow::announce(const TWindowState &before)
{
    const TWindowState after = w_;
    if (before.windowStart != after.windowStart || before.windowEnd != after.windowEnd) {
        table_.setLiveCorrection(after.correction, after.windowStart, after.windowEnd);
        emit windowMoved(after.windowStart, after.windowEnd);
    }
    if (before.correction != after.correction) {
        const bool aux = auxMode();
        if (aux) {
            // Only a snapshot of this mode's pair may be moved.
            if (auxSnapshotTaken_)
                kma::auxCorrection(table_, after.editMode, aux_, after.correction);
        } else {
            table_.setLiveCorrection(after.correction, after.windowStart, after.windowEnd);
        }
        emit correctionChanged(after.correction, !aux);
    }
    if (before.manualBorders != after.manualBorders)
        emit manualBordersChanged(after.manualBorders);
    if (before.autocorrEnabled != after.autocorrEnabled)
        emit autocorrectionEnabledChanged(after.autocorrEnabled);
    // Last: turning autocorrection off changes the correction once more.
    if (before.autocorrDown != after.autocorrDown)
        emit autocorrectionChanged(after.autocorrDown);
}
