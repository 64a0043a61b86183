#pragma once
// The common chart of the table, dashboard and log views, on QCustomPlot:
// white-to-colour-to-white background, the fixed output (-30..300) and input
// (0..300) axes, ticks, dotted grid, series styled from one description, the
// rubber-band zoom and the one pixel-to-value mapping every view uses.
#include <QColor>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <QVector>

#include <initializer_list>

#include <qcustomplot.h>

class QToolButton;

class QRubberBand;
class Table;

// R(x): nearest integer, ties to even; every pixel-to-value mapping uses it.
int roundHalfEven(double x);

class ChartBase : public QCustomPlot {
    Q_OBJECT
public:
    static constexpr double kOutputMin = -30;
    static constexpr double kOutputMax = 300;
    static constexpr double kInputMin = 0;
    static constexpr double kInputMax = 300;
    // Steps of an animated zoom.
    static constexpr int kZoomSteps = 10;

    struct Series {
        QString title;   // name the views refer to
        QString legend;  // legend text; empty = no legend entry
        QColor colour;
        int width = 1;
        bool points = false; // circles at the data points
        bool dashed = false;
        bool visible = true;
    };

    explicit ChartBase(QWidget *parent = nullptr);

    // Middle colour of the background gradient (top and bottom stay white).
    void setMiddleColour(const QColor &colour);
    QColor middleColour() const { return middle_; }

    QCPGraph *addSeries(const Series &style);
    QCPGraph *series(int index) const { return graph(index); }
    int seriesCount() const { return graphCount(); }
    QString seriesTitle(int index) const { return titles_.value(index); }

    // ---- pointer mapping (current axis ranges, so zooming changes it) ----
    bool inPlotArea(const QPoint &pos) const;
    double inputAt(const QPoint &pos) const;
    double valueAt(const QPoint &pos) const;
    // Output value under the pointer: R(axis value).
    int outputAt(const QPoint &pos) const { return roundHalfEven(valueAt(pos)); }
    // The input limited to 0..255 and snapped to the nearest x of series 0.
    int snappedInputAt(const QPoint &pos) const;
    static int snapToKeys(double input, const QVector<double> &keys);
    // Pixel rows of a value and pixel columns of an input.
    double valuePixel(double value) const;
    double inputPixel(double input) const;

    // Both axes back to their fixed ranges.
    virtual void undoZoom();
    bool zoomed() const;
    // While an animated zoom is under way (tests wait for its end).
    bool zoomAnimating() const { return zoomTimer_.isActive(); }

signals:
    void zoomUndone();
    // The last step of an animated zoom has been drawn.
    void zoomFinished();

protected:
    // The event with the left and right buttons exchanged when swap is set
    // (the zoom/move swap button of the table and log charts).
    static QMouseEvent withButtonsSwapped(const QMouseEvent *event, bool swap);
    // Rubber-band zoom: dragging right and down zooms into the rectangle in
    // kZoomSteps animated steps; dragging up or left does nothing.
    void beginZoomDrag(const QPoint &pos);
    void updateZoomDrag(const QPoint &pos);
    void endZoomDrag(const QPoint &pos);
    bool zoomDragging() const { return zoomDragging_; }
    // A mouse gesture that may edit a table is one edit from the press to
    // the release (or until the chart is hidden).
    void openEdit(Table *table);
    void closeEdit();
    void hideEvent(QHideEvent *event) override;

    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    // Lays out the latched key buttons in a row at the chart's top left.
    static void placeButtonRow(std::initializer_list<QToolButton *> buttons);
    // One colour instead of the gradient (the log chart's black).
    void setPlainBackground(const QColor &colour);

private:
    void applyGradient();
    void zoomStep();

    QColor middle_;
    QColor plain_;     // valid: painted instead of the gradient
    QPixmap gradient_; // the gradient at the widget's size and pixel ratio
    QStringList titles_;
    Table *editing_ = nullptr;
    bool zoomDragging_ = false;
    QPoint zoomOrigin_;
    QRubberBand *band_ = nullptr;
    // Right-button scrolling.
    bool panning_ = false;
    QPoint panLast_;
    // Animation from the ranges at the start to the target ranges.
    QTimer zoomTimer_;
    int zoomStep_ = 0;
    QCPRange fromX_, fromY_, toX_, toY_;
};
