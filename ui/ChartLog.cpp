#include "ui/ChartLog.h"

#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "table/TableCommon.h"
#include "table/Table_iat_ect_corr.h"

namespace {
struct LogSeriesInfo {
    const char *title;
    const char *legend;
    QColor colour;
};
const LogSeriesInfo kLogSeries[ChartLog::SeriesCount] = {
    {"MAF", "MAF", QColor(15, 196, 255)},          {"TPS", "TPS", QColor(128, 0, 255)},
    {"Converter", "Converter", QColor(255, 128, 0)}, {"Tab", "Tab", QColor(176, 0, 0)},
    {"Marker", "Marker", QColor(255, 0, 0)},       {"Enrichment", "Enrichment", QColor(255, 255, 0)},
    {"RPM/100", "RPM", QColor(168, 211, 255)},     {"O2", "O2", QColor(1, 209, 12)},
    {"Corr", "Corr", QColor(186, 220, 192)},       {"IAT", "IAT", QColor(236, 159, 228)},
    {"ECT", "ECT", QColor(237, 132, 129)},         {"O2SM", "O2SM", QColor(134, 232, 156)},
    {"LogCorr", "LogCorr", QColor(201, 165, 168)}, {"MAFLimit", "", QColor(6, 205, 255)},
    {"O2Target", "", QColor(255, 94, 94)},         {"O2FromDash", "", QColor(128, 255, 0)},
    {"MaxMafInLog", "", QColor(128, 128, 128)},
};

// Times as "h:m:s:z" of the record they fall on.
class LogTimeTicker : public QCPAxisTicker {
protected:
    QString getTickLabel(double tick, const QLocale &, QChar, int) override
    {
        return logTimeText(int(std::floor(tick / 10.0 + 0.5)));
    }
};

QToolButton *toolButton(QWidget *parent, const QString &name, const QString &text, bool checkable)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setCheckable(checkable);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

void styleDark(QCPAxis *axis)
{
    const QColor silver(192, 192, 192);
    axis->setLabelColor(silver);
    axis->setTickLabelColor(silver);
    axis->setBasePen(QPen(silver));
    axis->setTickPen(QPen(silver));
    axis->setSubTickPen(QPen(silver));
    axis->grid()->setPen(QPen(QColor(128, 128, 128), 0, Qt::DotLine));
}
} // namespace

ChartLog::ChartLog(QWidget *parent) : ChartBase(parent)
{
    setObjectName(QStringLiteral("ChartLog"));
    setMouseTracking(true);
    // A decimated log zigzags across the whole height; stroked as one wide
    // polyline such a curve takes the raster engine hundreds of milliseconds,
    // as separate segments a millisecond or two.
    setPlottingHint(QCP::phFastPolylines, true);
    setPlainBackground(Qt::black);
    styleDark(xAxis);
    styleDark(yAxis);
    xAxis->setLabel(QStringLiteral("Time"));
    yAxis->setLabel(QStringLiteral("Value"));
    xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new LogTimeTicker));
    xAxis->setRange(0, 1000);
    yAxis->setRange(-30, 300);
    for (int s = 0; s < SeriesCount; ++s) {
        Series style;
        style.title = QString::fromLatin1(kLogSeries[s].title);
        style.legend = QString::fromLatin1(kLogSeries[s].legend);
        style.colour = kLogSeries[s].colour;
        style.width = 2;
        style.dashed = s >= MafLimit;
        style.visible = s != Tps;
        addSeries(style);
    }
    for (int s = 0; s < kToggled; ++s) {
        toggles_[size_t(s)] = toolButton(this, QStringLiteral("SpeedButtonLog") + QString::number(s + 1),
                                         seriesTitle(s), true);
        toggles_[size_t(s)]->setChecked(s != Tps);
        connect(toggles_[size_t(s)], &QToolButton::toggled, this, [this, s](bool on) {
            graph(s)->setVisible(on);
            replot(rpQueuedReplot);
        });
    }
    markers_ = toolButton(this, QStringLiteral("SpeedButtonLogMarkers"), QStringLiteral("*****"), true);
    connect(markers_, &QToolButton::toggled, this, [this](bool on) {
        graph(Maf)->setScatterStyle(on ? QCPScatterStyle(QCPScatterStyle::ssCircle, 4) : QCPScatterStyle());
        replot(rpQueuedReplot);
    });
    showButtons(false);

    SpeedButtonZoomMove = toolButton(this, QStringLiteral("SpeedButtonZoomMove"), QStringLiteral("+/-"), false);
    SpeedButtonShiftLog = toolButton(this, QStringLiteral("SpeedButtonShiftLog"), QStringLiteral("+Shift"), true);
    SpeedButtonAltLog = toolButton(this, QStringLiteral("SpeedButtonAltLog"), QStringLiteral("+Alt"), true);
    placeButtonRow({SpeedButtonZoomMove, SpeedButtonShiftLog, SpeedButtonAltLog});
    connect(SpeedButtonZoomMove, &QToolButton::clicked, this, [this] {
        swapped_ = !swapped_;
        SpeedButtonZoomMove->setText(swapped_ ? QString::fromUtf8("←/→") : QStringLiteral("+/-"));
    });
    hint_ = new QLabel(this);
    hint_->setObjectName(QStringLiteral("ChartHint"));
    hint_->setStyleSheet(QStringLiteral("background: #ffffe1; color: black; border: 1px solid black; padding: 1px;"));
    hint_->setAttribute(Qt::WA_TransparentForMouseEvents);
    hint_->hide();
    connect(this, &ChartBase::zoomFinished, this, &ChartLog::zoomDone);
}

