// Edit operations on the conversion table: one-to-one, point edits,
// interpolations, corrections to a window of codes and the learned-point
// bookkeeping (Min, Max, Kick and the learned-point list).
#include "table/Table_iat_ect_corr.h"

#include <algorithm>
#include <cmath>
#include <vector>

using namespace tbl;

namespace {

// Unclamped linear interpolation between neighbouring marked slots of
// first..last (lower anchor included, upper excluded). Corrections are read
// as signed bytes, conversion points as they are.
void interpolateMarked(TImage &img, const TImage &marks, int first, int last, bool signedValues)
{
    int lo = -1;
    for (int hi = first; hi <= last; ++hi) {
        if (marks[at(hi)] <= 0)
            continue;
        if (lo >= 0) {
            const double vlo = signedValues ? signedByte(img[at(lo)]) : img[at(lo)];
            const double vhi = signedValues ? signedByte(img[at(hi)]) : img[at(hi)];
            const double e = (vhi - vlo) / (hi - lo);
            for (int j = lo; j < hi; ++j)
                img[at(j)] = roundEven(vlo + e * (j - lo));
        }
        lo = hi;
    }
}
} // namespace

void Table::oneToOne(TWindowState &w, std::optional<float> refVolts)
{
    const float previousVolts = referenceVoltage();
    for (int i = 0; i < kPoints; ++i) {
        image1_[at(i)] = descending_ ? 255 - i : i;
        learned_[at(i)] = 0;
        marks1_[at(i)] = 0;
        lmarks_[at(i)] = 0;
    }
    for (int s = kIatBase; s < kImageSize; ++s)
        image1_[at(s)] = 0;
    setReferenceVoltage(refVolts ? *refVolts : previousVolts);
    setDefaultParameters(1);
    w.mafWindowStart = 0;
    imageReplaced(1);
    takeSnapshot();
}

void Table::defaultParametersCommand()
{
    setDefaultParameters(1);
    showParameters(1);
    refresh();
}

void Table::editPoint(TableSeries series, int index, int value, bool shift, bool ctrl)
{
    if (series == TableSeries::None)
        return;
    if (!shift) {
        marks1_.fill(0);
        marks2_.fill(0);
        lmarks_.fill(0);
    }
    index = clampInt(index, 0, 255);
    const bool correction = series == TableSeries::IATCorr || series == TableSeries::ECTCorr
                            || series == TableSeries::IATCorr2 || series == TableSeries::ECTCorr2;
    value = correction ? clampCorr(value) : clampCode(value);
    const int mark = shift ? 255 : 0;
    auto setMarked = [&](TImage &img, TImage &marks, int s) {
        img[at(s)] = value;
        if (shift)
            marks[at(s)] = mark;
    };
    switch (series) {
    case TableSeries::Tab1:
        setMarked(image1_, marks1_, index);
        if (learned_[at(index)] > 0)
            learned_[at(index)] = value;
        break;
    case TableSeries::IATCorr: setMarked(image1_, marks1_, kIatBase + index / 4); break;
    case TableSeries::ECTCorr: setMarked(image1_, marks1_, kEctBase + index / 4); break;
    case TableSeries::Tab2: setMarked(image2_, marks2_, index); break;
    case TableSeries::IATCorr2: setMarked(image2_, marks2_, kIatBase + index / 4); break;
    case TableSeries::ECTCorr2: setMarked(image2_, marks2_, kEctBase + index / 4); break;
    case TableSeries::Trained:
        learned_[at(index)] = value >= image1_[at(index)] ? image1_[at(index)] : 0;
        if (shift)
            lmarks_[at(index)] = mark;
        break;
    case TableSeries::None:
        break;
    }
    if (shift)
        markedInterpolation(ctrl, index, descending_);
    refresh();
    takeSnapshot();
}

void Table::editPointFromLog(int index, int value, bool shift, bool ctrl)
{
    if (!shift) {
        marks1_.fill(0);
        marks2_.fill(0);
        lmarks_.fill(0);
    }
    // The log chart does not limit index or value; an index outside the
    // conversion points has no point (and no learned value) to edit.
    if (index >= 0 && index < kPoints) {
        image1_[at(index)] = value;
        if (learned_[at(index)] > 0)
            learned_[at(index)] = value;
        // With Shift the point is an anchor: the points between anchors follow.
        if (shift) {
            marks1_[at(index)] = 255;
            markedInterpolation(ctrl, index, descending_);
        }
    }
    refresh();
    takeSnapshot();
}

void Table::markedInterpolation(bool extrapolate, int pivot, bool descending)
{
    interpolate(Anchors::Marked, extrapolate, pivot, descending);
}

void Table::learnedInterpolation(bool extrapolate, int pivot, bool descending)
{
    interpolate(Anchors::Learned, extrapolate, pivot, descending);
}

