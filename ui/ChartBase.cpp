#include "ui/ChartBase.h"

#include <algorithm>

#include "table/Table_iat_ect_corr.h"

#include <QKeyEvent>
#include <QPainter>
#include <QMouseEvent>
#include <QRubberBand>
#include <QToolButton>

#include <cmath>

#include "table/TableCommon.h"

int roundHalfEven(double x)
{
    // The model's R, so a value shown on a chart is the value the table stores.
    return tbl::roundEven(x);
}

namespace {
// Automatic major steps, always four minor ticks between them.
class FourSubTicks : public QCPAxisTicker {
protected:
    int getSubTickCount(double) override { return 4; }
};

void styleAxis(QCPAxis *axis, const QString &label)
{
    axis->setLabel(label);
    QFont font = axis->labelFont();
    font.setPointSize(12);
    axis->setLabelFont(font);
    axis->setLabelColor(Qt::black);
    axis->setTickLabelColor(Qt::black);
    axis->setBasePen(QPen(Qt::black));
    axis->setTickPen(QPen(Qt::black));
    axis->setSubTickPen(QPen(Qt::black));
    axis->setTicker(QSharedPointer<QCPAxisTicker>(new FourSubTicks));
    axis->grid()->setPen(QPen(QColor(0, 0, 0, 110), 0, Qt::DotLine));
    axis->grid()->setSubGridVisible(false);
    axis->grid()->setZeroLinePen(Qt::NoPen);
}
} // namespace

ChartBase::ChartBase(QWidget *parent) : QCustomPlot(parent), middle_(102, 157, 181)
{
    setBackground(Qt::NoBrush);
    axisRect()->setBackground(Qt::NoBrush);
    styleAxis(xAxis, QString::fromUtf8("α"));
    styleAxis(yAxis, QString::fromUtf8("Выход/Out"));
    xAxis->setTickLength(0, 10);
    xAxis->setSubTickLength(0, 3);
    yAxis->setTickLength(10, 10);
    yAxis->setSubTickLength(0, 5);
    xAxis->setRange(kInputMin, kInputMax);
    yAxis->setRange(kOutputMin, kOutputMax);
    legend->setVisible(false);
    legend->setBrush(QColor(255, 255, 255, 200));
    legend->setBorderPen(QPen(Qt::black));

    zoomTimer_.setInterval(15);
    connect(&zoomTimer_, &QTimer::timeout, this, &ChartBase::zoomStep);
    setFocusPolicy(Qt::ClickFocus);
}

void ChartBase::applyGradient()
{
    // The background is painted with each paint event, not into a layer, so a
    // colour change needs no replot. An opaque picture of the gradient, made
    // once per size, pixel ratio and colour, is much cheaper to paint than the
    // gradient.
    const QSize size = this->size().expandedTo(QSize(1, 1));
    const qreal ratio = devicePixelRatioF();
    QPixmap picture(size * ratio);
    picture.setDevicePixelRatio(ratio);
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0, Qt::white);
    gradient.setColorAt(0.5, middle_);
    gradient.setColorAt(1, Qt::white);
    QPainter painter(&picture);
    painter.fillRect(QRect(QPoint(0, 0), size), gradient);
    painter.end();
    gradient_ = picture;
}

void ChartBase::placeButtonRow(std::initializer_list<QToolButton *> buttons)
{
    int left = 60;
    for (QToolButton *b : buttons) {
        // At least as wide as the caption in the window's font.
        const int wide = std::max(50, b->sizeHint().width());
        b->setGeometry(left, 6, wide, 22);
        left += wide + 4;
    }
}

void ChartBase::setPlainBackground(const QColor &colour)
{
    plain_ = colour;
    gradient_ = QPixmap();
    update();
}

