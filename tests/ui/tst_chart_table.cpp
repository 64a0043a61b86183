// The table chart and the comparison view under real mouse events: grabbing
// at 4 pixels and not at 5, snapping of the input and rounding of the value,
// the Shift, Alt and Ctrl rules through the latched buttons, double click,
// hints, the series buttons and undo zoom.
#include <QtTest>

#include <QPushButton>
#include <QToolButton>

#include "table/TableCommon.h"
#include "table/Table_iat_ect_corr.h"
#include "ui/ChartTableGraph.h"

namespace {
// A rising table (point i outputs i) on a shown chart; optionally the
// comparison view with image 2 falling.
struct Fixture {
    Table table;
    ChartTableGraph chart;

    explicit Fixture(bool compare = false)
    {
        chart.resize(760, 520); // inside the offscreen screen, so every pointer position arrives
        // The converter family: the temperature corrections are drawn and edited.
        table.setTemperatureCorrections(true);
        table.setUpTableView(chart.bindTable(table, !compare), !compare, false, nullptr);
        if (compare) {
            table.setUpSecondImage(nullptr);
            chart.addSecondImage();
        }
        for (int i = 0; i < 256; ++i) {
            table.setSlot(i, i);
            table.image(2)[size_t(i)] = 255 - i;
        }
        table.refresh();
        chart.show();
        chart.replot();
    }
    QPoint at(double code, double value, int dy = 0) const
    {
        return QPoint(qRound(chart.inputPixel(code)), qRound(chart.valuePixel(value)) + dy);
    }
    QVector<int> points(int which = 1) const
    {
        QVector<int> v;
        for (int i = 0; i < 256; ++i)
            v.append(table.image(which)[size_t(i)]);
        return v;
    }
    void doubleClick(const QPoint &pos)
    {
        QTest::mouseClick(&chart, Qt::LeftButton, {}, pos);
        QTest::mouseDClick(&chart, Qt::LeftButton, {}, pos);
        QTest::mouseRelease(&chart, Qt::LeftButton, {}, pos);
    }
    void drag(const QPoint &from, const QPoint &to)
    {
        QTest::mousePress(&chart, Qt::LeftButton, {}, from);
        QTest::mouseMove(&chart, to);
        QTest::mouseRelease(&chart, Qt::LeftButton, {}, to);
    }
};
} // namespace

class TestChartTable : public QObject {
    Q_OBJECT
private slots:
    void grabWithinFourPixels_data()
    {
        QTest::addColumn<QString>("series");
        QTest::addColumn<int>("dy");
        QTest::addColumn<bool>("grab");
        QTest::newRow("Tab1 4 px above") << "Tab1" << -4 << true;
        QTest::newRow("Tab1 4 px below") << "Tab1" << 4 << true;
        QTest::newRow("Tab1 5 px above: zoom") << "Tab1" << -5 << false;
        QTest::newRow("Tab1 5 px below: zoom") << "Tab1" << 5 << false;
        QTest::newRow("IATCorr 3 px above") << "IATCorr" << -3 << true;
        QTest::newRow("Trained on the point: never grabbed") << "Trained" << 0 << false;
    }
    // A grabbed point follows the pointer vertically and nothing else
    // changes; a press that grabs nothing zooms and edits nothing.
    void grabWithinFourPixels()
    {
        QFETCH(QString, series);
        QFETCH(int, dy);
        QFETCH(bool, grab);
        Fixture f;
        const int index = tableSeriesFromTitle(series) == TableSeries::IATCorr ? ChartTableGraph::IATCorr
                          : series == "Trained"                                 ? ChartTableGraph::Trained
                                                                                : ChartTableGraph::Tab1;
        f.chart.selectSeries(index);
        if (index == ChartTableGraph::Trained)
            f.table.learnedValues()[100] = 100;
        f.table.refresh();
        f.chart.replot();
        const int code = 100;
        const int value = index == ChartTableGraph::IATCorr ? 0 : 100;
        const QVector<int> before = f.points();
        const TImage image = f.table.image(1);
        QTest::mousePress(&f.chart, Qt::LeftButton, {}, f.at(code, value, dy));
        QCOMPARE(f.chart.grabbed(), grab);
        // Right and down: a zoom unless the point was grabbed.
        QTest::mouseMove(&f.chart, f.at(code + 10, value - 20));
        QTest::mouseRelease(&f.chart, Qt::LeftButton, {}, f.at(code + 10, value - 20));
        TImage expected = image;
        if (grab)
            expected[size_t(index == ChartTableGraph::IATCorr ? tbl::kIatBase + code / 4 : code)] = value - 20;
        QCOMPARE(f.table.image(1), expected);
        if (!grab && index == ChartTableGraph::Tab1) {
            QTRY_VERIFY(!f.chart.zoomAnimating());
            QVERIFY(f.chart.zoomed());
        }
    }