void Table::interpolate(Anchors anchors, bool extrapolate, int p, bool descending)
{
    const int S = clampInt(learnedStart_, 0, 255);
    TImage &T = image1_;
    std::vector<int> A;
    A.reserve(kPoints);
    for (int i = S; i < kPoints; ++i) {
        const bool anchor = anchors == Anchors::Marked ? marks1_[at(i)] > 0 : learned_[at(i)] == T[at(i)];
        if (anchor)
            A.push_back(i);
    }

    if (A.size() == 1 && extrapolate) {
        // Straight line through the anchor and the origin corner. An anchor at
        // point 0 gives no line (division by zero), so nothing changes then.
        const int k = A[0];
        if (k > 0) {
            const double v = T[at(k)];
            const double e = descending ? (v - 255.0) / k : v / k;
            for (int i = k; i >= S; --i)
                T[at(i)] = clampCodeR(v - (k - i) * e);
            for (int i = k; i < kPoints; ++i)
                T[at(i)] = clampCodeR(v + (i - k) * e);
        }
    } else if (A.size() >= 2) {
        double firstSlope = 0.0;
        const int lastSeg = static_cast<int>(A.size()) - 2;
        for (int s = lastSeg; s >= 0; --s) {
            const int lo = A[at(s)], hi = A[at(s + 1)];
            const double tlo = T[at(lo)];
            const double e = (T[at(hi)] - tlo) / (hi - lo);
            int end = hi;
            if (s == lastSeg && hi != 255 && extrapolate && p >= hi)
                end = kPoints; // the last line runs on to point 255
            for (int i = lo; i < end; ++i)
                T[at(i)] = clampCodeR(tlo + e * (i - lo));
            if (s == 0)
                firstSlope = e;
        }
        const int first = A[0];
        if (p != S && extrapolate && first >= p) {
            const double tf = T[at(first)];
            for (int i = first; i >= S; --i)
                T[at(i)] = clampCodeR(tf - (first - i) * firstSlope);
        }
    }

    for (int i = 0; i < kPoints; ++i)
        if (learned_[at(i)] > 0)
            learned_[at(i)] = T[at(i)];

    interpolateMarked(image1_, marks1_, kIatBase, kEctBase - 1, true);
    interpolateMarked(image1_, marks1_, kEctBase, kImageSize - 1, true);

    // Learned fill between neighbouring learned marks.
    int lo = -1;
    for (int hi = S; hi < kPoints; ++hi) {
        if (lmarks_[at(hi)] <= 0)
            continue;
        if (lo >= 0) {
            const bool bothLearned = learned_[at(lo)] > 0 && learned_[at(hi)] > 0;
            const bool bothFree = learned_[at(lo)] == 0 && learned_[at(hi)] == 0;
            for (int j = lo; j < hi; ++j) {
                if (bothLearned)
                    learned_[at(j)] = T[at(j)];
                else if (bothFree)
                    learned_[at(j)] = 0;
            }
        }
        lo = hi;
    }

    interpolateMarked(image2_, marks2_, 0, kPoints - 1, false);
    interpolateMarked(image2_, marks2_, kIatBase, kEctBase - 1, true);
    interpolateMarked(image2_, marks2_, kEctBase, kImageSize - 1, true);
}

void Table::setBeginningAsLearned(int n, int c, bool reset)
{
    n = clampInt(n, 0, 255);
    learnedStart_ = n;
    takeSnapshot();
    const int level = addLimited(image1_[at(n)], c, 0, 255);
    for (int i = 0; i <= n; ++i) {
        image1_[at(i)] = level;
        learned_[at(i)] = level;
        lmarks_[at(i)] = 255;
    }
    if (reset) {
        marks1_.fill(0);
        lmarks_.fill(0);
        for (int i = n + 1; i < kPoints; ++i)
            learned_[at(i)] = 0;
        marks1_[at(n)] = 255;
        marks1_[255] = 255;
        image1_[255] = descending_ ? 0 : 255;
        markedInterpolation(false, n, descending_);
        marks1_.fill(0);
        lmarks_.fill(0);
        takeSnapshot();
    }
    learnedInterpolation(extrapolateEnds_, n, descending_);
    refresh();
}

void Table::setBeginOfTableAsLearnedCommand(TWindowState &w)
{
    const int n = clampInt(w.windowStart, 0, 255);
    setBeginningAsLearned(n, w.correction, false);
    takeSnapshot();
    w.mafWindowStart = n;
    w.correction = 0;
    quickWrite();
}

