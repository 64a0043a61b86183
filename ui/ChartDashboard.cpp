#include "ui/ChartDashboard.h"

#include <QCoreApplication>
#include <QMouseEvent>

#include <cstdlib>

#include "link/Ziravbroadcaster.h"
#include "table/TableCommon.h"

using tbl::at;

namespace {
QColor colourOfValue(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

const QColor kGrey(128, 128, 128);
const QColor kIatColour(0, 0, 255);
const QColor kEctColour(191, 0, 191);

QCPItemText *cursorBox(QCustomPlot *plot)
{
    auto *box = new QCPItemText(plot);
    box->setLayer(QStringLiteral("overlay"));
    box->setClipToAxisRect(false);
    box->setColor(Qt::black);
    box->setBrush(Qt::white);
    box->setPen(QPen(Qt::red));
    box->setPadding(QMargins(2, 2, 2, 2));
    box->setVisible(false);
    return box;
}
} // namespace

ChartDashboard::ChartDashboard(Table &table, TZiravBroadcaster &broadcaster, QWidget *parent)
    : ChartBase(parent), table_(table), broadcaster_(broadcaster)
{
    setObjectName(QStringLiteral("ChartDashboard"));
    setDashboardColour(kIdleColour);
    legend->setVisible(true);
    // A compact legend beside the plot, at its top: inside, some curve or
    // live point would always pass under it.
    QFont legendFont = font();
    legendFont.setPointSize(std::max(7, legendFont.pointSize() - 1));
    legend->setFont(legendFont);
    legend->setIconSize(20, 10);
    legend->setRowSpacing(0);
    auto *side = new QCPLayoutGrid;
    plotLayout()->addElement(0, 1, side);
    plotLayout()->setColumnStretchFactor(1, 0.001);
    side->setMargins(QMargins(0, 0, 6, 0));
    axisRect()->insetLayout()->take(legend);
    side->addElement(0, 0, legend);
    side->addElement(1, 0, new QCPLayoutElement(this)); // the room below it
    side->setRowStretchFactor(0, 0.001);
    legend->setMargins(QMargins(4, 2, 4, 2));

    // The live series and the input axis, whose title follows every tick,
    // get a paint buffer of their own on top; everything else shares one, so
    // a live tick repaints two buffers.
    addLayer(QStringLiteral("live"), layer(QStringLiteral("overlay")), QCustomPlot::limAbove);
    live_ = layer(QStringLiteral("live"));
    live_->setMode(QCPLayer::lmBuffered);
    layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
    xAxis->setLayer(live_);

    const QColor red(255, 0, 0);
    const std::array<Series, SeriesCount> series = {{
        {QStringLiteral("Tab1"), QStringLiteral("MAIN"), red, 2, false},
        {QStringLiteral("IATCorr"), QString(), kIatColour, 1, false},
        {QStringLiteral("ECTCorr"), QString(), kEctColour, 1, false},
        {QStringLiteral("Learned"), QStringLiteral("Int.Points"), QColor(0, 128, 0), 2, false},
        {QStringLiteral("MafBeg"), QString(), kIatColour, 1, false},
        {QStringLiteral("MafEnd"), QString(), kIatColour, 1, false},
        {QStringLiteral("ConvOut"), QStringLiteral("Main Out"), red, 1, true},
        {QStringLiteral("IATCorr"), QString(), kIatColour, 1, false, false, false},
        {QStringLiteral("ECTCorr"), QString(), kEctColour, 1, false, false, false},
        {QStringLiteral("MaxMaf"), QString(), Qt::black, 2, false, false, false},
        {QStringLiteral("MaxMafAnyway"), QString(), kGrey, 2, false, false, false},
        {QStringLiteral("XCoursour"), QString(), kGrey, 2, false, true},
        {QStringLiteral("YCoursour"), QString(), kGrey, 2, false, true},
        {QStringLiteral("Aux OUT"), QStringLiteral("AUX"), Qt::black, 2, false},
        {QStringLiteral("AuxCOnvOUT"), QStringLiteral("Aux OUT"), Qt::black, 1, true},
        {QStringLiteral("Idle SW"), QStringLiteral("Idle SW"), kGrey, 5, true},
        {QStringLiteral("Full SW"), QStringLiteral("Full SW"), kGrey, 5, true},
    }};
    for (const Series &s : series)
        addSeries(s);
    // The window lines move with the autotuning requests of every tick too.
    for (int i : {MafBeg, MafEnd, ConvOut, IatPoint, EctPoint, AuxPoint})
        graph(i)->setLayer(live_);
    // The auxiliary characteristic may double back; keep its points in order.
    graph(AuxCharacteristic)->setLineStyle(QCPGraph::lsLine);

    // The cursor's boxes stand inside the plot at its edges, so the axes'
    // numbers stay readable.
    cursorInputBox_ = cursorBox(this);
    cursorInputBox_->position->setTypeX(QCPItemPosition::ptPlotCoords);
    cursorInputBox_->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    cursorInputBox_->setPositionAlignment(Qt::AlignBottom | Qt::AlignHCenter);
    cursorValueBox_ = cursorBox(this);
    cursorValueBox_->position->setTypeX(QCPItemPosition::ptAxisRectRatio);
    cursorValueBox_->position->setTypeY(QCPItemPosition::ptPlotCoords);
    cursorValueBox_->setPositionAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    connect(this, &ChartBase::zoomUndone, this, [this] {
        drawn_.reset();
        refresh();
    });
    setMouseTracking(true);
}

void ChartDashboard::bind()
{
    bound_ = true;
    table_.setDashboardView(this);
    table_.setLiveCorrection(0, 0, 0);
    TOperatingPoint point;
    point.further = 255;
    table_.setOperatingPoint(point); // refreshes
}

void ChartDashboard::setDashboardColour(int colour)
{
    colourValue_ = colour;
    setMiddleColour(colourOfValue(colour));
}

void ChartDashboard::setBottomTitle(const QString &text)
{
    if (xAxis->label() == text)
        return;
    xAxis->setLabel(text);
    if (drawn_)
        live_->replot();
}

bool ChartDashboard::isLearned(int code) const
{
    return table_.learnedValues()[at(code)] == table_.slot(code);
}

std::optional<int> ChartDashboard::nearestLearned(int code) const
{
    code = tbl::clampCode(code);
    if (isLearned(code))
        return code;
    std::optional<int> above, below;
    for (int i = code + 1; i < tbl::kPoints && !above; ++i)
        if (isLearned(i))
            above = i;
    for (int i = code - 1; i >= 0 && !below; --i)
        if (isLearned(i))
            below = i;
    if (above && below)
        return (*above - code < code - *below) ? above : below;
    return above ? above : below;
}

ChartDashboard::Picture ChartDashboard::currentPicture() const
{
    Picture p;
    p.image = table_.image(1);
    p.learned = table_.learnedValues();
    // The running maximum moves with the live data; it matters only while its line is shown.
    p.maxMaf = graph(MaxMaf)->visible() ? table_.maxMafPosition() : -1;
    p.maxMafAnyway = graph(MaxMafAnyway)->visible() ? table_.maxMafAnywayPosition() : -1;
    p.trained = table_.trainedShown();
    p.cursor = cursor_;
    return p;
}

void ChartDashboard::refresh()
{
    if (!bound_ || batching_)
        return;
    Picture picture = currentPicture();
    if (drawn_ && *drawn_ == picture) {
        fillLive();
        live_->replot();
        ++liveRedraws_;
        return;
    }
    fillStatic();
    fillLive();
    placeCursorBoxes();
    replot();
    drawn_ = std::move(picture);
    ++fullRedraws_;
}

void ChartDashboard::fillStatic()
{
    QVector<double> x(tbl::kPoints), y(tbl::kPoints);
    for (int i = 0; i < tbl::kPoints; ++i) {
        x[i] = i;
        y[i] = table_.slot(i);
    }
    graph(Main)->setData(x, y, true);

    // A throttle sensor keeps its settings in these slots: nothing to draw as corrections.
    QVector<double> cx, iat, ect;
    if (table_.temperatureCorrections()) {
        for (int b = 0; b < tbl::kCorrBins; ++b) {
            cx.append(4 * b);
            iat.append(tbl::signedByte(table_.slot(tbl::kIatBase + b)));
            ect.append(tbl::signedByte(table_.slot(tbl::kEctBase + b)));
        }
    }
    graph(IatCorr)->setData(cx, iat, true);
    graph(EctCorr)->setData(cx, ect, true);

    // With the Trained series shown the learned points are joined as a line;
    // otherwise each is still marked, so a tuner sees what autotuning stored.
    QVector<double> lx, ly;
    for (int i = 0; i < tbl::kPoints; ++i) {
        if (isLearned(i)) {
            lx.append(i);
            ly.append(table_.slot(i));
        }
    }
    QCPGraph *learned = graph(Learned);
    learned->setLineStyle(table_.trainedShown() ? QCPGraph::lsLine : QCPGraph::lsNone);
    learned->setScatterStyle(table_.trainedShown() ? QCPScatterStyle(QCPScatterStyle::ssNone)
                                                   : QCPScatterStyle(QCPScatterStyle::ssCircle, 5));
    learned->setData(lx, ly, true);

    auto vertical = [this](int index, double at) {
        graph(index)->setData(QVector<double>{at, at}, QVector<double>{0, 255}, true);
    };
    vertical(MaxMaf, table_.maxMafPosition());
    vertical(MaxMafAnyway, table_.maxMafAnywayPosition());

    if (cursor_.isNull()) {
        graph(XCursor)->data()->clear();
        graph(YCursor)->data()->clear();
    } else {
        graph(XCursor)->setData(QVector<double>{double(cursor_.x()), double(cursor_.x())},
                                QVector<double>{0, double(cursor_.y())}, true);
        graph(YCursor)->setData(QVector<double>{0, double(cursor_.x())},
                                QVector<double>{double(cursor_.y()), double(cursor_.y())}, true);
    }

    const double a0 = table_.byteAt(tbl::kSlotAuxFirst), a1 = table_.byteAt(tbl::kSlotAuxFirst + 1);
    const double a2 = table_.byteAt(tbl::kSlotAuxFirst + 2), a3 = table_.byteAt(tbl::kSlotAuxFirst + 3);
    graph(AuxCharacteristic)->setData(QVector<double>{0, a0, a2, 255}, QVector<double>{a1, a1, a3, a3});

    const int idle = table_.byteAt(tbl::kSlotIdleSwitch), full = table_.byteAt(tbl::kSlotFullSwitch);
    graph(IdleSw)->setData(QVector<double>{double(idle)}, QVector<double>{double(table_.slot(idle))}, true);
    graph(FullSw)->setData(QVector<double>{double(full)}, QVector<double>{double(table_.slot(full))}, true);
}

void ChartDashboard::fillLive()
{
    const TOperatingPoint &p = table_.operatingPoint();
    auto point = [this](int index, double x, double y) {
        QSharedPointer<QCPGraphDataContainer> data = graph(index)->data();
        if (data->size() == 1) {
            // Reuse the one point: no allocation per tick.
            auto it = data->begin();
            it->key = x;
            it->value = y;
        } else {
            graph(index)->setData(QVector<double>{x}, QVector<double>{y}, true);
        }
    };
    point(ConvOut, p.inputCode, p.outputCode);
    point(IatPoint, p.iatCode, tbl::signedByte(p.iatCorr));
    point(EctPoint, p.ectCode, tbl::signedByte(p.ectCorr));
    point(AuxPoint, p.inputCode, p.auxOutput);
    auto vertical = [this](int index, double x) {
        QSharedPointer<QCPGraphDataContainer> data = graph(index)->data();
        if (data->size() == 2) {
            data->begin()->key = x;
            (data->begin() + 1)->key = x;
        } else {
            graph(index)->setData(QVector<double>{x, x}, QVector<double>{0, 255}, true);
        }
    };
    vertical(MafBeg, table_.correctionWindowStart());
    vertical(MafEnd, table_.correctionWindowEnd());
}

void ChartDashboard::placeCursorBoxes()
{
    const bool shown = !cursor_.isNull();
    cursorInputBox_->setVisible(shown);
    cursorValueBox_->setVisible(shown);
    if (!shown)
        return;
    cursorInputBox_->setText(QString::number(cursor_.x()));
    cursorInputBox_->position->setCoords(cursor_.x(), 1.0);
    cursorValueBox_->setText(QString::number(cursor_.y()));
    cursorValueBox_->position->setCoords(0.0, cursor_.y());
}

void ChartDashboard::broadcastWindow(bool clear, int position)
{
    TMsgCorrectionWindow message(clear, position);
    broadcaster_.broadcast(message);
}

// ---- mouse --------------------------------------------------------------

void ChartDashboard::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->pos();
    press_ = pos;
    pressButton_ = event->button();
    grabbed_ = false;
    pressLearned_.reset();
    if (event->button() != Qt::LeftButton || !inPlotArea(pos)) {
        ChartBase::mousePressEvent(event);
        return;
    }
    // From here to the release: one edit of the table.
    openEdit(&table_);
    const int e = snappedInputAt(pos);
    const int d = pos.y() - qRound(valuePixel(table_.slot(e)));
    pressLearned_ = nearestLearned(e);
    grabbed_ = std::abs(d) <= kGrabPixels;
    if (!grabbed_)
        beginZoomDrag(pos);
    const int n = pressLearned_ && std::abs(*pressLearned_ - e) <= 9 ? *pressLearned_ : e;
    broadcastWindow(false, n);
    // The window moved: show it before the drag goes on.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    event->accept();
}