LogChartView *ChartLog::bindLog(Log &log)
{
    log_ = &log;
    return this;
}

int ChartLog::seriesValue(int s, int i) const
{
    const Log &log = *log_;
    switch (s) {
    case Maf: return log.value(ColMaf, i);
    case Tps: return log.value(ColTps, i);
    case Converter: return log.value(ColConverter, i);
    case Tab: {
        const Table *t = log.table();
        return t ? t->slot(tbl::clampCode(log.value(ColMaf, i))) : 0;
    }
    case Marker: return log.value(ColMarker, i);
    case Enrichment: return 0;
    case Rpm: return log.rpm(i) / 100;
    case O2: return log.value(ColO2, i);
    case Corr: return log.value(ColCorr, i);
    case Iat: return log.value(ColIat, i);
    case Ect: return log.value(ColEct, i);
    case O2SM: return log.value(ColO2SM, i);
    case LogCorr: return log.value(ColLogCorr, i);
    case MafLimit: return log.settings().mafLimit;
    case O2Target: return log.settings().o2Target;
    case O2FromDash: return log.settings().o2RefLearn;
    case MaxMafInLog: return log.maxMafInLog();
    default: return 0;
    }
}

void ChartLog::rebuild(int from, int to, int step)
{
    if (!log_ || to < from)
        return;
    const int n = (to - from) / step + 1;
    QVector<double> keys(n);
    for (int k = 0; k < n; ++k)
        keys[k] = timeOf(from + k * step);
    QVector<double> values(n);
    for (int s = 0; s < kToggled; ++s) {
        for (int k = 0; k < n; ++k)
            values[k] = seriesValue(s, from + k * step);
        graph(s)->setData(keys, values, true);
    }
    const int last = from + (n - 1) * step;
    for (int s = MafLimit; s < SeriesCount; ++s) {
        const double v = seriesValue(s, from);
        graph(s)->setData({timeOf(from), timeOf(last)}, {v, v}, true);
    }
    // A new full view (after a stop or a load) brings its axis limits.
    if (log_->viewHistory().empty()) {
        const TZoomBufer axes = log_->axisLimits();
        xAxis->setRange(axes.timeMin, axes.timeMax);
        yAxis->setRange(axes.valueMin, axes.valueMax);
    }
    // A hidden page is drawn when it is shown (its page refreshes then).
    if (isVisible())
        replot(rpQueuedReplot);
}

void ChartLog::viewFromAxis(bool pushEntry)
{
    const int count = log_->count();
    const int first = std::clamp(recordAt(xAxis->range().lower), 0, std::max(0, count - 1));
    const int last = std::clamp(recordAt(xAxis->range().upper), 0, std::max(0, count - 1));
    log_->setVisibleRange(first, last);
    if (pushEntry) {
        TZoomBufer entry;
        entry.first = first;
        entry.last = last;
        entry.timeMin = xAxis->range().lower;
        entry.timeMax = xAxis->range().upper;
        entry.valueMin = yAxis->range().lower;
        entry.valueMax = yAxis->range().upper;
        log_->viewHistory().push_back(entry);
    }
    log_->setDecimation(last - first);
    log_->rebuild(log_->decimationStep());
}