void Table::recordingStarted(TWindowState &w)
{
    // The beginning of the table up to the window start counts as learned,
    // as it always has, but at the values the curve holds: a Start must not
    // redraw a curve shaped by hand, read from a unit or loaded from a file
    // (the learned interpolation would draw lines between learned points
    // over it). Nothing changes in the image, so nothing is sent.
    const int n = clampInt(w.mafWindowStart, 0, 255);
    learnedStart_ = n;
    for (int i = 0; i <= n; ++i) {
        learned_[at(i)] = image1_[at(i)];
        lmarks_[at(i)] = 255;
    }
    w.correction = 0;
    refresh();
}

void Table::applyCorrectionToWindow(int c, int a, int b, int mode)
{
    takeSnapshot();
    a = clampInt(a, 0, 255);
    b = clampInt(b, 0, 255);
    int last;
    if (mode == 1) {
        const int m = clampInt(roundEven((a + b) / 2.0), 0, 255);
        const int before = image1_[at(m)];
        image1_[at(m)] = addLimited(image1_[at(m)], c, 0, 255);
        learned_[at(m)] = image1_[at(m)];
        if (m > 0 && m < 255) {
            learned_[at(m - 1)] = 0;
            learned_[at(m + 1)] = 0;
        }
        // Not the learned interpolation: lines drawn between learned points
        // across the whole table would redraw every point tuned before that
        // is not in the unit's short learned-point list.
        spreadLiveCommit(m, image1_[at(m)] - before, a, b);
        applyMinMaxLimits();
        refresh();
        return;
    } else {
        // Mode 2 shifts the points only; 0, 3 (and anything else) also learn them.
        for (int i = a; i <= b; ++i) {
            image1_[at(i)] = addLimited(image1_[at(i)], c, 0, 255);
            if (mode != 2)
                learned_[at(i)] = image1_[at(i)];
        }
        last = a > b ? 0 : b;
    }
    applyMinMaxLimits();
    learnedInterpolation(extrapolateEnds_, last, descending_);
    refresh();
}

void Table::spreadLiveCommit(int m, int change, int a, int b)
{
    if (change == 0)
        return;
    auto anchor = [this](int i) { return learned_[at(i)] > 0 && learned_[at(i)] == image1_[at(i)]; };
    auto spread = [&](int from, int to) { // to: where the change has fallen to nothing
        const int span = std::abs(to - from);
        for (int i = from; i != to; i += to > from ? 1 : -1) {
            if (i == m)
                continue;
            const double share = double(std::abs(to - i)) / span;
            image1_[at(i)] = clampCodeR(image1_[at(i)] + change * share);
        }
    };
    int low = m - 1;
    const int lowest = std::max(0, std::min(a, m) - kLiveCommitReach);
    while (low > lowest && !anchor(low))
        --low;
    int high = m + 1;
    const int highest = std::min(255, std::max(b, m) + kLiveCommitReach);
    while (high < highest && !anchor(high))
        ++high;
    if (low < m)
        spread(m, low);
    if (high > m)
        spread(m, high);
}

bool Table::applyMinMaxLimits()
{
    const int mn = byteAt(kSlotMin), mx = byteAt(kSlotMax), kick = byteAt(kSlotKick);
    if (mx <= mn)
        return false;
    for (int i = 0; i < kPoints; ++i) {
        if (i < mn) {
            image1_[at(i)] = image1_[at(mn)];
            learned_[at(i)] = 0;
        }
        if (i > mx) {
            image1_[at(i)] = image1_[at(mx)];
            learned_[at(i)] = 0;
        }
        if (kick < i && i < mx)
            learned_[at(i)] = 0;
    }
    return true;
}

void Table::applyToTable(TWindowState &w)
{
    if (!w.aplToTableDown)
        return;
    w.autocorrEnabled = true;
    if (w.applyArmed) {
        if (w.mafWindowStart < w.windowStart) {
            const int ws = clampInt(w.windowStart, 0, 255);
            switch (w.editMode) {
            case EditMax:
                setMax(ws);
                break;
            case EditMin:
                setMin(ws);
                break;
            case EditKick:
                setKick(ws);
                break;
            default:
                break;
            }
            applyCorrectionToWindow(w.correction, w.windowStart, w.windowEnd, w.recording ? 1 : 3);
        } else {
            setBeginningAsLearned(w.mafWindowStart, w.correction, false);
        }
        w.correction = 0;
        quickWrite();
        takeSnapshot();
    }
    w.applyArmed = true;
}

void Table::setMax(int x)
{
    learned_[at(byteAt(kSlotMax))] = 0;
    setSlot(kSlotMax, std::max(clampInt(x, 0, 255), byteAt(kSlotMin)));
    const int mx = byteAt(kSlotMax);
    if (byteAt(kSlotKick) >= mx)
        setSlot(kSlotKick, mx);
    learned_[at(mx)] = image1_[at(mx)];
}