void ChartBase::paintEvent(QPaintEvent *event)
{
    // The plot's buffers follow the screen's pixel ratio (a scaled screen, a
    // move to another screen) before anything is drawn from them.
    const qreal ratio = devicePixelRatioF();
    if (!qFuzzyCompare(bufferDevicePixelRatio(), ratio)) {
        setBufferDevicePixelRatio(ratio);
        replot(rpQueuedRefresh);
    }
    // The background is painted here over the whole widget: the plot's own
    // background picture is scaled in logical pixels and covers only part
    // of a scaled screen, leaving what an earlier page left there.
    QPainter painter(this);
    if (plain_.isValid()) {
        painter.fillRect(rect(), plain_);
    } else {
        if (gradient_.isNull() || gradient_.devicePixelRatio() != ratio ||
            gradient_.deviceIndependentSize().toSize() != size())
            applyGradient();
        painter.drawPixmap(rect(), gradient_);
    }
    painter.end();
    QCustomPlot::paintEvent(event);
}

void ChartBase::setMiddleColour(const QColor &colour)
{
    if (colour == middle_)
        return;
    middle_ = colour;
    gradient_ = QPixmap(); // made anew at the next paint
    update();
}

QCPGraph *ChartBase::addSeries(const Series &style)
{
    QCPGraph *g = addGraph();
    titles_.append(style.title);
    QPen pen(style.colour, style.width);
    if (style.dashed)
        pen.setStyle(Qt::DashLine);
    g->setPen(pen);
    g->setName(style.legend.isEmpty() ? style.title : style.legend);
    if (style.points)
        g->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, style.colour, style.colour,
                                           std::max(6, style.width + 4)));
    g->setVisible(style.visible);
    if (style.legend.isEmpty())
        g->removeFromLegend();
    return g;
}

bool ChartBase::inPlotArea(const QPoint &pos) const
{
    return axisRect()->rect().contains(pos);
}

double ChartBase::inputAt(const QPoint &pos) const
{
    return xAxis->pixelToCoord(pos.x());
}

double ChartBase::valueAt(const QPoint &pos) const
{
    return yAxis->pixelToCoord(pos.y());
}

double ChartBase::valuePixel(double value) const
{
    return yAxis->coordToPixel(value);
}

double ChartBase::inputPixel(double input) const
{
    return xAxis->coordToPixel(input);
}

int ChartBase::snapToKeys(double input, const QVector<double> &keys)
{
    const double v = std::clamp(input, 0.0, 255.0);
    const int n = keys.size();
    for (int i = 0; i + 1 < n; ++i) {
        const double mid = (keys[i] + keys[i + 1]) / 2;
        if (keys[i] <= v && v < mid)
            return static_cast<int>(keys[i]);
    }
    for (int i = 0; i + 1 < n; ++i) {
        const double mid = (keys[i] + keys[i + 1]) / 2;
        if (keys[i + 1] >= v && v >= mid)
            return static_cast<int>(keys[i + 1]);
    }
    return 255;
}

int ChartBase::snappedInputAt(const QPoint &pos) const
{
    QVector<double> keys;
    if (graphCount() > 0) {
        const auto data = graph(0)->data();
        keys.reserve(data->size());
        for (auto it = data->constBegin(); it != data->constEnd(); ++it)
            keys.append(it->key);
    }
    return snapToKeys(inputAt(pos), keys);
}

bool ChartBase::zoomed() const
{
    return xAxis->range() != QCPRange(kInputMin, kInputMax) || yAxis->range() != QCPRange(kOutputMin, kOutputMax);
}

void ChartBase::undoZoom()
{
    zoomTimer_.stop();
    xAxis->setRange(kInputMin, kInputMax);
    yAxis->setRange(kOutputMin, kOutputMax);
    emit zoomUndone();
    replot();
}

// ---- zoom ------------------------------------------------------------------

void ChartBase::beginZoomDrag(const QPoint &pos)
{
    zoomDragging_ = true;
    zoomOrigin_ = pos;
    if (!band_)
        band_ = new QRubberBand(QRubberBand::Rectangle, this);
    band_->setGeometry(QRect(pos, QSize()));
    band_->show();
}

void ChartBase::updateZoomDrag(const QPoint &pos)
{
    if (zoomDragging_ && band_)
        band_->setGeometry(QRect(zoomOrigin_, pos).normalized());
}

