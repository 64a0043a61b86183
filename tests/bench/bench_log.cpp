// Log benchmark. 1) The emulator streams at 9600 baud (about 96 frames/s)
// for N seconds (default 60) while the live tick runs: frames sent against
// records appended, and the CPU time of the configurator's two threads (the
// user-interface thread and "LogThread") as a share of one core. 2) A
// one-hour log (345,600 records): save, load and magic learn in ms.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <unistd.h>

#include "link/Logthread_.h"
#include "link/Rxtx.h"
#include "log/Log_iat_ect_corr.h"
#include "sim/Emulator.h"
#include "table/Table_iat_ect_corr.h"
#include "throttle/TpsCalibration.h"

namespace {
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU seconds of one thread of this process, from /proc.
double threadCpuSeconds(const std::string &tid)
{
    std::ifstream stat("/proc/self/task/" + tid + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

std::string threadName(const std::string &tid)
{
    std::ifstream comm("/proc/self/task/" + tid + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// The user-interface thread (tid = pid) plus every "LogThread".
double configuratorCpuSeconds()
{
    double total = 0;
    const QStringList tids = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &t : tids) {
        const std::string tid = t.toStdString();
        if (tid == std::to_string(getpid()) || threadName(tid) == "LogThread")
            total += threadCpuSeconds(tid);
    }
    return total;
}

struct CountTicks : TSubscriber {
    void handleMessage(TMessage &m) override
    {
        if (m.id == kMsgDashData)
            ++dashes;
        if (m.id == kMsgAutocorrection)
            ++requests;
    }
    int dashes = 0;
    int requests = 0;
};

void streamBenchmark(int seconds)
{
    sim::Config config;
    config.paced = true;
    sim::Emulator unit(config);
    TZiravBroadcaster broadcaster;
    CountTicks window;
    broadcaster.subscribe(&window);
    TRXTX channel(broadcaster);
    TTpsCalibration tps;
    Table table;
    Log log(tps, channel, broadcaster);
    log.setUpView(nullptr, &table);
    TStartSettings settings;
    settings.autocorrection = true;
    settings.trackBarB = 20;
    settings.trackBarT = 40;
    settings.trackBarRefO2 = 128;
    log.setStartSettings(settings);
    channel.reopen(QString::fromStdString(unit.start()));

    TMsgStartLiveData start(2);
    broadcaster.broadcast(start);
    const double cpuBefore = configuratorCpuSeconds();
    const auto begin = Clock::now();
    double cpuDuring = 0;
    QTimer::singleShot(seconds * 1000, [&] {
        cpuDuring = configuratorCpuSeconds() - cpuBefore;
        TMsgStopLiveData stop;
        broadcaster.broadcast(stop);
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    const double wallS = msSince(begin) / 1000.0;
    unit.stop();
    const int sent = unit.framesSent();
    // The first frame only confirms the stream; frames still on the line at
    // the stop are not read: at most a few frames short.
    std::printf("stream for %.1f s at 9600 baud: %d frames sent, %d records appended (%.2f %%), "
                "%d bad frames, %.1f frames/s\n",
                wallS, sent, log.count(), 100.0 * log.count() / std::max(1, sent - 1), log.lastStreamBadFrames(),
                log.count() / wallS);
    std::printf("  live ticks: %d dashboard records, %d autotuning requests (expected about %.0f)\n", window.dashes,
                window.requests, wallS * 10);
    std::printf("  CPU of the UI thread and LogThread: %.3f s = %.2f %% of one core (target at most 2 %%)\n",
                cpuDuring, 100.0 * cpuDuring / wallS);
}

void hourBenchmark()
{
    constexpr int kRecords = 345600;
    TZiravBroadcaster broadcaster;
    TRXTX channel(broadcaster);
    TTpsCalibration tps;
    Table table;
    for (int i = 0; i < 256; ++i)
        table.setSlot(i, i);
    Log log(tps, channel, broadcaster);
    log.setUpView(nullptr, &table);
    for (int i = 0; i < kRecords; ++i) {
        TLogRecord r{};
        r[ColConverter] = (i / 7) % 256;
        r[ColMaf] = (i / 13) % 256;
        r[ColTps] = (i / 11) % 256;
        r[ColRpmPeriod] = 500 + i % 3000;
        r[ColO2] = 60 + i % 120;
        r[ColCorr] = i % 21 - 10;
        r[ColO2SM] = 100 + i % 90;
        r[ColLogCorr] = -(i % 40);
        log.addRecord(r);
    }
    log.prepareView();
    log.setO2Target(140);
    log.setO2Reference(150);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hour.log"));
    auto t = Clock::now();
    log.saveToFile(path);
    const double saveMs = msSince(t);
    Log back(tps, channel, broadcaster);
    back.setUpView(nullptr, &table);
    t = Clock::now();
    back.loadFromFile(path);
    const double loadMs = msSince(t);
    t = Clock::now();
    back.magicLearn(1, false);
    const double learnMs = msSince(t);
    std::printf("one-hour log (%d records, %d loaded):\n", kRecords, back.count());
    std::printf("  save         %8.1f ms (target 100 ms)\n", saveMs);
    std::printf("  load         %8.1f ms (target 100 ms)\n", loadMs);
    std::printf("  magic learn  %8.1f ms (target 1000 ms)\n", learnMs);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    hourBenchmark();
    streamBenchmark(seconds);
    return 0;
}
