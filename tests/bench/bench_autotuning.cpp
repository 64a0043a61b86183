// Autotuning benchmark: the demo unit's default run, in real time, from the
// window as a user runs it (Auto on, Start). Prints, once a second of the
// run and at its end, how far the table is from the demo engine's ideal
// curve over the inputs the demo drives through, and how long it took to
// halve and to quarter that distance. TARVIX_BENCH_AUTOTUNE_S sets the run's
// length (default: one pass up through the programme, about 90 s).
#include <cmath>
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QAction>

#include "app/Unit1.h"
#include "link/MessageSink.h"
#include "log/Log_iat_ect_corr.h"
#include "log/SoundPlayer.h"
#include "sim/Emulator.h"
#include "table/Table_iat_ect_corr.h"

namespace {

// Mean distance in percent of the ideal output over the driven inputs.
double distance(const Table &table, const sim::EngineModel &engine)
{
    double sum = 0;
    int n = 0;
    for (int i = 48; i <= 208; ++i, ++n) {
        const double ideal = engine.ideal[std::size_t(i)];
        sum += std::abs(table.slot(i) - ideal) * 100.0 / ideal;
    }
    return sum / n;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RecordingSink sink;
    ScopedMessageSink scoped(&sink);
    RecordingSoundPlayer sounds;
    ScopedSoundPlayer soundsInstalled(&sounds);
    QTemporaryDir work;
    QDir::setCurrent(work.path());

    const sim::EngineModel engine = sim::demoEngine();
    const int upward = 21 * (engine.rampFrames + engine.drive.front().holdFrames); // frames
    const int seconds = qEnvironmentVariableIsSet("TARVIX_BENCH_AUTOTUNE_S")
                            ? qEnvironmentVariableIntValue("TARVIX_BENCH_AUTOTUNE_S")
                            : int(std::ceil(upward * 0.0104167)) + 2;

    TForm1 form;
    form.choosePort(QString::fromLatin1(TForm1::kDemoUnitEntry));
    const Table &table = *form.mainTable();
    QElapsedTimer wait;
    wait.start();
    while (!form.demoUnit() || !form.demoUnit()->waitForEvent("read", 0)) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (wait.elapsed() > 10000) {
            std::printf("the demo unit was not read\n");
            return 1;
        }
    }
    QApplication::processEvents();
    const double start = distance(table, engine);
    form.SpeedButtonAutocorr->click();
    form.ActionStart->trigger();
    if (!form.log()->recording()) {
        std::printf("live data did not start\n");
        return 1;
    }
    std::printf("demo run of %d s; distance to the ideal curve over inputs 48..208 (mean %% of ideal)\n", seconds);
    std::printf("  0 s: %.2f %%\n", start);
    double halved = -1, quartered = -1, now = start;
    QElapsedTimer clock;
    clock.start();
    for (int s = 1; s <= seconds; ++s) {
        QEventLoop loop;
        QTimer::singleShot(int(s * 1000 - clock.elapsed()), &loop, &QEventLoop::quit);
        loop.exec();
        now = distance(table, engine);
        if (halved < 0 && now <= start / 2)
            halved = s;
        if (quartered < 0 && now <= start / 4)
            quartered = s;
        if (s % 10 == 0)
            std::printf("%3d s: %.2f %%\n", s, now);
        std::fflush(stdout);
    }
    form.ActionStop->trigger();
    const int commits = table.history().count();
    std::printf("%-40s %.2f %% -> %.2f %% of ideal (ratio %.2f)\n", "distance, start -> end", start, now,
                start > 0 ? now / start : 0.0);
    std::printf("%-40s %s\n", "time to half the distance",
                halved < 0 ? "not reached" : qPrintable(QStringLiteral("%1 s").arg(halved)));
    std::printf("%-40s %s\n", "time to a quarter of the distance",
                quartered < 0 ? "not reached" : qPrintable(QStringLiteral("%1 s").arg(quartered)));
    std::printf("%-40s %d\n", "undo records (commits and the start)", commits);
    return sink.messages.isEmpty() ? 0 : 1;
}
