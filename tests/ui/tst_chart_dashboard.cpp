// The dashboard chart under real mouse events: grabbing the characteristic,
// the correction-window request of a press, dragging learned points, double
// clicks by edit mode, and the live point redrawn on its own layer.
#include <QtTest>

#include "link/Ziravbroadcaster.h"
#include "table/TableCommon.h"
#include "table/Table_iat_ect_corr.h"
#include "ui/ChartDashboard.h"

namespace {
// Records the correction-window requests the chart sends.
struct WindowRequests : TSubscriber {
    void handleMessage(TMessage &message) override
    {
        if (message.id == kMsgCorrectionWindow) {
            auto &m = static_cast<TMsgCorrectionWindow &>(message);
            records.append({m.clearSet(), m.position});
        }
    }
    QList<QPair<bool, int>> records;
};

// A rising table: point i outputs i; Min 10, Max 240, Kick 200, one listed
// learned point at 50 and one free entry (so 0, 10, 50, 200 and 240 are learned).
struct Fixture {
    Table table;
    TZiravBroadcaster broadcaster;
    WindowRequests requests;
    ChartDashboard chart{table, broadcaster};
    int mode = EditMain;
    int quickWrites = 0;

    Fixture()
    {
        broadcaster.subscribe(&requests);
        for (int i = 0; i < 256; ++i)
            table.setSlot(i, i);
        table.setSlot(tbl::kSlotMin, 10);
        table.setSlot(tbl::kSlotMax, 240);
        table.setSlot(tbl::kSlotKick, 200);
        for (int k = 0; k < tbl::kLearnedListSize; ++k)
            table.setSlot(tbl::kSlotLearnedList + k, k == 1 ? 0 : 50); // entry 1 free
        table.rebuildLearned();
        table.quickWriteHook = [this] { ++quickWrites; };
        chart.setEditModeSource([this] { return mode; });
        chart.resize(900, 600);
        chart.show();
        chart.bind();
        chart.replot();
    }
    // The pixel of point (code, value) plus a vertical offset.
    QPoint at(double code, double value, int dy = 0) const
    {
        return QPoint(qRound(chart.inputPixel(code)), qRound(chart.valuePixel(value)) + dy);
    }
    QPoint onCurve(int code, int dy = 0) const { return at(code, table.slot(code), dy); }
    // What a real double click delivers: press, release, double click, release.
    void doubleClick(const QPoint &pos)
    {
        QTest::mouseClick(&chart, Qt::LeftButton, {}, pos);
        QTest::mouseDClick(&chart, Qt::LeftButton, {}, pos);
        QTest::mouseRelease(&chart, Qt::LeftButton, {}, pos);
    }
};
} // namespace

class TestChartDashboard : public QObject {
    Q_OBJECT
private slots:
    void roundingAndSnapping()
    {
        // R ties to even; snapping takes the nearer input code, the upper at the midpoint.
        QCOMPARE(roundHalfEven(2.5), 2);
        QCOMPARE(roundHalfEven(3.5), 4);
        QCOMPARE(roundHalfEven(-2.5), -2);
        QVector<double> keys;
        for (int i = 0; i < 256; ++i)
            keys.append(i);
        QCOMPARE(ChartBase::snapToKeys(100.4, keys), 100);
        QCOMPARE(ChartBase::snapToKeys(100.5, keys), 101);
        QCOMPARE(ChartBase::snapToKeys(100.6, keys), 101);
        QCOMPARE(ChartBase::snapToKeys(-7, keys), 0);
        QCOMPARE(ChartBase::snapToKeys(280, keys), 255);
    }

