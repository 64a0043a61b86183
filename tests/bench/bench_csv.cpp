// CSV export benchmark: a one-hour log (360,000 records) and a 24-hour log
// (8,640,000 records, the longest the program keeps) exported to a file. For
// each: the export's time, the file's size, and the memory the export takes
// on top of the log's own (the process's peak resident size is reset before
// the export and read after it). Usage: bench_csv [folder for the files]
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include "link/Rxtx.h"
#include "log/LogCsv.h"
#include "log/Log_iat_ect_corr.h"
#include "throttle/TpsCalibration.h"

namespace {
using Clock = std::chrono::steady_clock;

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when absent.
long statusKb(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.compare(0, key.size(), key) == 0)
            return std::stol(line.substr(key.size()));
    return -1;
}

// Sets the peak resident size back to the present one (Linux 4.0 and later).
bool resetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear);
}

void exportBenchmark(const char *what, int records, const QString &folder)
{
    TZiravBroadcaster broadcaster;
    TRXTX channel(broadcaster);
    TTpsCalibration tps;
    Log log(tps, channel, broadcaster);
    log.setUpView(nullptr, nullptr);
    for (int i = 0; i < records; ++i) {
        TLogRecord r{};
        r[ColConverter] = (i / 7) % 256;
        r[ColMarker] = i % 50 == 0 ? 128 : 0;
        r[ColAuxOut] = (i / 3) % 256;
        r[ColMaf] = (i / 13) % 256;
        r[ColTps] = (i / 11) % 256;
        r[ColRpmPeriod] = 500 + i % 3000;
        r[ColO2] = 60 + i % 120;
        r[ColCorr] = i % 21 - 10;
        r[ColIat] = 40 + i % 30;
        r[ColEct] = 80 + i % 20;
        r[ColO2SM] = 100 + i % 90;
        r[ColLogCorr] = -(i % 40);
        log.addRecord(r);
    }
    const QString path = folder + QStringLiteral("/export.csv");
    const long rssBefore = statusKb("VmRSS");
    const bool peakReset = resetPeak();
    const auto start = Clock::now();
    const bool ok = logcsv::exportCsv(log, path);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const long peak = statusKb("VmHWM");
    std::printf("%s log (%d records): export %s\n", what, records, ok ? "written" : "FAILED");
    std::printf("  time         %8.2f s\n", seconds);
    std::printf("  file         %8.1f MB\n", QFileInfo(path).size() / 1e6);
    std::printf("  log in memory %7.1f MB resident before the export\n", rssBefore / 1024.0);
    if (peakReset)
        std::printf("  peak memory  %8.1f MB above the log's own (peak resident %.1f MB)\n",
                    (peak - rssBefore) / 1024.0, peak / 1024.0);
    else
        std::printf("  peak memory  (the peak could not be reset: %.1f MB for the whole run)\n", peak / 1024.0);
    QFile::remove(path);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir own;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : own.path();
    exportBenchmark("one-hour", 360000, folder);
    exportBenchmark("24-hour", TLogColumns::kMaxRecords, folder);
    return 0;
}
