#include "ui/ChartTableGraph.h"

#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>

#include <cmath>

const QColor ChartTableGraph::kMainColour(102, 157, 181);
const QColor ChartTableGraph::kCompareColour(237, 240, 108);

namespace {
struct SeriesInfo {
    const char *title;
    QColor colour;
    int width;
    bool points;
};
const SeriesInfo kSeries[] = {
    {"Tab1", QColor(255, 0, 0), 1, true},        {"IATCorr", QColor(0, 0, 255), 1, true},
    {"ECTCorr", QColor(191, 0, 191), 1, true},   {"Trained", QColor(0, 128, 0), 1, true},
    {"MaxMaf", QColor(0, 0, 0), 2, false},       {"MaxMafAnyway", QColor(128, 128, 128), 2, false},
    {"Tab2", QColor(128, 0, 0), 1, true},        {"IATCorr2", QColor(0, 128, 128), 1, true},
    {"ECTCorr2", QColor(132, 0, 132), 1, true},
};

bool isCorrection(int series)
{
    return series == ChartTableGraph::IATCorr || series == ChartTableGraph::ECTCorr
           || series == ChartTableGraph::IATCorr2 || series == ChartTableGraph::ECTCorr2;
}

QToolButton *latchButton(QWidget *parent, const char *name, const QString &text)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(text);
    button->setCheckable(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}
} // namespace

ChartTableGraph::ChartTableGraph(QWidget *parent) : ChartBase(parent)
{
    setObjectName(QStringLiteral("ChartTableGraph"));
    setMouseTracking(true);
    group_ = new QButtonGroup(this);
    group_->setExclusive(true);
    connect(group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            emit seriesSelected(tableSeriesFromTitle(seriesTitle(id)));
    });
    SpeedButton1 = latchButton(this, "SpeedButton1", QStringLiteral("+/-"));
    SpeedButton1->setCheckable(false);
    ShiftSpeedButton = latchButton(this, "ShiftSpeedButton", QStringLiteral("+Shift"));
    AltSpeedButton = latchButton(this, "AltSpeedButton", QStringLiteral("+Alt"));
    CtrlSpeedButton = latchButton(this, "CtrlSpeedButton", QStringLiteral("+Ctrl"));
    placeButtonRow({SpeedButton1, ShiftSpeedButton, AltSpeedButton, CtrlSpeedButton});
    connect(SpeedButton1, &QToolButton::clicked, this, [this] {
        swapped_ = !swapped_;
        SpeedButton1->setText(swapped_ ? QString::fromUtf8("←/→") : QStringLiteral("+/-"));
    });
    hint_ = new QLabel(this);
    hint_->setObjectName(QStringLiteral("ChartHint"));
    hint_->setStyleSheet(QStringLiteral("background: #ffffe1; border: 1px solid black; padding: 1px;"));
    hint_->setAttribute(Qt::WA_TransparentForMouseEvents);
    hint_->hide();
}

TableView *ChartTableGraph::bindTable(Table &table, bool showTrained)
{
    table_ = &table;
    setMiddleColour(kMainColour);
    for (int i = Tab1; i <= MaxMafAnyway; ++i) {
        const SeriesInfo &s = kSeries[i];
        Series style;
        style.title = QString::fromLatin1(s.title);
        style.legend = i == MaxMaf || i == MaxMafAnyway ? QString() : style.title;
        style.colour = s.colour;
        style.width = s.width;
        style.points = s.points;
        style.visible = i != Trained || showTrained;
        addSeries(style);
    }
    // The n-th button of the first set at 33n + 8; "Trained" keeps its place
    // in the list even when it is hidden with its series.
    for (int i = Tab1; i <= Trained; ++i) {
        QPushButton *b = addSeriesButton(i, 33 * i + 8);
        if (i == Trained && !showTrained)
            b->setProperty("unused", true);
    }
    selectSeries(Tab1);
    return this;
}

void ChartTableGraph::addSecondImage()
{
    compareView_ = true;
    setMiddleColour(kCompareColour);
    for (int i = Tab2; i <= ECTCorr2; ++i) {
        const SeriesInfo &s = kSeries[i];
        Series style;
        style.title = QString::fromLatin1(s.title);
        style.legend = style.title;
        style.colour = s.colour;
        style.width = s.width;
        style.points = s.points;
        addSeries(style);
        // Positions 4, 5, 6 of the button list: directly below "ECTCorr".
        const int k = int(buttons_.size());
        addSeriesButton(i, 33 * k - 25);
    }
    refresh();
}