void ChartBase::endZoomDrag(const QPoint &pos)
{
    if (!zoomDragging_)
        return;
    zoomDragging_ = false;
    if (band_)
        band_->hide();
    // Only a drag to the right and down zooms; the reverse leaves the view alone.
    if (pos.x() - zoomOrigin_.x() < 4 || pos.y() - zoomOrigin_.y() < 4)
        return;
    fromX_ = xAxis->range();
    fromY_ = yAxis->range();
    toX_ = QCPRange(xAxis->pixelToCoord(zoomOrigin_.x()), xAxis->pixelToCoord(pos.x()));
    toY_ = QCPRange(yAxis->pixelToCoord(pos.y()), yAxis->pixelToCoord(zoomOrigin_.y()));
    toX_.normalize();
    toY_.normalize();
    zoomStep_ = 0;
    zoomTimer_.start();
}

void ChartBase::zoomStep()
{
    ++zoomStep_;
    const double t = double(zoomStep_) / kZoomSteps;
    auto mix = [t](const QCPRange &a, const QCPRange &b) {
        return QCPRange(a.lower + (b.lower - a.lower) * t, a.upper + (b.upper - a.upper) * t);
    };
    xAxis->setRange(mix(fromX_, toX_));
    yAxis->setRange(mix(fromY_, toY_));
    replot(rpQueuedReplot);
    if (zoomStep_ >= kZoomSteps) {
        zoomTimer_.stop();
        emit zoomFinished();
    }
}

void ChartBase::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && inPlotArea(event->pos())) {
        beginZoomDrag(event->pos());
    } else if (event->button() == Qt::RightButton) {
        panning_ = true;
        panLast_ = event->pos();
    }
    event->accept();
}

void ChartBase::mouseMoveEvent(QMouseEvent *event)
{
    if (zoomDragging_) {
        updateZoomDrag(event->pos());
    } else if (panning_ && (event->buttons() & Qt::RightButton)) {
        // Scrolling keeps the zoom and moves the view with the pointer.
        const double dx = xAxis->pixelToCoord(panLast_.x()) - xAxis->pixelToCoord(event->pos().x());
        const double dy = yAxis->pixelToCoord(panLast_.y()) - yAxis->pixelToCoord(event->pos().y());
        xAxis->moveRange(dx);
        yAxis->moveRange(dy);
        panLast_ = event->pos();
        replot(rpQueuedReplot);
    }
    event->accept();
}

void ChartBase::mouseReleaseEvent(QMouseEvent *event)
{
    endZoomDrag(event->pos());
    panning_ = false;
    event->accept();
}

void ChartBase::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

void ChartBase::wheelEvent(QWheelEvent *event)
{
    event->ignore();
}

void ChartBase::keyPressEvent(QKeyEvent *event)
{
    // Escape on the chart is its undo zoom.
    if (event->key() == Qt::Key_Escape && zoomed()) {
        undoZoom();
        event->accept();
        return;
    }
    QCustomPlot::keyPressEvent(event);
}

QMouseEvent ChartBase::withButtonsSwapped(const QMouseEvent *event, bool swap)
{
    auto exchanged = [swap](Qt::MouseButton b) {
        if (!swap)
            return b;
        return b == Qt::LeftButton ? Qt::RightButton : (b == Qt::RightButton ? Qt::LeftButton : b);
    };
    Qt::MouseButtons held = event->buttons();
    if (swap) {
        const bool left = held & Qt::LeftButton, right = held & Qt::RightButton;
        held.setFlag(Qt::LeftButton, right);
        held.setFlag(Qt::RightButton, left);
    }
    return QMouseEvent(event->type(), event->position(), event->scenePosition(), event->globalPosition(),
                       exchanged(event->button()), held, event->modifiers(), event->pointingDevice());
}

void ChartBase::openEdit(Table *table)
{
    if (editing_ || !table)
        return;
    editing_ = table;
    table->beginEdit();
}

void ChartBase::closeEdit()
{
    Table *table = editing_;
    editing_ = nullptr;
    if (table)
        table->endEdit();
}

void ChartBase::hideEvent(QHideEvent *event)
{
    closeEdit();
    QCustomPlot::hideEvent(event);
}