void ChartLog::zoomDone()
{
    if (log_ && log_->hasData())
        viewFromAxis(true);
}

void ChartLog::zoomToRecords(int first, int last)
{
    xAxis->setRange(timeOf(first), timeOf(last));
    viewFromAxis(true);
}

void ChartLog::undoZoom()
{
    if (!log_)
        return;
    auto &history = log_->viewHistory();
    if (history.size() < 2)
        return;
    history.pop_back();
    const TZoomBufer &entry = history.back();
    xAxis->setRange(timeOf(entry.first), timeOf(entry.last));
    yAxis->setRange(entry.valueMin, entry.valueMax);
    log_->setVisibleRange(entry.first, entry.last);
    log_->setDecimation(entry.last - entry.first);
    log_->rebuild(log_->decimationStep());
    emit zoomUndone();
}

void ChartLog::releaseLatched()
{
    SpeedButtonShiftLog->setChecked(false);
    SpeedButtonAltLog->setChecked(false);
}

// ---- buttons and hints -------------------------------------------------------------

void ChartLog::placeButtons()
{
    // As wide as the longest series title ("Enrichment"), so none is cut.
    int wide = 70;
    for (int s = 0; s < kToggled; ++s)
        wide = std::max(wide, toggles_[size_t(s)]->sizeHint().width());
    const int left = width() - wide - 8;
    for (int s = 0; s < kToggled; ++s)
        toggles_[size_t(s)]->setGeometry(left, 8 + 33 * s, wide, 25);
    markers_->setGeometry(left, 8 + 33 * kToggled, wide, 25);
}

void ChartLog::resizeEvent(QResizeEvent *event)
{
    ChartBase::resizeEvent(event);
    placeButtons();
}

void ChartLog::showButtons(bool shown)
{
    for (QToolButton *b : toggles_)
        b->setVisible(shown);
    markers_->setVisible(shown);
}

bool ChartLog::buttonsShown() const
{
    return toggles_[0]->isVisible();
}

QString ChartLog::hint() const
{
    return hint_->isVisible() ? hint_->text() : QString();
}

void ChartLog::showHint(const QString &text, const QPoint &at)
{
    hint_->setText(text);
    hint_->adjustSize();
    hint_->move(at);
    hint_->show();
    hint_->raise();
}


// The nearest drawn point of the "MAF" series to a time: its record.
static int nearestDrawn(const QCPGraph *g, double key, bool *found)
{
    const auto data = g->data();
    *found = !data->isEmpty();
    if (!*found)
        return 0;
    auto it = data->findBegin(key, false);
    if (it == data->constEnd())
        --it;
    auto best = it;
    if (it != data->constBegin()) {
        auto before = it - 1;
        if (std::abs(before->key - key) <= std::abs(it->key - key))
            best = before;
    }
    return int(std::floor(best->key / 10.0 + 0.5));
}

bool ChartLog::nearTab(const QPoint &pos) const
{
    bool found = false;
    const int record = nearestDrawn(graph(Maf), xAxis->pixelToCoord(pos.x()), &found);
    if (!found || !graph(Tab)->visible())
        return false;
    return std::abs(qRound(valuePixel(seriesValue(Tab, record))) - pos.y()) <= kTabPixels;
}

void ChartLog::editAt(const QPoint &pos, Qt::KeyboardModifiers mods)
{
    Table *table = log_->table();
    bool found = false;
    const int record = nearestDrawn(graph(Maf), xAxis->pixelToCoord(pos.x()), &found);
    if (!table || !found)
        return;
    const int m = tbl::clampCode(log_->value(ColMaf, record));
    const int v = tbl::clampCode(outputAt(pos));
    // Below the MAF limit the table belongs to the idle and part-load learning.
    if (m <= log_->settings().mafLimit)
        return;
    // Shift held, or "+Shift" down: the edited points become anchors.
    const bool shift = (mods & Qt::ShiftModifier) || SpeedButtonShiftLog->isChecked();
    table->editPointFromLog(m, v, shift, mods & Qt::ControlModifier);
    log_->rebuild(log_->decimationStep());
    emit tableEdited();
}

// ---- mouse ---------------------------------------------------------------------------

