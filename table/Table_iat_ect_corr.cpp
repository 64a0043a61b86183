#include "table/Table_iat_ect_corr.h"

#include <QDir>

#include <cmath>
#include <cstring>

using namespace tbl;

TableSeries tableSeriesFromTitle(const QString &title)
{
    static const struct { const char *title; TableSeries series; } kTitles[] = {
        {"Tab1", TableSeries::Tab1}, {"IATCorr", TableSeries::IATCorr},
        {"ECTCorr", TableSeries::ECTCorr}, {"Trained", TableSeries::Trained},
        {"Tab2", TableSeries::Tab2}, {"IATCorr2", TableSeries::IATCorr2},
        {"ECTCorr2", TableSeries::ECTCorr2},
    };
    for (const auto &t : kTitles)
        if (title == QLatin1String(t.title))
            return t.series;
    return TableSeries::None;
}

void TWindowState::setWindowStart(int position)
{
    windowStart = clampInt(position, 0, 255);
    if (editMode >= EditIdleSw && editMode <= EditKick)
        windowEnd = windowStart;
    else if (windowEnd < windowStart)
        windowEnd = windowStart;
}

void TWindowState::setWindowEnd(int position)
{
    windowEnd = clampInt(position, 0, 255);
    if (editMode >= EditIdleSw && editMode <= EditKick)
        windowStart = windowEnd;
    else if (windowStart > windowEnd)
        windowStart = windowEnd;
}

Table::Table()
{
    setReferenceVoltage(5.0f);
}

QByteArray Table::imageBytes(int which) const
{
    const TImage &img = image(which);
    QByteArray out(kImageSize, '\0');
    for (int i = 0; i < kImageSize; ++i)
        out[i] = static_cast<char>(lowByte(img[static_cast<size_t>(i)]));
    return out;
}

void Table::setMaxMafPosition(int code)
{
    maxMaf_ = code;
    refresh();
}

void Table::setMaxMafAnywayPosition(int code)
{
    maxMafAnyway_ = code;
    refresh();
}

void Table::setReferenceVoltage(float volts)
{
    if (!(volts == volts)) // NaN
        volts = 0.0f;
    volts = volts < 0.0f ? 0.0f : (volts > 15.0f ? 15.0f : volts);
    uint32_t bits;
    std::memcpy(&bits, &volts, 4);
    for (int k = 0; k < 4; ++k)
        image1_[static_cast<size_t>(kSlotRefVoltage + k)] = static_cast<int32_t>((bits >> (8 * k)) & 0xFFu);
}