    void pressGrabsWithinFourteenPixels_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("dy");
        QTest::addColumn<bool>("grab");
        QTest::addColumn<int>("window");
        QTest::newRow("14 px below") << 100 << 14 << true << 100;
        QTest::newRow("14 px above") << 100 << -14 << true << 100;
        QTest::newRow("15 px below: zoom") << 100 << 15 << false << 100;
        QTest::newRow("15 px above: zoom") << 100 << -15 << false << 100;
        // The window goes to the nearest learned point when it is 9 codes or nearer.
        QTest::newRow("learned point 9 away") << 59 << 0 << true << 50;
        QTest::newRow("learned point 10 away") << 60 << 0 << true << 60;
        QTest::newRow("tie between 10 and 50: the lower") << 30 << 0 << true << 30;
        QTest::newRow("on a learned point") << 50 << 0 << true << 50;
    }
    void pressGrabsWithinFourteenPixels()
    {
        QFETCH(int, code);
        QFETCH(int, dy);
        QFETCH(bool, grab);
        QFETCH(int, window);
        Fixture f;
        QTest::mousePress(&f.chart, Qt::LeftButton, {}, f.onCurve(code, dy));
        QCOMPARE(f.chart.grabbed(), grab);
        QCOMPARE(f.requests.records, (QList<QPair<bool, int>>{{false, window}}));
        QTest::mouseRelease(&f.chart, Qt::LeftButton, {}, f.onCurve(code, dy));
        QCOMPARE(f.quickWrites, 0); // nothing moved
    }

    void nearestLearnedPoint()
    {
        Fixture f;
        QCOMPARE(f.chart.nearestLearned(50), std::optional<int>(50));
        QCOMPARE(f.chart.nearestLearned(30), std::optional<int>(10)); // tie: the lower
        QCOMPARE(f.chart.nearestLearned(31), std::optional<int>(50));
        QCOMPARE(f.chart.nearestLearned(255), std::optional<int>(240));
        f.table.learnedValues().fill(-1);
        QCOMPARE(f.chart.nearestLearned(100), std::optional<int>());
    }

    void dragMovesTheNearestLearnedPoint_data()
    {
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("moves");
        QTest::newRow("3 codes away: the point follows") << 53 << true;
        QTest::newRow("4 codes away: still") << 54 << true;
        // The curve already lies on its learned points: nothing changes, nothing is sent.
        QTest::newRow("5 codes away: only re-interpolates") << 55 << false;
    }
    void dragMovesTheNearestLearnedPoint()
    {
        QFETCH(int, to);
        QFETCH(bool, moves);
        Fixture f;
        QTest::mousePress(&f.chart, Qt::LeftButton, {}, f.onCurve(52));
        QVERIFY(f.chart.grabbed());
        QTest::mouseMove(&f.chart, f.at(to, 80));
        QCOMPARE(f.table.slot(50), moves ? 80 : 50);
        QCOMPARE(f.table.learnedValues()[50], moves ? 80 : 50);
        // Learned interpolation runs either way: 51 lies between 50 and 200.
        const double expected51 = moves ? 80 + (200 - 80) / 150.0 : 51;
        QVERIFY(std::abs(f.table.slot(51) - expected51) <= 1);
        QTest::mouseRelease(&f.chart, Qt::LeftButton, {}, f.at(to, 80));
        QCOMPARE(f.quickWrites, moves ? 1 : 0);
    }

    void dragFromAZoomPressEditsNothing()
    {
        Fixture f;
        const QPoint from = f.onCurve(100, 40);
        const double left = f.chart.xAxis->pixelToCoord(from.x()), right = f.chart.xAxis->pixelToCoord(from.x() + 150);
        QTest::mousePress(&f.chart, Qt::LeftButton, {}, from);
        QVERIFY(!f.chart.grabbed());
        QTest::mouseMove(&f.chart, from + QPoint(150, 100));
        QTest::mouseRelease(&f.chart, Qt::LeftButton, {}, from + QPoint(150, 100));
        QCOMPARE(f.table.slot(100), 100);
        QCOMPARE(f.quickWrites, 0);
        // Dragging right and down zooms, animated; undo zoom restores the axes.
        QTRY_VERIFY(!f.chart.zoomAnimating());
        QVERIFY(f.chart.zoomed());
        QVERIFY(std::abs(f.chart.xAxis->range().lower - left) < 3 && std::abs(f.chart.xAxis->range().upper - right) < 3);
        f.chart.undoZoom();
        QCOMPARE(f.chart.xAxis->range(), QCPRange(0, 300));
        QCOMPARE(f.chart.yAxis->range(), QCPRange(-30, 300));
        // Up and left does not zoom out.
        QTest::mousePress(&f.chart, Qt::LeftButton, {}, from);
        QTest::mouseMove(&f.chart, from - QPoint(100, 80));
        QTest::mouseRelease(&f.chart, Qt::LeftButton, {}, from - QPoint(100, 80));
        QVERIFY(!f.chart.zoomAnimating());
        QVERIFY(!f.chart.zoomed());
    }

    void hoverSetsTheCursor()
    {
        Fixture f;
        QTest::mouseMove(&f.chart, f.at(120, 30));
        QCOMPARE(f.chart.cursor(), QPoint(120, 30));
        // Near the curve and a learned point less than 10 codes away: the cursor jumps to it.
        QTest::mouseMove(&f.chart, f.onCurve(56, 5));
        QCOMPARE(f.chart.cursor(), QPoint(50, 50));
        QTest::mouseMove(&f.chart, QPoint(2, 2));
        QCOMPARE(f.chart.cursor(), QPoint());
    }

    // The legend stands beside the plot and the cursor's boxes inside it, so
    // neither covers a curve's live point nor an axis number.
    void legendAndCursorBoxesLeaveTheNumbersReadable()
    {
        Fixture f;
        const QRect plot = f.chart.axisRect()->rect();
        const QRect legend = f.chart.legend->outerRect();
        QVERIFY(f.chart.rect().contains(legend));
        QVERIFY(!legend.intersects(plot));
        for (const QPoint &at : {f.at(8, 20), f.at(250, 290), f.at(128, 128)}) {
            QTest::mouseMove(&f.chart, at);
            QVERIFY(!f.chart.cursor().isNull());
            f.chart.replot();
            for (int i = 0; i < f.chart.itemCount(); ++i) {
                auto *box = qobject_cast<QCPItemText *>(f.chart.item(i));
                if (!box || !box->visible())
                    continue;
                const QRectF r(box->topLeft->pixelPosition(), box->bottomRight->pixelPosition());
                QVERIFY2(QRectF(plot).adjusted(-1, -1, 1, 1).contains(r), qPrintable(box->text()));
            }
        }
    }

    void doubleClickByEditMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("kick");
        QTest::addColumn<bool>("clear");
        QTest::addColumn<int>("point250"); // output of the last points after the limits
        QTest::addColumn<bool>("limited");  // false: Max not above Min, the points stay
        QTest::newRow("Max") << int(EditMax) << 220 << 10 << 220 << 200 << false << 220 << true;
        QTest::newRow("Max below Kick pulls Kick down") << int(EditMax) << 150 << 10 << 150 << 150 << false << 150 << true;
        QTest::newRow("Max below Min stops at Min") << int(EditMax) << 5 << 10 << 10 << 10 << false << 250 << false;
        QTest::newRow("Min") << int(EditMin) << 30 << 30 << 240 << 200 << false << 240 << true;
        QTest::newRow("Min above Max becomes Max") << int(EditMin) << 250 << 240 << 240 << 240 << false << 250 << false;
        QTest::newRow("Kick") << int(EditKick) << 120 << 10 << 240 << 120 << false << 240 << true;
        QTest::newRow("Kick above Max stops at Max") << int(EditKick) << 245 << 10 << 240 << 240 << false << 240 << true;
    }
    void doubleClickByEditMode()
    {
        QFETCH(int, mode);
        QFETCH(int, code);
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, kick);
        QFETCH(bool, clear);
        QFETCH(int, point250);
        QFETCH(bool, limited);
        Fixture f;
        f.mode = mode;
        QSignalSpy refused(&f.chart, &ChartDashboard::limitsRefused);
        f.doubleClick(f.at(code, 0));
        QCOMPARE(f.table.byteAt(tbl::kSlotMin), min);
        QCOMPARE(f.table.byteAt(tbl::kSlotMax), max);
        QCOMPARE(f.table.byteAt(tbl::kSlotKick), kick);
        QCOMPARE(f.table.slot(250), point250);
        QCOMPARE(f.table.slot(5), limited ? f.table.slot(min) : 5);
        QCOMPARE(refused.count(), limited ? 0 : 1);
        QVERIFY(!f.requests.records.isEmpty());
        QCOMPARE(f.requests.records.last(), qMakePair(clear, code));
    }

    void doubleClickAddsThenRemovesALearnedPoint()
    {
        Fixture f;
        f.doubleClick(f.at(120, 0));
        QCOMPARE(f.requests.records.last(), qMakePair(false, 120));
        QCOMPARE(f.table.learnedValues()[120], f.table.slot(120));
        QCOMPARE(f.table.byteAt(tbl::kSlotLearnedList + 1), 120);
        f.doubleClick(f.at(120, 0));
        QCOMPARE(f.requests.records.last(), qMakePair(true, 120));
        QVERIFY(f.table.learnedValues()[120] != f.table.slot(120));
        QCOMPARE(f.table.byteAt(tbl::kSlotLearnedList + 1), 0);
        // Outside the plotting area a double click does nothing.
        const int before = f.requests.records.size();
        f.doubleClick(QPoint(2, 2));
        QCOMPARE(f.requests.records.size(), before);
    }

    void liveTickRedrawsOnlyTheLiveLayer()
    {
        Fixture f;
        const int full = f.chart.fullRedraws();
        const int live = f.chart.liveRedraws();
        TOperatingPoint point = f.table.operatingPoint();
        point.inputCode = 70;
        point.outputCode = 71;
        point.auxOutput = 33;
        f.table.setOperatingPoint(point);
        QCOMPARE(f.chart.fullRedraws(), full);
        QCOMPARE(f.chart.liveRedraws(), live + 1);
        const auto convOut = f.chart.series(ChartDashboard::ConvOut)->data();
        QCOMPARE(convOut->size(), 1);
        QCOMPARE(convOut->constBegin()->key, 70.0);
        QCOMPARE(convOut->constBegin()->value, 71.0);
        QCOMPARE(f.chart.series(ChartDashboard::AuxPoint)->data()->constBegin()->value, 33.0);
        // A changed table point is a full redraw.
        f.table.editPoint(TableSeries::Tab1, 90, 20, false, false);
        QCOMPARE(f.chart.fullRedraws(), full + 1);
        QCOMPARE(f.chart.series(ChartDashboard::Main)->data()->at(90)->value, 20.0);
    }

    void learnedPointsAreMarked()
    {
        // Without the table's Trained series the learned points are still
        // marked (as dots, not joined), so what autotuning stored shows.
        Fixture f;
        const auto learned = f.chart.series(ChartDashboard::Learned);
        QList<double> codes;
        for (auto it = learned->data()->constBegin(); it != learned->data()->constEnd(); ++it)
            codes.append(it->key);
        QCOMPARE(codes, (QList<double>{0, 10, 50, 200, 240}));
        QCOMPARE(learned->lineStyle(), QCPGraph::lsNone);
        QCOMPARE(learned->scatterStyle().shape(), QCPScatterStyle::ssCircle);
    }

    void seriesAndLayout()
    {
        Fixture f;
        QCOMPARE(f.chart.seriesCount(), int(ChartDashboard::SeriesCount));
        QCOMPARE(f.chart.seriesTitle(ChartDashboard::XCursor), QStringLiteral("XCoursour"));
        QCOMPARE(f.chart.legend->itemCount(), 7); // MAIN, Int.Points, Main Out, AUX, Aux OUT, Idle SW, Full SW
        QVERIFY(!f.chart.series(ChartDashboard::MaxMaf)->visible());
        QCOMPARE(f.chart.middleColour(), QColor(237, 240, 108));
        f.chart.setDashboardColour(255);
        QCOMPARE(f.chart.middleColour(), QColor(255, 0, 0));
        // Window lines are vertical from 0 to 255.
        f.table.setLiveCorrection(0, 40, 60);
        const auto end = f.chart.series(ChartDashboard::MafEnd)->data();
        QCOMPARE(end->size(), 2);
        QCOMPARE(end->at(0)->key, 60.0);
        QCOMPARE(end->at(1)->value, 255.0);
    }
};

QTEST_MAIN(TestChartDashboard)
#include "tst_chart_dashboard.moc"