void ChartLog::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (!log_ || !inPlotArea(pos)) {
        event->accept();
        return;
    }
    const bool alt = (event->modifiers() & Qt::AltModifier) || SpeedButtonAltLog->isChecked();
    if (event->button() == zoomButton() && log_->hasData() && (alt || nearTab(pos))) {
        editing_ = true;
        // From here to the release: one edit of the main table.
        openEdit(log_->table());
        editAt(pos, event->modifiers());
        event->accept();
        return;
    }
    // A press tells the value under the pointer.
    int record = 0;
    const int series = seriesUnder(pos, &record);
    if (series >= 0)
        showHint(QString::number(seriesValue(series, record)) + QStringLiteral("  ") + log_->resolutionText(),
                 pos - QPoint(50, 50));
    panning_ = event->button() != zoomButton();
    zooming_ = !panning_;
    QMouseEvent mapped = withButtonsSwapped(event, swapped_);
    ChartBase::mousePressEvent(&mapped);
}

void ChartLog::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->buttons() == Qt::NoButton) {
        const int left = width() - 78;
        if (pos.x() >= left && pos.y() <= 8 + 25)
            showButtons(true);
        else if (pos.x() < left)
            showButtons(false);
    }
    if (editing_ && (event->buttons() & zoomButton())) {
        editAt(pos, event->modifiers());
        event->accept();
        return;
    }
    QMouseEvent mapped = withButtonsSwapped(event, swapped_);
    ChartBase::mouseMoveEvent(&mapped);
    if (panning_ && log_ && log_->hasData() && (event->buttons() & ~zoomButton())) {
        viewFromAxis(false);
        // Undo zoom returns to the width of the view before, around the place panned to.
        auto &history = log_->viewHistory();
        if (history.size() >= 3) {
            TZoomBufer &before = history[history.size() - 2];
            const int width = before.last - before.first;
            const int middle = (log_->visibleFirst() + log_->visibleLast()) / 2;
            before.first = std::max(0, middle - width / 2);
            before.last = before.first + width;
        }
        return;
    }
    // The series under the pointer, the O2 of that record and the resolution.
    int record = 0;
    const int best = seriesUnder(pos, &record);
    if (best < 0) {
        hint_->hide();
        return;
    }
    showHint(seriesTitle(best) + QLatin1Char('=') + QString::number(seriesValue(best, record)) + QLatin1Char('\n')
                 + QStringLiteral("O2=") + QString::number(seriesValue(O2, record)) + QLatin1Char('\n')
                 + log_->resolutionText(),
             pos - QPoint(50, 80));
}

int ChartLog::seriesUnder(const QPoint &pos, int *record) const
{
    if (!log_ || !log_->hasData() || !inPlotArea(pos))
        return -1;
    bool found = false;
    *record = nearestDrawn(graph(Maf), xAxis->pixelToCoord(pos.x()), &found);
    if (!found || *record >= log_->count())
        return -1;
    int best = -1;
    double bestDistance = kTabPixels + 1;
    for (int s = 0; s < SeriesCount; ++s) {
        if (!graph(s)->visible())
            continue;
        const double d = std::abs(valuePixel(seriesValue(s, *record)) - pos.y());
        if (d < bestDistance) {
            best = s;
            bestDistance = d;
        }
    }
    return best;
}

void ChartLog::leaveEvent(QEvent *event)
{
    // A hint about a point the pointer has left is stale.
    hint_->hide();
    ChartBase::leaveEvent(event);
}

void ChartLog::mouseReleaseEvent(QMouseEvent *event)
{
    editing_ = false;
    panning_ = false;
    zooming_ = false;
    QMouseEvent mapped = withButtonsSwapped(event, swapped_);
    ChartBase::mouseReleaseEvent(&mapped);
    closeEdit();
}

void ChartLog::wheelEvent(QWheelEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (!log_ || !log_->hasData() || !inPlotArea(pos) || event->angleDelta().y() == 0) {
        event->ignore();
        return;
    }
    // The time under the pointer stays where it is.
    const double notches = event->angleDelta().y() / 120.0;
    const double factor = std::pow(kWheelFactor, notches);
    const double at = xAxis->pixelToCoord(pos.x());
    const QCPRange r = xAxis->range();
    double lower = at - (at - r.lower) * factor;
    double upper = at + (r.upper - at) * factor;
    const double end = timeOf(log_->count() - 1);
    lower = std::max(0.0, lower);
    upper = std::min(end, upper);
    // Never narrower than ten records.
    if (upper - lower < 100)
        return event->accept();
    xAxis->setRange(lower, upper);
    viewFromAxis(true);
    event->accept();
}