float Table::referenceVoltage() const
{
    uint32_t bits = 0;
    for (int k = 0; k < 4; ++k)
        bits |= static_cast<uint32_t>(byteAt(kSlotRefVoltage + k)) << (8 * k);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

void Table::setLiveCorrection(int value, int windowStart, int windowEnd)
{
    correctionValue_ = value;
    corrWindowStart_ = windowStart;
    corrWindowEnd_ = windowEnd;
    refreshDashboard();
}

void Table::setOperatingPoint(const TOperatingPoint &point)
{
    operatingPoint_ = point;
    refreshDashboard();
}

void Table::setUpTableView(TableView *chart, bool showTrained, bool interpolateButton, ParamFields *fields)
{
    chart_ = chart;
    trainedShown_ = showTrained;
    interpolateButton_ = interpolateButton;
    fields_[0] = fields;
    setDefaultParameters(1);
    showParameters(1);
    refresh();
    takeSnapshot();
}

void Table::setUpSecondImage(ParamFields *fields)
{
    fields_[1] = fields;
    setDefaultParameters(2);
    showParameters(2);
    refresh();
}

void Table::setDashboardView(TableView *dashboard)
{
    dashboard_ = dashboard;
    if (dashboard_)
        operatingPoint_.further = 255;
}

ParamFields &Table::paramFields(int which)
{
    const int k = which == 2 ? 1 : 0;
    return fields_[k] ? *fields_[k] : ownFields_[k];
}

void Table::refresh()
{
    notify(TableChange::Slots);
}

void Table::notify(TableChange change)
{
    if (chart_)
        chart_->refresh();
    refreshDashboard();
    for (const auto &observer : observers_)
        observer(change);
}

void Table::imageReplaced(int which)
{
    if (which != 2)
        showParameters(1);
    if (which != 1 && fields_[1])
        showParameters(2);
    notify(TableChange::Image);
}

void Table::refreshDashboard()
{
    if (dashboard_)
        dashboard_->refresh();
}

void Table::setDefaultParameters(int which)
{
    TImage &img = image(which);
    for (int k = 0; k < kParamCount; ++k)
        img[static_cast<size_t>(kParamBase + k)] = kDefaultParams[static_cast<size_t>(k)];
}

void Table::showParameters(int which)
{
    const TImage &img = image(which);
    ParamFields &f = paramFields(which);
    for (int k = 0; k < kParamCount; ++k)
        f.setText(k, paramText(k, img[static_cast<size_t>(kParamBase + k)]));
}

void Table::readParameters(int which)
{
    // A state undo or redo brought back goes to the unit as it was recorded.
    if (which != 2 && restored_)
        return;
    TImage &img = image(which);
    const ParamFields &f = paramFields(which);
    for (int k = 0; k < kParamCount; ++k) {
        int32_t &slot = img[static_cast<size_t>(kParamBase + k)];
        slot = paramFromText(k, slot, f.text(k));
    }
}

void Table::readParameter(int which, int param)
{
    if (param < 0 || param >= kParamCount)
        return;
    int32_t &slot = image(which)[static_cast<size_t>(kParamBase + param)];
    slot = paramFromText(param, slot, paramFields(which).text(param));
}

bool Table::acceptImageFromDevice(const QByteArray &bytes)
{
    if (bytes.size() != kImageSize)
        return false;
    for (int i = 0; i < kImageSize; ++i)
        image1_[static_cast<size_t>(i)] = static_cast<uint8_t>(bytes[i]);
    rebuildLearned();
    imageReplaced(1);
    takeSnapshot();
    return true;
}

// ---- undo history -----------------------------------------------------------

TBufUndoRedo Table::currentState() const
{
    TBufUndoRedo s;
    s.image1 = image1_;
    s.image2 = image2_;
    s.marks1 = marks1_;
    s.marks2 = marks2_;
    s.lmarks = lmarks_;
    s.learned = learned_;
    return s;
}

void Table::restoreState(const TBufUndoRedo &state)
{
    image1_ = state.image1;
    image2_ = state.image2;
    marks1_ = state.marks1;
    marks2_ = state.marks2;
    learned_ = state.learned;
    lmarks_ = state.lmarks;
}

namespace {
bool sameState(const TBufUndoRedo &a, const TBufUndoRedo &b)
{
    return a.image1 == b.image1 && a.image2 == b.image2 && a.marks1 == b.marks1 && a.marks2 == b.marks2
           && a.lmarks == b.lmarks && a.learned == b.learned;
}
} // namespace

void Table::takeSnapshot()
{
    // Inside an edit the end of the gesture takes the one snapshot.
    if (editDepth_ > 0)
        return;
    history_.take(currentState());
}

void Table::snapshotIfNew()
{
    const TBufUndoRedo now = currentState();
    if (history_.empty() || !sameState(history_.record(history_.current()), now))
        history_.take(now);
}

void Table::beginEdit()
{
    if (editDepth_++ > 0)
        return;
    restored_ = false;
    imageAtBegin_ = imageBytes(1);
    sendRequested_ = false;
    snapshotIfNew();
}

void Table::endEdit()
{
    if (editDepth_ == 0 || --editDepth_ > 0)
        return;
    commitEdit();
}

void Table::commitEdit()
{
    // Sent when an operation of the gesture asked for it or the gesture
    // changed the image, and only when the unit does not hold exactly these
    // bytes already: a key at its limit or a point learned again changes
    // nothing, a read leaves what it read, and an undo back to what the unit
    // has needs no send. What is sent takes its parameter bytes from the
    // boxes (slot 263 becomes 255) before the snapshot, so the history holds
    // exactly what the unit gets and an undo returns the unit to every byte
    // it held before the gesture.
    bool send = (sendRequested_ || imageBytes(1) != imageAtBegin_) && imageBytes(1) != unitImage_;
    if (send)
        readParameters(1);
    snapshotIfNew();
    send = send && imageBytes(1) != unitImage_;
    sendRequested_ = false;
    if (send)
        quickWrite();
}

bool Table::undo()
{
    TBufUndoRedo s;
    if (!history_.undo(&s))
        return false;
    restoreState(s);
    imageReplaced();
    restored_ = true;
    return true;
}

bool Table::redo()
{
    TBufUndoRedo s;
    if (!history_.redo(&s))
        return false;
    restoreState(s);
    imageReplaced();
    restored_ = true;
    return true;
}

QString Table::historyPath(const QString &folder)
{
    const QDir dir(folder.isEmpty() ? QDir::currentPath() : folder);
    return dir.filePath(QString::fromLatin1(TUndoHistory::kFileName));
}

bool Table::saveHistory(const QString &folder, QString *reason) const
{
    return history_.save(historyPath(folder), reason);
}

bool Table::loadHistory(const QString &folder)
{
    return history_.load(historyPath(folder));
}

void Table::quickWrite()
{
    if (editDepth_ > 0) {
        sendRequested_ = true; // the end of the edit sends, once
        return;
    }
    if (quickWriteHook)
        quickWriteHook();
}
