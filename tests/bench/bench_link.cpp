// Link benchmark against the emulator paced at 9600 baud: each exchange as
// measured time over its line-time lower bound (10 bits per byte, both ways).
#include <chrono>
#include <cstdio>

#include "link/Protocol.h"
#include "link/Rxtx.h"
#include "sim/Emulator.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void report(const char *what, double measured, int lineBytes)
{
    const double bound = lineBytes * kByteMs;
    std::printf("%-12s %8.1f ms  lower bound %8.1f ms (%d bytes)  ratio %.3f\n", what, measured, bound, lineBytes,
                measured / bound);
}
} // namespace

int main()
{
    sim::Config config;
    config.paced = true;
    sim::Emulator unit(config);
    TZiravBroadcaster broadcaster;
    TRXTX channel(broadcaster);
    channel.reopen(QString::fromStdString(unit.start()));

    constexpr int kRuns = 5;
    double readBest = 1e9, quickBest = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        proto::Image image{};
        auto start = Clock::now();
        const int got = proto::readImage(channel, image);
        const double readMs = msSince(start);
        if (got != proto::kImageSize) {
            std::fprintf(stderr, "read image returned %d bytes\n", got);
            return 1;
        }
        readBest = std::min(readBest, readMs);

        unit.clearLog();
        start = Clock::now();
        proto::quickWrite(channel, [&] { return image; });
        // The write returns once the driver has the bytes; the unit has the
        // image only when the last byte has crossed the line.
        if (!unit.waitForEvent("quick-write", 5000)) {
            std::fprintf(stderr, "the unit did not take the quick write\n");
            return 1;
        }
        quickBest = std::min(quickBest, msSince(start));
    }
    std::printf("best of %d runs at 9600 baud:\n", kRuns);
    report("read image", readBest, 4 + proto::kImageSize);
    report("quick write", quickBest, 4 + proto::kImageSize);
    return 0;
}
