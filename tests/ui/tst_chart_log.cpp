// The log chart over a real Log: decimation, the view history with zoom,
// undo zoom, pan and the wheel, editing the "Tab" curve, hints and the
// series buttons.
#include <QtTest>

#include <QTemporaryDir>
#include <QToolButton>

#include "link/Rxtx.h"
#include "link/Ziravbroadcaster.h"
#include "log/Log_iat_ect_corr.h"
#include "table/Table_iat_ect_corr.h"
#include "throttle/TpsCalibration.h"
#include "ui/ChartLog.h"

namespace {
struct Fixture {
    TZiravBroadcaster broadcaster;
    TRXTX channel{broadcaster};
    TTpsCalibration tps;
    Table table;
    Log log{tps, channel, broadcaster};
    ChartLog chart;
    QTemporaryDir dir;

    // n records, MAF rising from 0 to 255 and again, loaded as from a file.
    explicit Fixture(int n)
    {
        table.setUpTableView(nullptr, true, false, nullptr);
        for (int i = 0; i < 256; ++i)
            table.setSlot(i, i);
        log.setUpView(chart.bindLog(log), &table);
        for (int i = 0; i < n; ++i) {
            TLogRecord r{};
            r[ColMaf] = i % 256;
            r[ColO2] = 100 + i % 7;
            r[ColConverter] = 50;
            log.addRecord(r);
        }
        const QString file = dir.filePath(QStringLiteral("run.log"));
        if (n > 0) {
            log.saveToFile(file);
            log.loadFromFile(file);
        }
        chart.resize(760, 520);
        chart.show();
        chart.replot();
    }
    int drawn() const { return chart.series(ChartLog::Maf)->data()->size(); }
    QPoint at(int record, double value) const
    {
        return QPoint(qRound(chart.inputPixel(record * 10.0)), qRound(chart.valuePixel(value)));
    }
    // A move with a button held, delivered as the window system does.
    void moveHolding(const QPoint &pos, Qt::MouseButtons held)
    {
        QMouseEvent e(QEvent::MouseMove, pos, chart.mapToGlobal(pos), Qt::NoButton, held, Qt::NoModifier);
        QApplication::sendEvent(&chart, &e);
    }
    void wheel(const QPoint &pos, int delta)
    {
        QWheelEvent e(pos, chart.mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(&chart, &e);
    }
};
} // namespace

class TestChartLog : public QObject {
    Q_OBJECT
private slots:
    void drawnFrom118Records_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<bool>("drawn");
        QTest::newRow("117") << 117 << false;
        QTest::newRow("118") << 118 << true;
    }
    void drawnFrom118Records()
    {
        QFETCH(int, records);
        QFETCH(bool, drawn);
        Fixture f(records);
        QCOMPARE(f.drawn() > 0, drawn);
    }

    void fullViewDecimationAndAxes()
    {
        Fixture f(50000);
        QCOMPARE(f.log.decimationStep(), 116);
        QCOMPARE(f.log.resolutionText(), QStringLiteral("1.16s"));
        QCOMPARE(f.chart.seriesCount(), 17);
        // Every 116th record from the first visible one, one step beyond each end at most.
        const auto data = f.chart.series(ChartLog::Maf)->data();
        QCOMPARE(data->at(1)->key - data->at(0)->key, 1160.0);
        QCOMPARE(f.chart.xAxis->range().lower, 0.0);
        QCOMPARE(f.chart.xAxis->range().upper, f.log.visibleLast() * 10.0);
        QCOMPARE(f.chart.yAxis->range(), QCPRange(-30, 300));
        // The "Tab" curve is the table's point for each record's MAF code.
        QCOMPARE(f.chart.series(ChartLog::Tab)->data()->at(3)->value, double(f.table.slot((3 * 116) % 256)));
        // Horizontal lines: two points across the drawn records.
        QCOMPARE(f.chart.series(ChartLog::MaxMafInLog)->data()->size(), 2);
        QCOMPARE(f.chart.series(ChartLog::MaxMafInLog)->data()->at(0)->value, 255.0);
    }