void Table::setMin(int x)
{
    learned_[at(byteAt(kSlotMin))] = 0;
    setSlot(kSlotMin, std::min(clampInt(x, 0, 255), byteAt(kSlotMax)));
    const int mn = byteAt(kSlotMin);
    if (mn >= byteAt(kSlotKick))
        setSlot(kSlotKick, mn);
    learned_[at(mn)] = image1_[at(mn)];
}

void Table::setKick(int x)
{
    x = clampInt(x, 0, 255);
    learned_[at(byteAt(kSlotKick))] = 0;
    const int mx = byteAt(kSlotMax), mn = byteAt(kSlotMin);
    if (x < mx) {
        if (mn < x) {
            setSlot(kSlotKick, x);
            learned_[at(x)] = image1_[at(x)];
        } else {
            setSlot(kSlotKick, mn);
        }
    } else {
        setSlot(kSlotKick, mx);
    }
}

bool Table::addLearnedPoint(int x)
{
    if (!(byteAt(kSlotMin) < x && x < byteAt(kSlotMax) && x < byteAt(kSlotKick)))
        return false;
    // A point is listed once: learned again, it keeps its entry (a second
    // one would survive its removal and fill the list).
    for (int k = 0; k < kLearnedListSize; ++k) {
        if (byteAt(kSlotLearnedList + k) == x) {
            learned_[at(x)] = image1_[at(x)];
            return true;
        }
    }
    for (int k = 0; k < kLearnedListSize; ++k) {
        if (byteAt(kSlotLearnedList + k) == 0) {
            setSlot(kSlotLearnedList + k, x);
            learned_[at(x)] = image1_[at(x)];
            return true;
        }
    }
    return false;
}

bool Table::removeLearnedPoint(int x)
{
    if (!(byteAt(kSlotMin) < x && x < byteAt(kSlotMax) && x < byteAt(kSlotKick)))
        return false;
    bool found = false;
    for (int k = 0; k < kLearnedListSize && !found; ++k) {
        if (byteAt(kSlotLearnedList + k) == x) {
            setSlot(kSlotLearnedList + k, 0);
            found = true;
        }
    }
    learned_[at(x)] = 0;
    return found;
}

void Table::rebuildLearned()
{
    learned_.fill(0);
    auto learn = [this](int j) { learned_[at(j)] = image1_[at(j)]; };
    learn(byteAt(kSlotMin));
    learn(byteAt(kSlotMax));
    learn(byteAt(kSlotKick));
    for (int k = 0; k < kLearnedListSize; ++k)
        learn(byteAt(kSlotLearnedList + k)); // a free entry learns point 0
}

int Table::nextLearnedPoint(int x, bool upwards) const
{
    if (upwards) {
        for (int i = clampInt(x + 1, 0, 256); i < kPoints; ++i)
            if (learned_[at(i)] == image1_[at(i)])
                return i;
        return 255;
    }
    for (int i = clampInt(x - 1, -1, 255); i >= 0; --i)
        if (learned_[at(i)] == image1_[at(i)])
            return i;
    return 0;
}

void Table::clearLearned(int a, int b)
{
    takeSnapshot();
    a = clampInt(a, 0, 255);
    b = clampInt(b, 0, 255);
    const int mx = byteAt(kSlotMax), mn = byteAt(kSlotMin), kick = byteAt(kSlotKick);
    for (int i = a; i <= b; ++i) {
        if (i == mx || i == mn || i == kick)
            continue;
        learned_[at(i)] = 0;
        marks1_[at(i)] = 0;
        lmarks_[at(i)] = 0;
    }
    refresh();
}

bool Table::clearCorrectionWindowCommand(TWindowState &w)
{
    const int mx = byteAt(kSlotMax), mn = byteAt(kSlotMin), kick = byteAt(kSlotKick);
    auto border = [&](int v) { return v == mx || v == mn || v == kick; };
    if (border(w.windowStart) || border(w.windowEnd)
        || w.editMode == EditMax || w.editMode == EditMin || w.editMode == EditKick)
        return false;
    const int start = w.windowStart;
    clearLearned(start, w.windowEnd);
    removeLearnedPoint(start);
    // The snapshot of clearLearned holds the state before the clearing; this
    // one makes the cleared state reachable by redo.
    takeSnapshot();
    if (w.manualBorders) {
        w.setWindowStart(nextLearnedPoint(start, true));
        w.correction = 0;
        applyToTable(w);
    }
    return true;
}

void Table::clearAllLearnedCommand(TWindowState &w)
{
    clearLearned(w.mafWindowStart + 1, 255);
    takeSnapshot(); // the cleared state, reachable by redo
}

void Table::manualBordersCommand(TWindowState &w, bool down)
{
    w.manualBorders = down;
    w.correction = 0;
    if (w.autocorrDown) {
        w.autocorrDown = false;
        w.autocorrReleased = true;
    }
}
