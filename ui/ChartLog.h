#pragma once
// The log chart: the Log's columns against time (17 series), decimated to
// about 430 points across the view. Dragging a rectangle zooms (the view
// history of the Log keeps each view, undo zoom goes back one), the other
// button pans, the wheel zooms the time axis around the pointer, and a press
// on the "Tab" curve (or with Alt) edits the main table's conversion point
// of the record's MAF code.
#include <array>

#include <QVector>

#include "log/Log_iat_ect_corr.h"
#include "ui/ChartBase.h"

class QLabel;
class QToolButton;

class ChartLog : public ChartBase, public LogChartView {
    Q_OBJECT
public:
    enum SeriesIndex {
        Maf = 0, Tps, Converter, Tab, Marker, Enrichment, Rpm, O2, Corr, Iat, Ect, O2SM, LogCorr,
        MafLimit, O2Target, O2FromDash, MaxMafInLog, SeriesCount
    };
    static constexpr int kToggled = 13; // series with a toggle button
    static constexpr int kTabPixels = 4;
    // One wheel notch shows this share of the time span (or its inverse outwards).
    static constexpr double kWheelFactor = 0.8;

    explicit ChartLog(QWidget *parent = nullptr);

    // Binds the Log whose columns are drawn (Log::setUpView takes the result).
    LogChartView *bindLog(Log &log);
    Log *log() const { return log_; }
    void rebuild(int from, int to, int step) override;
    // Goes back one view of the history (two entries at least).
    void undoZoom() override;

    QToolButton *toggleButton(int series) const { return toggles_[size_t(series)]; }
    QToolButton *markersButton() const { return markers_; }
    QToolButton *zoomMoveButton() const { return SpeedButtonZoomMove; }
    QToolButton *shiftButton() const { return SpeedButtonShiftLog; }
    QToolButton *altButton() const { return SpeedButtonAltLog; }
    void releaseLatched();
    bool buttonsShown() const;
    QString hint() const;
    bool editing() const { return editing_; }
    // Sets the view to records first..last as a zoom does (history entry, decimation, rebuild).
    void zoomToRecords(int first, int last);

signals:
    // A conversion point of the main table was changed on the "Tab" curve.
    void tableEdited();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override
    {
        ChartBase::showEvent(event);
        replot(rpQueuedReplot); // series filled while hidden were not drawn
    }

private:
    static double timeOf(int record) { return record * 10.0; }
    static int recordAt(double ms) { return int(std::floor(ms / 10.0 + 0.5)); }
    void viewFromAxis(bool pushEntry);
    // mods: the keys held with the edit (Shift makes anchors, Ctrl extrapolates).
    void editAt(const QPoint &pos, Qt::KeyboardModifiers mods);
    // The visible series with a point under pos (-1: none) and its record.
    int seriesUnder(const QPoint &pos, int *record) const;
    int seriesValue(int series, int record) const;
    void placeButtons();
    void showButtons(bool shown);
    void showHint(const QString &text, const QPoint &at);
    Qt::MouseButton zoomButton() const { return swapped_ ? Qt::RightButton : Qt::LeftButton; }
    bool nearTab(const QPoint &pos) const;
    void zoomDone();

    Log *log_ = nullptr;
    std::array<QToolButton *, kToggled> toggles_{};
    QToolButton *markers_ = nullptr;
    QToolButton *SpeedButtonZoomMove = nullptr;
    QToolButton *SpeedButtonShiftLog = nullptr;
    QToolButton *SpeedButtonAltLog = nullptr;
    QLabel *hint_ = nullptr;
    bool swapped_ = false;
    bool editing_ = false;
    bool panning_ = false;
    bool zooming_ = false;
};