QPushButton *ChartTableGraph::addSeriesButton(int seriesIndex, int top)
{
    auto *b = new QPushButton(seriesTitle(seriesIndex), this);
    b->setObjectName(QStringLiteral("SeriesButton") + seriesTitle(seriesIndex));
    b->setCheckable(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setProperty("series", seriesIndex);
    b->hide();
    group_->addButton(b, seriesIndex);
    buttons_.append({b, seriesIndex, top});
    placeButtons();
    return b;
}

void ChartTableGraph::placeButtons()
{
    for (const Button &b : buttons_)
        if (b.button)
            b.button->setGeometry(width() - 78, b.top, kButtonWidth, kButtonHeight);
}

void ChartTableGraph::resizeEvent(QResizeEvent *event)
{
    ChartBase::resizeEvent(event);
    placeButtons();
}

bool ChartTableGraph::offered(int series) const
{
    const bool correction = series == IATCorr || series == ECTCorr || series == IATCorr2 || series == ECTCorr2;
    return !correction || (table_ && table_->temperatureCorrections());
}

void ChartTableGraph::showSeriesButtons(bool shown)
{
    for (const Button &b : buttons_)
        if (b.button && !b.button->property("unused").toBool() && offered(b.series))
            b.button->setVisible(shown);
}

bool ChartTableGraph::seriesButtonsShown() const
{
    return !buttons_.isEmpty() && buttons_.first().button && buttons_.first().button->isVisible();
}

int ChartTableGraph::selectedSeries() const
{
    return group_->checkedId();
}

void ChartTableGraph::selectSeries(int index)
{
    if (QAbstractButton *b = group_->button(index))
        b->setChecked(true);
}

QPushButton *ChartTableGraph::seriesButton(int index) const
{
    return qobject_cast<QPushButton *>(group_->button(index));
}

void ChartTableGraph::releaseLatched()
{
    for (QToolButton *b : {ShiftSpeedButton, AltSpeedButton, CtrlSpeedButton})
        b->setChecked(false);
}

void ChartTableGraph::refresh()
{
    if (!table_)
        return;
    auto fill = [this](int index, auto key, auto value, int count) {
        if (index >= graphCount())
            return;
        QVector<double> keys(count), values(count);
        for (int i = 0; i < count; ++i) {
            keys[i] = key(i);
            values[i] = value(i);
        }
        graph(index)->setData(keys, values, true);
    };
    const Table &t = *table_;
    // A throttle sensor keeps its settings in the correction slots: not drawn as corrections.
    const int bins = t.temperatureCorrections() ? tbl::kCorrBins : 0;
    fill(Tab1, [](int i) { return i; }, [&t](int i) { return t.image(1)[size_t(i)]; }, tbl::kPoints);
    fill(IATCorr, [](int b) { return 4 * b; },
         [&t](int b) { return tbl::signedByte(t.image(1)[size_t(tbl::kIatBase + b)]); }, bins);
    fill(ECTCorr, [](int b) { return 4 * b; },
         [&t](int b) { return tbl::signedByte(t.image(1)[size_t(tbl::kEctBase + b)]); }, bins);
    if (t.trainedShown())
        fill(Trained, [](int i) { return i; }, [&t](int i) { return t.learnedValues()[size_t(i)]; }, tbl::kPoints);
    else if (graphCount() > Trained)
        graph(Trained)->data()->clear();
    const int maxMaf = t.maxMafPosition();
    const int anyway = t.maxMafAnywayPosition();
    fill(MaxMaf, [maxMaf](int) { return maxMaf; }, [](int i) { return i * 255; }, 2);
    fill(MaxMafAnyway, [anyway](int) { return anyway; }, [](int i) { return i * 255; }, 2);
    if (compareView_) {
        fill(Tab2, [](int i) { return i; }, [&t](int i) { return t.image(2)[size_t(i)]; }, tbl::kPoints);
        fill(IATCorr2, [](int b) { return 4 * b; },
             [&t](int b) { return tbl::signedByte(t.image(2)[size_t(tbl::kIatBase + b)]); }, bins);
        fill(ECTCorr2, [](int b) { return 4 * b; },
             [&t](int b) { return tbl::signedByte(t.image(2)[size_t(tbl::kEctBase + b)]); }, bins);
    }
    // A hidden page is drawn when it is shown (its page refreshes then).
    if (isVisible())
        replot(rpQueuedReplot);
}

void ChartTableGraph::undoZoom()
{
    ChartBase::undoZoom();
    refresh();
}

QString ChartTableGraph::hintText(const QString &title, int x, int y)
{
    if (title.startsWith(QLatin1String("IATCorr")))
        return QStringLiteral("IAT=%1  IATCorr=%2").arg(x).arg(y);
    if (title.startsWith(QLatin1String("ECTCorr")))
        return QStringLiteral("ECT=%1  ECTCorr=%2").arg(x).arg(y);
    return QStringLiteral("MAF=%1  OUT=%2").arg(x).arg(y);
}

QString ChartTableGraph::hint() const
{
    return hint_->isVisible() ? hint_->text() : QString();
}

void ChartTableGraph::showHint(const QString &text, const QPoint &at)
{
    hint_->setText(text);
    hint_->adjustSize();
    hint_->move(at - QPoint(50, 50));
    hint_->show();
    hint_->raise();
}

void ChartTableGraph::hideHint()
{
    hint_->hide();
}

Qt::KeyboardModifiers ChartTableGraph::modifiers(const QMouseEvent *event) const
{
    Qt::KeyboardModifiers mods = event->modifiers();
    if (ShiftSpeedButton->isChecked())
        mods |= Qt::ShiftModifier;
    if (AltSpeedButton->isChecked())
        mods |= Qt::AltModifier;
    if (CtrlSpeedButton->isChecked())
        mods |= Qt::ControlModifier;
    return mods;
}


bool ChartTableGraph::pointAt(int series, int code, double *key, double *value) const
{
    if (series < 0 || series >= graphCount())
        return false;
    const int index = isCorrection(series) ? code / 4 : code;
    const auto data = graph(series)->data();
    if (index < 0 || index >= data->size())
        return false;
    const auto it = data->at(index);
    *key = it->key;
    *value = it->value;
    return true;
}

void ChartTableGraph::edit(int code, int value, Qt::KeyboardModifiers mods)
{
    const int series = selectedSeries();
    const TableSeries which = tableSeriesFromTitle(seriesTitle(series));
    if (!table_ || which == TableSeries::None || !offered(series))
        return;
    table_->editPoint(which, code, value, mods & Qt::ShiftModifier, mods & Qt::ControlModifier);
    // After an edit the hint shows the edited point with its new value.
    double key = 0, newValue = 0;
    if (pointAt(series, code, &key, &newValue))
        showHint(hintText(seriesTitle(series), int(key), int(newValue)),
                 QPoint(int(inputPixel(key)), int(valuePixel(newValue))));
}

void ChartTableGraph::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (!table_ || !inPlotArea(pos)) {
        event->accept();
        return;
    }
    pressed_ = true;
    pressRemembered_ = true;
    // From here to the release: one edit of the table.
    openEdit(table_);
    pressAt_ = pos;
    pressCode_ = snappedInputAt(pos);
    grabbed_ = false;
    const int series = selectedSeries();
    const Qt::KeyboardModifiers mods = modifiers(event);
    double key = 0, value = 0;
    if (event->button() == zoomButton()) {
        // Only the conversion points and the corrections of image 1 can be grabbed.
        if ((series == Tab1 || series == IATCorr || series == ECTCorr) && pointAt(series, pressCode_, &key, &value)) {
            // Pixels are whole: the point's row as drawn against the pointer's.
            const int distance = qRound(valuePixel(value)) - pos.y();
            grabbed_ = std::abs(distance) <= kGrabPixels;
        }
        if (grabbed_ || (mods & Qt::AltModifier)) {
            hintUnder(pos);
            event->accept();
            return;
        }
    }
    hintUnder(pos);
    QMouseEvent mapped = withButtonsSwapped(event, swapped_);
    ChartBase::mousePressEvent(&mapped);
}

