// Autotuning benchmark: the live loop against the engine model in a closed
// loop (the window's Log, Table and request handling, the engine answering
// frame by frame), for held loads and for a continuous sweep on three sensor
// types. Prints, per run, the mean |mixture error| over the driven inputs at
// 0, 30, 60 and 120 s of engine time, the signed error at the end, the
// commits made (and how many changed the table) and the most the live
// correction reached. Runs faster than real time; the figures are the same
// on every run.
#include <cmath>
#include <cstdio>
#include <vector>

#include <QCoreApplication>

#include "log/ClosedLoop.h"

namespace {

struct Sensor {
    const char *name;
    int type;
};

double wavyError(int input)
{
    return 7.0 * std::sin(input / 20.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const Sensor sensors[] = {{"0-5 V signal", 2}, {"narrow band 0-1 V", 0}, {"AEM 30-4110", 3}};
    std::printf("mean |error| %% over the driven inputs at 0/30/60/120 s; signed error at 120 s; commits "
                "(changing the table); largest live correction (codes)\n");
    std::printf("%-8s %-18s %6s %6s %6s %6s %8s %9s %5s\n", "driving", "sensor", "0 s", "30 s", "60 s", "120 s",
                "signed", "commits", "corr");
    for (const char *driving : {"dwell", "sweep"}) {
        for (const Sensor &sensor : sensors) {
            sim::EngineModel engine = sim::demoEngine();
            engine.warmUpFrames = 0;
            engine.sensorType = sensor.type;
            std::vector<int> points;
            engine.drive.clear();
            if (driving[0] == 'd') {
                for (int input = 64; input <= 192; input += 16) {
                    engine.drive.push_back({input, 400});
                    points.push_back(input);
                }
            } else {
                engine.drive = {{208, 0}, {48, 0}};
                engine.rampFrames = 1500;
                for (int input = 56; input <= 200; input += 4)
                    points.push_back(input);
            }
            ClosedLoop loop(engine, imageOff(engine, wavyError));
            double at[4];
            at[0] = loop.meanAbsError(points);
            const double marks[] = {30, 60, 120};
            for (int k = 0; k < 3; ++k) {
                loop.run(marks[k] - loop.seconds());
                at[k + 1] = loop.meanAbsError(points);
            }
            std::printf("%-8s %-18s %6.2f %6.2f %6.2f %6.2f %+8.2f %4d (%3d) %5d\n", driving, sensor.name, at[0], at[1],
                        at[2], at[3], loop.signedError(points), loop.commits, loop.changingCommits,
                        loop.maxCorrection);
            std::fflush(stdout);
        }
    }
    return 0;
}
