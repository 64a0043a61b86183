// Chart benchmark, offscreen: the log chart's rebuild and redraw for a
// one-hour log (345,600 records: full view, then a zoomed view), and one
// drag step on the table chart (point edit with the Shift interpolation,
// undo snapshot, chart refresh and redraw), each as median and 99th
// percentile. Prints figures only.
#include <algorithm>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QToolButton>

#include "link/Rxtx.h"
#include "link/Ziravbroadcaster.h"
#include "log/Log_iat_ect_corr.h"
#include "table/Table_iat_ect_corr.h"
#include "throttle/TpsCalibration.h"
#include "ui/ChartLog.h"
#include "ui/ChartTableGraph.h"

namespace {
double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

void report(const char *what, const std::vector<double> &ms)
{
    std::printf("%-52s median %7.2f ms   p99 %7.2f ms   (%zu runs)\n", what, percentile(ms, 0.5),
                percentile(ms, 0.99), ms.size());
}

void logChart()
{
    TZiravBroadcaster broadcaster;
    TRXTX channel(broadcaster);
    TTpsCalibration tps;
    Table table;
    table.setUpTableView(nullptr, true, false, nullptr);
    Log log(tps, channel, broadcaster);
    ChartLog chart;
    log.setUpView(chart.bindLog(log), &table);
    const int n = 345600; // one hour at 100 records a second
    for (int i = 0; i < n; ++i) {
        TLogRecord r{};
        r[ColMaf] = (i / 7) % 256;
        r[ColConverter] = (i / 5) % 256;
        r[ColO2] = 100 + i % 50;
        r[ColRpmPeriod] = 2000 + i % 1000;
        r[ColCorr] = i % 61 - 30;
        log.addRecord(r);
    }
    log.prepareView();
    log.setDecimation(n - 2);
    chart.resize(1000, 600);
    chart.show();
    QCoreApplication::processEvents();

    auto measure = [&](const char *what, int runs) {
        std::vector<double> ms, series;
        for (int k = 0; k < runs; ++k) {
            QElapsedTimer t;
            t.start();
            log.rebuild(log.decimationStep());
            series.push_back(double(t.nsecsElapsed()) / 1e6);
            chart.replot(QCustomPlot::rpImmediateRefresh);
            ms.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        report(what, ms);
        report("  of which filling the series", series);
    };
    measure("log chart rebuild + redraw, 345,600 records, full", 50);
    std::printf("  (step %d, %d points per series)\n", log.decimationStep(),
                chart.series(ChartLog::Maf)->data()->size());
    chart.zoomToRecords(100000, 160000);
    measure("log chart rebuild + redraw, 60,000 records in view", 50);
}

void tableDrag()
{
    Table table;
    ChartTableGraph chart;
    chart.resize(1000, 600);
    table.setUpTableView(chart.bindTable(table, true), true, false, nullptr);
    for (int i = 0; i < 256; ++i)
        table.setSlot(i, i);
    table.refresh();
    chart.show();
    chart.replot();
    QCoreApplication::processEvents();
    // Two anchors and a grabbed point between them with Shift latched:
    // every step interpolates the whole table.
    chart.shiftButton()->setChecked(true);
    table.editPoint(TableSeries::Tab1, 40, 40, true, false);
    table.editPoint(TableSeries::Tab1, 220, 220, true, false);
    const int code = 128;
    const QPoint press(qRound(chart.inputPixel(code)), qRound(chart.valuePixel(table.slot(code))));
    QMouseEvent down(QEvent::MouseButtonPress, press, chart.mapToGlobal(press), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&chart, &down);
    if (!chart.grabbed()) {
        std::printf("table chart: the point was not grabbed\n");
        return;
    }
    std::vector<double> ms;
    for (int k = 0; k < 600; ++k) {
        const QPoint at(press.x(), press.y() - 100 + (k % 200));
        QMouseEvent move(QEvent::MouseMove, at, chart.mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QElapsedTimer t;
        t.start();
        QApplication::sendEvent(&chart, &move);
        // The queued redraw belongs to the step.
        QCoreApplication::processEvents();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    report("table chart drag step (edit, interpolation, redraw)", ms);
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    logChart();
    tableDrag();
    return 0;
}