void ChartDashboard::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->pos();
    const Qt::MouseButtons buttons = event->buttons();
    if (zoomDragging() || (buttons & Qt::RightButton)) {
        ChartBase::mouseMoveEvent(event);
        if (!cursor_.isNull()) {
            cursor_ = QPoint();
            refresh();
        }
        return;
    }
    if (!(buttons & Qt::LeftButton))
        press_ = pos;
    if (!inPlotArea(pos)) {
        cursor_ = QPoint();
        refresh();
        return;
    }
    const int x = snappedInputAt(pos);
    const int y = outputAt(pos);
    cursor_ = QPoint(x, y);
    const int d = pos.y() - qRound(valuePixel(table_.slot(x)));
    const std::optional<int> near = nearestLearned(x);
    if (std::abs(d) <= kGrabPixels && near && std::abs(*near - x) < 10)
        cursor_ = QPoint(*near, table_.slot(*near));

    if (grabbed_ && pressLearned_ && (buttons & Qt::LeftButton)) {
        const int n = *pressLearned_;
        batched([&] {
            if (std::abs(x - n) < 5) {
                const int k = std::max(n, table_.learnedStart());
                table_.editPoint(editedSeries_, k, y, false, false);
                // The point as stored: a pointer beyond 0..255 must not un-learn it.
                table_.learnedValues()[at(k)] = table_.slot(k);
                if (table_.learnedStart() >= n)
                    table_.setBeginningAsLearned(k, 0, false);
            }
            table_.learnedInterpolation(table_.extrapolateEnds(), n, table_.descending());
            table_.refresh();
        });
        return;
    }
    refresh();
}

void ChartDashboard::mouseReleaseEvent(QMouseEvent *event)
{
    grabbed_ = false;
    ChartBase::mouseReleaseEvent(event);
    closeEdit();
}

void ChartDashboard::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    if (!press_ || !inPlotArea(*press_))
        return;
    const TableEdit edit(table_);
    const int m = snappedInputAt(*press_);
    press_.reset();
    batching_ = true;
    bool clear = false;
    switch (editMode()) {
    case EditMax:
        table_.setMax(m);
        break;
    case EditMin:
        table_.setMin(m);
        break;
    case EditKick:
        table_.setKick(m);
        break;
    default:
        if (isLearned(m)) {
            table_.removeLearnedPoint(m);
            clear = true;
        } else {
            table_.addLearnedPoint(m);
        }
        break;
    }
    const bool limited = table_.applyMinMaxLimits();
    batching_ = false;
    broadcastWindow(clear, m);
    batched([&] {
        table_.learnedInterpolation(table_.extrapolateEnds(), pressLearned_.value_or(m), table_.descending());
        table_.refresh();
    });
    if (!limited)
        emit limitsRefused();
}