    // Zooming into 1000 records gives step 2; undo zoom returns to the full
    // view once and then does nothing.
    void zoomHistory()
    {
        Fixture f(50000);
        QCOMPARE(f.log.viewHistory().size(), size_t(1));
        f.chart.zoomToRecords(10000, 11000);
        QCOMPARE(f.log.decimationStep(), 2);
        QCOMPARE(f.log.resolutionText(), QStringLiteral("0.02s"));
        QCOMPARE(f.log.viewHistory().size(), size_t(2));
        QCOMPARE(f.chart.series(ChartLog::Maf)->data()->at(0)->key, (10000 - 2) * 10.0);
        f.chart.undoZoom();
        QCOMPARE(f.log.viewHistory().size(), size_t(1));
        QCOMPARE(f.log.decimationStep(), 116);
        QCOMPARE(f.log.visibleFirst(), 0);
        QCOMPARE(f.chart.xAxis->range().upper, (50000 - 1) * 10.0);
        const QCPRange before = f.chart.xAxis->range();
        f.chart.undoZoom();
        QCOMPARE(f.log.viewHistory().size(), size_t(1));
        QCOMPARE(f.chart.xAxis->range(), before);
    }

    void zoomByMouseAndPan()
    {
        Fixture f(20000);
        // A rectangle dragged right and down zooms and records the view.
        QTest::mousePress(&f.chart, Qt::LeftButton, {}, f.at(5000, 280));
        QTest::mouseMove(&f.chart, f.at(9000, 150));
        QTest::mouseRelease(&f.chart, Qt::LeftButton, {}, f.at(9000, 150));
        QTRY_COMPARE(f.log.viewHistory().size(), size_t(2));
        QVERIFY(qAbs(f.log.visibleFirst() - 5000) < 60);
        QVERIFY(qAbs(f.log.visibleLast() - 9000) < 60);
        f.chart.zoomToRecords(6000, 7000);
        QCOMPARE(f.log.viewHistory().size(), size_t(3));
        const TZoomBufer middle = f.log.viewHistory()[1];

        // The other button pans: the view moves, and the view undo zoom goes
        // back to is re-centred on it with its width kept.
        const QPoint from = f.at(6500, 200); // inside the zoomed value range
        QTest::mousePress(&f.chart, Qt::RightButton, {}, from);
        f.moveHolding(from - QPoint(100, 0), Qt::RightButton);
        f.moveHolding(from - QPoint(200, 0), Qt::RightButton);
        QTest::mouseRelease(&f.chart, Qt::RightButton, {}, from - QPoint(200, 0));
        QVERIFY(f.log.visibleFirst() > 6100);
        const TZoomBufer recentred = f.log.viewHistory()[1];
        QCOMPARE(recentred.last - recentred.first, middle.last - middle.first);
        QVERIFY(qAbs((recentred.first + recentred.last) / 2 - (f.log.visibleFirst() + f.log.visibleLast()) / 2) <= 1);
        f.chart.undoZoom();
        QCOMPARE(f.log.visibleFirst(), recentred.first);
        QCOMPARE(f.log.visibleLast(), recentred.last);
    }

    // The wheel zooms the time axis around the pointer; undo zoom steps back.
    void wheelZoomsAroundThePointer()
    {
        Fixture f(20000);
        const QPoint pos = f.at(15000, 100);
        const double timeUnder = f.chart.xAxis->pixelToCoord(pos.x());
        const double span = f.chart.xAxis->range().size();
        f.wheel(pos, 120);
        QVERIFY(qAbs(f.chart.xAxis->range().size() - span * ChartLog::kWheelFactor) < 1);
        QVERIFY(qAbs(f.chart.xAxis->pixelToCoord(pos.x()) - timeUnder) < 10);
        QCOMPARE(f.log.viewHistory().size(), size_t(2));
        QCOMPARE(f.log.decimationStep(), (f.log.visibleLast() - f.log.visibleFirst()) / 430);
        f.wheel(pos, -120);
        QVERIFY(f.chart.xAxis->range().size() > span * 0.99);
        f.chart.undoZoom();
        f.chart.undoZoom();
        QCOMPARE(f.log.viewHistory().size(), size_t(1));
        QCOMPARE(f.chart.xAxis->range().upper, (20000 - 1) * 10.0); // the full view holds every record
    }