void ChartTableGraph::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->buttons() == Qt::NoButton) {
        if (!buttons_.isEmpty()) {
            const int left = width() - 78;
            if (pos.x() >= left && pos.y() <= buttons_.first().top + kButtonHeight)
                showSeriesButtons(true);
            else if (pos.x() < left)
                showSeriesButtons(false);
        }
        hintUnder(pos);
        return;
    }
    const Qt::KeyboardModifiers mods = modifiers(event);
    if (pressed_ && (grabbed_ || (mods & Qt::AltModifier)) && (event->buttons() & zoomButton())) {
        // The point moves vertically only: the input code stays the one pressed.
        edit(pressCode_, outputAt(pos), mods);
        event->accept();
        return;
    }
    QMouseEvent mapped = withButtonsSwapped(event, swapped_);
    ChartBase::mouseMoveEvent(&mapped);
    hintUnder(pos);
}

void ChartTableGraph::mouseReleaseEvent(QMouseEvent *event)
{
    pressed_ = false;
    grabbed_ = false;
    hideHint();
    QMouseEvent mapped = withButtonsSwapped(event, swapped_);
    ChartBase::mouseReleaseEvent(&mapped);
    closeEdit();
}

void ChartTableGraph::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The position of the press before it is edited, once: a second double
    // click without a new press changes nothing.
    if (table_ && pressRemembered_ && inPlotArea(pressAt_)) {
        const TableEdit gesture(*table_);
        edit(snappedInputAt(pressAt_), outputAt(pressAt_), modifiers(event));
    }
    pressRemembered_ = false;
    pressed_ = false;
    grabbed_ = false;
    event->accept();
}

void ChartTableGraph::hintUnder(const QPoint &pos)
{
    // The nearest point within the grab distance, of any shown series.
    int bestSeries = -1;
    double bestKey = 0, bestValue = 0, bestDistance = 0;
    for (int s = 0; s < graphCount(); ++s) {
        if (!graph(s)->visible())
            continue;
        const auto data = graph(s)->data();
        for (auto it = data->constBegin(); it != data->constEnd(); ++it) {
            const double dx = std::abs(inputPixel(it->key) - pos.x());
            const double dy = std::abs(valuePixel(it->value) - pos.y());
            if (dx > kGrabPixels || dy > kGrabPixels)
                continue;
            const double d = dx * dx + dy * dy;
            if (bestSeries < 0 || d < bestDistance) {
                bestSeries = s;
                bestKey = it->key;
                bestValue = it->value;
                bestDistance = d;
            }
        }
    }
    if (bestSeries < 0)
        hideHint();
    else
        showHint(hintText(seriesTitle(bestSeries), int(bestKey), int(bestValue)), pos);
}
