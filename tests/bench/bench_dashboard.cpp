// Dashboard benchmark, offscreen: the cost of one live tick's dashboard
// update (record to gauges, labels and title, operating point to the chart,
// and the repaint that follows) as median and 99th percentile; then the demo
// unit streaming with the dashboard page shown, as the whole process's share
// of one core. TARVIX_BENCH_STREAM_S sets the streaming time (default 60 s,
// 0 skips it).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "app/Unit1.h"
#include "link/MessageSink.h"
#include "log/Log_iat_ect_corr.h"
#include "sim/Emulator.h"
#include "table/Table_iat_ect_corr.h"
#include "ui/ChartDashboard.h"

namespace {
using Clock = std::chrono::steady_clock;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}
} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RecordingSink sink;
    ScopedMessageSink scoped(&sink);
    QTemporaryDir work;
    QDir::setCurrent(work.path());

    TForm1 form;
    form.resize(1366, 740);
    form.MainPageControl->setCurrentWidget(form.DashboardTabSheet);
    form.show();
    QApplication::processEvents();
    Table &table = *form.mainTable();
    for (int i = 0; i < 256; ++i)
        table.setSlot(i, i);
    table.refresh();
    QApplication::processEvents();

    // One tick: what the log's live tick hands the window and the table.
    const int ticks = 2000;
    std::vector<double> ms, paintMs;
    ms.reserve(ticks);
    paintMs.reserve(ticks);
    const int fullBefore = form.dashboardChart->fullRedraws();
    for (int t = 0; t < ticks; ++t) {
        const int maf = 20 + (t * 7) % 200;
        TMsgDashData dash;
        dash.converter = maf;
        dash.maf = maf;
        dash.tps = (t * 3) % 256;
        dash.slot0 = (t / 20) & 3; // switches change now and then, not every tick
        dash.slot1 = (t * 5) % 256;
        dash.auxOut = (t * 11) % 256;
        dash.marker = (t % 10) ? 0 : 128;
        dash.tpsText = QStringLiteral("%1N2.5V").arg(dash.tps);
        dash.rpm = 800 + (t * 37) % 6000;
        dash.o2 = (t * 13) % 256;
        dash.o2Text = QStringLiteral("0.%1V").arg(t % 10);
        dash.o2Colour = (t % 2) ? 0x00DD00 : 0xFF8000;
        dash.o2Gauge = dash.o2;
        const auto start = Clock::now();
        form.broadcaster()->broadcast(dash);
        TOperatingPoint point = table.operatingPoint();
        point.inputCode = maf;
        point.outputCode = maf;
        point.auxOutput = dash.auxOut;
        table.setOperatingPoint(point);
        const auto painted = Clock::now();
        QApplication::sendPostedEvents();
        QApplication::processEvents();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        paintMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - painted).count());
    }
    std::printf("%-40s median %.3f ms  p99 %.3f ms  (%d ticks, %d full chart redraws)\n",
                "dashboard update per live tick", percentile(ms, 0.5), percentile(ms, 0.99), ticks,
                form.dashboardChart->fullRedraws() - fullBefore);
    std::printf("%-40s median %.3f ms  p99 %.3f ms\n", "  of which repainting", percentile(paintMs, 0.5),
                percentile(paintMs, 0.99));
    std::fflush(stdout);


    // Streaming from the built-in demo unit with the dashboard page shown.
    const int seconds = qEnvironmentVariableIsSet("TARVIX_BENCH_STREAM_S")
                            ? qEnvironmentVariableIntValue("TARVIX_BENCH_STREAM_S")
                            : 60;
    if (seconds <= 0)
        return 0;
    // TARVIX_BENCH_PAGE=main streams with the main page shown instead, for comparison.
    const bool dashboardShown = qgetenv("TARVIX_BENCH_PAGE") != "main";
    form.choosePort(QString::fromLatin1(TForm1::kDemoUnitEntry));
    form.MainPageControl->setCurrentWidget(dashboardShown ? form.DashboardTabSheet : form.MainTabSheet);
    form.ActionStart->trigger();
    if (!form.log()->recording()) {
        std::printf("streaming: live data did not start\n");
        return 1;
    }
    auto runFor = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    runFor(1000);
    const int recordsBefore = form.log()->count();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    const double cpu = cpuSeconds() - cpuBefore;
    const double elapsed = double(wall.elapsed()) / 1000.0;
    const int records = form.log()->count() - recordsBefore;
    form.ActionStop->trigger();
    // The port chooser must not hold the focus while the window goes away:
    // its editor would report a choice to a window being destroyed.
    form.dashboardChart->setFocus();
    QApplication::processEvents();
    std::printf("%-40s %.2f %% of one core over %.0f s (%d records, %d full chart redraws)\n",
                dashboardShown ? "streaming with the dashboard shown" : "streaming with the main page shown", 100.0 * cpu / elapsed, elapsed, records,
                form.dashboardChart->fullRedraws());
    return 0;
}