    // Double click: the nearest input code and the value rounded half to even.
    void doubleClickSnapsAndRounds_data()
    {
        QTest::addColumn<double>("input");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("stored");
        QTest::newRow("100.4 -> 100") << 100.4 << 150.5 << 100 << 150;
        QTest::newRow("100.6 -> 101") << 100.6 << 150.5 << 101 << 150;
        QTest::newRow("120.5 -> 120") << 110.0 << 120.5 << 110 << 120;
        QTest::newRow("121.5 -> 122") << 110.0 << 121.5 << 110 << 122;
    }
    void doubleClickSnapsAndRounds()
    {
        QFETCH(double, input);
        QFETCH(double, value);
        QFETCH(int, code);
        QFETCH(int, stored);
        Fixture f;
        // One pixel per value, starting at a half, so that the pixel of
        // value lands exactly on it; the zoomed mapping is the one used.
        const int h = f.chart.axisRect()->height();
        const double lower = std::floor(value) + 0.5 - 40;
        f.chart.yAxis->setRange(lower, lower + h);
        f.chart.xAxis->setRange(90, 130);
        f.chart.replot();
        QCOMPARE(f.chart.valueAt(f.at(input, value)), value);
        const QVector<int> before = f.points();
        const QPoint pos = f.at(input, value);
        QTest::mouseClick(&f.chart, Qt::LeftButton, {}, pos);
        QTest::mouseDClick(&f.chart, Qt::LeftButton, {}, pos);
        QVector<int> expected = before;
        expected[code] = stored;
        QCOMPARE(f.points(), expected);
        QCOMPARE(f.chart.hint(), QStringLiteral("MAF=%1  OUT=%2").arg(code).arg(stored));
        QTest::mouseRelease(&f.chart, Qt::LeftButton, {}, pos);
        QCOMPARE(f.chart.hint(), QString());
        // The press is forgotten: a double click without a new press edits nothing.
        const int snapshots = f.table.history().count();
        QMouseEvent again(QEvent::MouseButtonDblClick, f.at(input + 5, value), f.chart.mapToGlobal(f.at(input + 5, value)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&f.chart, &again);
        QCOMPARE(f.points(), expected);
        QCOMPARE(f.table.history().count(), snapshots);
    }

    // Shift makes every edit an anchor and interpolates between anchors;
    // Ctrl extrapolates as well; an edit without Shift forgets the anchors.
    void latchedModifiers_data()
    {
        QTest::addColumn<bool>("shift");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<int>("at15");
        QTest::addColumn<int>("at30");
        QTest::newRow("none") << false << false << 15 << 30;
        QTest::newRow("+Shift") << true << false << 30 << 30;
        QTest::newRow("+Shift +Ctrl") << true << true << 30 << 60;
    }
    void latchedModifiers()
    {
        QFETCH(bool, shift);
        QFETCH(bool, ctrl);
        QFETCH(int, at15);
        QFETCH(int, at30);
        Fixture f;
        f.chart.shiftButton()->setChecked(shift);
        f.chart.ctrlButton()->setChecked(ctrl);
        f.doubleClick(f.at(10, 20));
        f.doubleClick(f.at(20, 40));
        QCOMPARE(f.table.slot(15), at15);
        QCOMPARE(f.table.slot(30), at30);
        QCOMPARE(f.table.marks(1)[10], shift ? 255 : 0);
        // Releasing the latch (as a page change does) forgets the anchors at the next edit.
        f.chart.releaseLatched();
        QVERIFY(!f.chart.shiftButton()->isChecked() && !f.chart.ctrlButton()->isChecked());
        f.doubleClick(f.at(200, 100));
        QCOMPARE(f.table.marks(1)[10], 0);
    }

    // Alt: a press anywhere edits instead of zooming, on any series, at the
    // input code of the press; in the comparison view this is image 2.
    void altEditsTab2AtThePressCode()
    {
        Fixture f(true);
        f.chart.selectSeries(ChartTableGraph::Tab2);
        f.chart.altButton()->setChecked(true);
        const QVector<int> image1 = f.points(1);
        const QVector<int> before = f.points(2);
        f.drag(f.at(60, 30), f.at(90, 120));
        QVector<int> expected = before;
        expected[60] = 120;
        QCOMPARE(f.points(2), expected);
        QCOMPARE(f.points(1), image1);
        QVERIFY(!f.chart.zoomed());
        // Without Alt, Tab2 cannot be grabbed: the same press zooms.
        f.chart.altButton()->setChecked(false);
        QTest::mousePress(&f.chart, Qt::LeftButton, {}, f.at(60, 120));
        QVERIFY(!f.chart.grabbed());
        QTest::mouseRelease(&f.chart, Qt::LeftButton, {}, f.at(60, 120));
    }

    void compareViewSeries()
    {
        Fixture f(true);
        QCOMPARE(f.chart.seriesCount(), 9);
        QCOMPARE(f.chart.middleColour(), QColor(237, 240, 108));
        QVERIFY(!f.chart.series(ChartTableGraph::Trained)->visible());
        auto values = [&f](int s) {
            QVector<double> v;
            for (auto it = f.chart.series(s)->data()->constBegin(); it != f.chart.series(s)->data()->constEnd(); ++it)
                v.append(it->value);
            return v;
        };
        QCOMPARE(values(ChartTableGraph::Tab2).first(), 255.0);
        QCOMPARE(values(ChartTableGraph::Tab2).last(), 0.0);
        f.table.image(2)[size_t(tbl::kIatBase + 2)] = 253; // -3
        f.table.refresh();
        QCOMPARE(values(ChartTableGraph::IATCorr2).at(2), -3.0);
        QCOMPARE(f.chart.series(ChartTableGraph::IATCorr2)->data()->at(2)->key, 8.0);
        for (int s : {int(ChartTableGraph::MaxMaf), int(ChartTableGraph::MaxMafAnyway)}) {
            const auto data = f.chart.series(s)->data();
            QCOMPARE(data->size(), 2);
            QCOMPARE(data->at(0)->key, data->at(1)->key);
        }
        // Tab2, IATCorr2, ECTCorr2 sit directly below ECTCorr; Trained's button is never shown.
        QCOMPARE(f.chart.seriesButton(ChartTableGraph::Tab2)->y(), 33 * 4 - 25);
        QCOMPARE(f.chart.seriesButton(ChartTableGraph::ECTCorr)->y(), 33 * 2 + 8);
        QTest::mouseMove(&f.chart, QPoint(f.chart.width() - 40, 20));
        QVERIFY(f.chart.seriesButtonsShown());
        QVERIFY(f.chart.seriesButton(ChartTableGraph::Tab2)->isVisible());
        QVERIFY(!f.chart.seriesButton(ChartTableGraph::Trained)->isVisible());
        QTest::mouseMove(&f.chart, QPoint(f.chart.width() - 120, 20));
        QVERIFY(!f.chart.seriesButtonsShown());
    }

    void hintsAndUndoZoom()
    {
        Fixture f;
        f.table.setSlot(tbl::kIatBase + 10, -4);
        f.table.refresh();
        f.chart.replot();
        QTest::mouseMove(&f.chart, f.at(40, -4));
        QCOMPARE(f.chart.hint(), QStringLiteral("IAT=40  IATCorr=-4"));
        QTest::mouseMove(&f.chart, f.at(180, 180));
        QCOMPARE(f.chart.hint(), QStringLiteral("MAF=180  OUT=180"));
        QTest::mouseMove(&f.chart, f.at(180, 250));
        QCOMPARE(f.chart.hint(), QString());

        f.drag(f.at(50, 150), f.at(120, 60));
        QTRY_VERIFY(!f.chart.zoomAnimating());
        QVERIFY(f.chart.zoomed());
        f.chart.undoZoom();
        QCOMPARE(f.chart.xAxis->range(), QCPRange(0, 300));
        QCOMPARE(f.chart.yAxis->range(), QCPRange(-30, 300));
    }

    // "+/-" swaps the buttons: the right button zooms and the left one scrolls.
    void zoomMoveSwap()
    {
        Fixture f;
        QToolButton *swap = f.chart.zoomMoveButton();
        QCOMPARE(swap->text(), QStringLiteral("+/-"));
        swap->click();
        QCOMPARE(swap->text(), QString::fromUtf8("←/→"));
        QTest::mousePress(&f.chart, Qt::RightButton, {}, f.at(50, 150));
        QTest::mouseMove(&f.chart, f.at(120, 60));
        QTest::mouseRelease(&f.chart, Qt::RightButton, {}, f.at(120, 60));
        QTRY_VERIFY(!f.chart.zoomAnimating());
        QVERIFY(f.chart.zoomed());
        swap->click();
        QCOMPARE(swap->text(), QStringLiteral("+/-"));
    }
};

QTEST_MAIN(TestChartTable)
#include "tst_chart_table.moc"
