#pragma once
// The dashboard chart: the main table's characteristic with its learned
// points, the correction window, the live operating point, the switch points,
// the auxiliary characteristic and a cursor; and the place where the user
// drags the characteristic and learns points with the mouse.
//
// A live tick changes only the operating point and the correction window:
// those series sit on their own buffered layer, and a refresh that finds the
// rest unchanged redraws that layer alone instead of the whole plot.
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "table/Table_iat_ect_corr.h"
#include "ui/ChartBase.h"

class TZiravBroadcaster;

class ChartDashboard : public ChartBase, public TableView {
    Q_OBJECT
public:
    enum SeriesIndex {
        Main = 0, IatCorr, EctCorr, Learned, MafBeg, MafEnd, ConvOut, IatPoint, EctPoint, MaxMaf, MaxMafAnyway,
        XCursor, YCursor, AuxCharacteristic, AuxPoint, IdleSw, FullSw, SeriesCount
    };
    // Pointer within this many pixels (vertically) of the characteristic grabs it.
    static constexpr int kGrabPixels = 14;
    static constexpr int kIdleColour = 7139565;

    ChartDashboard(Table &table, TZiravBroadcaster &broadcaster, QWidget *parent = nullptr);

    // Bind dashboard: the table refreshes this chart from now on.
    void bind();
    void refresh() override;
    // Middle colour of the background gradient, as a colour value (red in the low byte).
    void setDashboardColour(int colour);
    int dashboardColour() const { return colourValue_; }
    // Bottom axis title ("α= 12°  MainOut=2.51V"); redraws the axes only.
    void setBottomTitle(const QString &text);

    // The window's edit mode (EditMode); mode 0 when not given.
    void setEditModeSource(std::function<int()> source) { editMode_ = std::move(source); }
    // The series a drag edits (the table chart's selection; "Tab1" by default).
    void setEditedSeries(TableSeries series) { editedSeries_ = series; }

    // Nearest learned point of an input code: the code itself if learned,
    // else the nearer of the first learned point above and below (the lower
    // on a tie); none when nothing is learned.
    std::optional<int> nearestLearned(int code) const;

    // Cursor (input code, output value); (0, 0) is no cursor.
    QPoint cursor() const { return cursor_; }
    // Counts of full replots and live-layer-only redraws (for tests and the benchmark).
    int fullRedraws() const { return fullRedraws_; }
    int liveRedraws() const { return liveRedraws_; }
    bool grabbed() const { return grabbed_; }

signals:
    // A double click left the points outside Min and Max as they were:
    // Max is not above Min, and limiting would make the curve flat.
    void limitsRefused();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    // Everything drawn except the operating point; a refresh compares it to
    // decide between a live-layer redraw and a full one.
    struct Picture {
        TImage image{};
        TPointArray learned{};
        int maxMaf = 0, maxMafAnyway = 0;
        bool trained = false;
        QPoint cursor;
        bool operator==(const Picture &o) const
        {
            return image == o.image && learned == o.learned && maxMaf == o.maxMaf && maxMafAnyway == o.maxMafAnyway
                   && trained == o.trained && cursor == o.cursor;
        }
    };
    Picture currentPicture() const;
    void fillStatic();
    void fillLive();
    void placeCursorBoxes();
    bool isLearned(int code) const;
    int editMode() const { return editMode_ ? editMode_() : EditMain; }
    void broadcastWindow(bool clear, int position);
    // Runs a chain of table operations, each of which refreshes the chart,
    // and draws the chart once at the end.
    template <typename F>
    void batched(F &&operations)
    {
        batching_ = true;
        operations();
        batching_ = false;
        refresh();
    }

    Table &table_;
    TZiravBroadcaster &broadcaster_;
    std::function<int()> editMode_;
    TableSeries editedSeries_ = TableSeries::Tab1;
    bool bound_ = false;
    int colourValue_ = kIdleColour;
    QCPLayer *live_ = nullptr;
    QCPItemText *cursorInputBox_ = nullptr;
    QCPItemText *cursorValueBox_ = nullptr;
    std::optional<Picture> drawn_;
    QPoint cursor_;

    // The press: its position and button, what it grabbed.
    std::optional<QPoint> press_;
    Qt::MouseButton pressButton_ = Qt::NoButton;
    bool grabbed_ = false;
    std::optional<int> pressLearned_;

    bool batching_ = false;
    int fullRedraws_ = 0;
    int liveRedraws_ = 0;
};