    // A press with Alt (the "+Alt" button) sets the table's point for the
    // record's MAF code, but only above the MAF limit.
    void editTabCurve_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>("edited");
        QTest::newRow("above the limit") << 100 << true;
        QTest::newRow("at the limit") << 200 << false;
    }
    void editTabCurve()
    {
        QFETCH(int, limit);
        QFETCH(bool, edited);
        Fixture f(2000);
        f.log.setMafLimit(limit);
        f.chart.zoomToRecords(1000, 1300); // step 1: every record drawn
        f.chart.altButton()->setChecked(true);
        QSignalSpy spy(&f.chart, &ChartLog::tableEdited);
        // Record 1224 holds MAF 200 (1224 % 256).
        QTest::mouseClick(&f.chart, Qt::LeftButton, {}, f.at(1224, 90));
        QCOMPARE(f.table.slot(200), edited ? 90 : 200);
        QCOMPARE(spy.count(), edited ? 1 : 0);
        QCOMPARE(f.log.viewHistory().size(), size_t(2)); // an edit is no zoom
        // Without Alt, a press 4 px off the curve edits as well, 6 px off zooms.
        f.chart.altButton()->setChecked(false);
        f.table.setSlot(200, 200);
        f.log.redraw();
        const QPoint onCurve = f.at(1224, 200);
        QTest::mouseClick(&f.chart, Qt::LeftButton, {}, onCurve + QPoint(0, 4));
        QCOMPARE(f.table.slot(200) != 200, edited);
        f.table.setSlot(200, 200);
        f.log.redraw();
        QTest::mouseClick(&f.chart, Qt::LeftButton, {}, onCurve + QPoint(0, 6));
        QCOMPARE(f.table.slot(200), 200);
    }

    // "+Shift" (or Shift held) makes the edited points anchors that the
    // points between them follow; without it each edit stands alone.
    void shiftEditsAnchors_data()
    {
        QTest::addColumn<int>("shift"); // 0 none, 1 the "+Shift" button, 2 the Shift key
        QTest::newRow("no Shift") << 0;
        QTest::newRow("+Shift button") << 1;
        QTest::newRow("Shift key") << 2;
    }
    void shiftEditsAnchors()
    {
        QFETCH(int, shift);
        Fixture f(2000);
        f.log.setMafLimit(100);
        f.chart.zoomToRecords(1000, 1300);
        f.chart.altButton()->setChecked(true);
        f.chart.shiftButton()->setChecked(shift == 1);
        const Qt::KeyboardModifiers mods = shift == 2 ? Qt::ShiftModifier : Qt::NoModifier;
        // Records 1214 and 1234 hold MAF 190 and 210.
        QTest::mouseClick(&f.chart, Qt::LeftButton, mods, f.at(1214, 150));
        QTest::mouseClick(&f.chart, Qt::LeftButton, mods, f.at(1234, 170));
        QCOMPARE(f.table.slot(190), 150);
        QCOMPARE(f.table.slot(210), 170);
        QCOMPARE(f.table.slot(200), shift ? 160 : 200);
        QCOMPARE(f.table.slot(189), 189); // outside the anchors nothing moves
        QCOMPARE(f.table.slot(211), 211);
    }

    void seriesButtonsAndHint()
    {
        Fixture f(2000);
        QVERIFY(!f.chart.series(ChartLog::Tps)->visible());
        QVERIFY(!f.chart.toggleButton(ChartLog::Tps)->isChecked());
        QVERIFY(f.chart.toggleButton(ChartLog::Rpm)->isChecked());
        QCOMPARE(f.chart.toggleButton(ChartLog::Rpm)->text(), QStringLiteral("RPM/100"));
        QCOMPARE(f.chart.markersButton()->text(), QStringLiteral("*****"));
        QTest::mouseMove(&f.chart, QPoint(f.chart.width() - 30, 20));
        QVERIFY(f.chart.buttonsShown());
        f.chart.toggleButton(ChartLog::Tps)->click();
        QVERIFY(f.chart.series(ChartLog::Tps)->visible());
        f.chart.toggleButton(ChartLog::Converter)->click();
        QVERIFY(!f.chart.series(ChartLog::Converter)->visible());
        QTest::mouseMove(&f.chart, QPoint(f.chart.width() - 200, 20));
        QVERIFY(!f.chart.buttonsShown());

        f.chart.zoomToRecords(1000, 1300);
        QTest::mouseMove(&f.chart, f.at(1224, 200));
        QCOMPARE(f.chart.hint(), QStringLiteral("MAF=200\nO2=%1\n0.01s").arg(100 + 1224 % 7));
        // Leaving the chart takes the hint away.
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&f.chart, &leave);
        QVERIFY(f.chart.hint().isEmpty());
        // A press tells the value of the point under it (the O2 series here).
        const int o2 = 100 + 1224 % 7;
        QTest::mousePress(&f.chart, Qt::RightButton, {}, f.at(1224, o2));
        QCOMPARE(f.chart.hint(), QStringLiteral("%1  0.01s").arg(o2));
        QTest::mouseRelease(&f.chart, Qt::RightButton, {}, f.at(1224, o2));
    }
};

QTEST_MAIN(TestChartLog)
#include "tst_chart_log.moc"
