#pragma once
// The table chart: a table's conversion points, temperature corrections and
// learned points as series over the input code, edited with the mouse. The
// same class is the comparison view (ChartCompare), which adds the second
// image's series. Shift, Alt and Ctrl are the keyboard's or the latched
// "+Shift", "+Alt", "+Ctrl" buttons of the chart; the chart reads the
// latched state itself, nothing pretends a key was pressed.
#include <QPointer>
#include <QVector>

#include "table/Table_iat_ect_corr.h"
#include "ui/ChartBase.h"

class QButtonGroup;
class QLabel;
class QPushButton;
class QToolButton;

class ChartTableGraph : public ChartBase, public TableView {
    Q_OBJECT
public:
    enum SeriesIndex { Tab1 = 0, IATCorr, ECTCorr, Trained, MaxMaf, MaxMafAnyway, Tab2, IATCorr2, ECTCorr2 };
    // Pointer within this many pixels (vertically) of a point grabs it.
    static constexpr int kGrabPixels = 4;
    static constexpr int kButtonWidth = 70;
    static constexpr int kButtonHeight = 25;
    // Middle colours of the background gradient: one image, two images.
    static const QColor kMainColour;
    static const QColor kCompareColour;

    explicit ChartTableGraph(QWidget *parent = nullptr);

    // Creates series 0..5 and their buttons for the table (set up table view).
    TableView *bindTable(Table &table, bool showTrained);
    // Second image: gradient, series 6..8 and their buttons (set up second image).
    void addSecondImage();
    void refresh() override;
    void undoZoom() override;

    // The series the mouse edits (index of the down series button).
    int selectedSeries() const;
    void selectSeries(int index);
    QPushButton *seriesButton(int index) const;
    bool seriesButtonsShown() const;

    // Latched modifiers; released on a page change and at close.
    QToolButton *shiftButton() const { return ShiftSpeedButton; }
    QToolButton *altButton() const { return AltSpeedButton; }
    QToolButton *ctrlButton() const { return CtrlSpeedButton; }
    QToolButton *zoomMoveButton() const { return SpeedButton1; }
    void releaseLatched();
    // The hint shown under the pointer ("MAF=100  OUT=120"); empty when hidden.
    QString hint() const;
    bool grabbed() const { return grabbed_; }
    // The hint text of a point of a series.
    static QString hintText(const QString &title, int x, int y);

signals:
    // A series button went down: the mouse edits that series from now on.
    void seriesSelected(TableSeries series);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override
    {
        ChartBase::showEvent(event);
        replot(rpQueuedReplot); // series filled while hidden were not drawn
    }

private:
    QPushButton *addSeriesButton(int seriesIndex, int top);
    void placeButtons();
    void showSeriesButtons(bool shown);
    // The temperature corrections are offered only where the image holds them.
    bool offered(int series) const;
    Qt::KeyboardModifiers modifiers(const QMouseEvent *event) const;
    // The left and right buttons swapped while SpeedButton1 says "←/→".
    Qt::MouseButton zoomButton() const { return swapped_ ? Qt::RightButton : Qt::LeftButton; }
    void edit(int code, int value, Qt::KeyboardModifiers mods);
    // The point of `series` at an input code: its key and value.
    bool pointAt(int series, int code, double *key, double *value) const;
    void showHint(const QString &text, const QPoint &at);
    void hideHint();
    // The hint of whatever point lies under the pointer.
    void hintUnder(const QPoint &pos);

    Table *table_ = nullptr;
    bool compareView_ = false;
    struct Button {
        QPointer<QPushButton> button;
        int series;
        int top;
    };
    QVector<Button> buttons_;
    QButtonGroup *group_ = nullptr;
    QToolButton *ShiftSpeedButton = nullptr;
    QToolButton *AltSpeedButton = nullptr;
    QToolButton *CtrlSpeedButton = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QLabel *hint_ = nullptr;
    bool swapped_ = false;
    bool pressed_ = false;
    bool grabbed_ = false;
    QPoint pressAt_;
    // The press a double click edits at; forgotten once used.
    bool pressRemembered_ = false;
    int pressCode_ = 0;
};
