#pragma once
// An engine the emulated unit sits on, for the demo unit and for autotuning
// tests: the air-flow input follows a drive programme (levels held for a
// while, with short ramps between them and a little wobble), the unit's
// output is its table at that input (plus the live correction inside the
// correction window), and a wide-band oxygen sensor ("0-5V Signal": higher is
// leaner, 128 at the ideal mixture) answers the output against an ideal curve
// after a transport delay, with a little noise. A table below the ideal curve
// reads lean, above it rich, so autotuning has something to converge to.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace sim {

using Image = std::array<std::uint8_t, 392>;

struct EngineModel {
    struct Level {
        int input = 0;      // air-flow input code held
        int holdFrames = 0; // frames held after the ramp to it
    };
    // The output code at which the mixture is ideal, per input code.
    std::array<std::uint8_t, 256> ideal{};
    std::vector<Level> drive; // run through, then from the start again
    int rampFrames = 30;      // from one level to the next (0.3 s)
    int wobble = 1;           // the input moves by up to this many codes
    int delayFrames = 15;     // sensor answer delay (0.16 s)
    int noise = 3;            // oxygen code noise, +/- this
    // Oxygen code per percent of mixture error (a 10..20 AFR wide-band
    // controller on 0-5 V gives 25.5 codes per AFR, 3.75 per percent).
    double codesPerPercent = 3.75;
    int idealO2 = 128;
    // The sensor the engine carries, by the window's sensor types: 2 the
    // 0-5 V wide-band signal above; 0 a narrow-band 0-1 V sensor (0.8 V rich,
    // 0.1 V lean, switching within half a percent of the ideal mixture);
    // 1, 3 and 4 a wide-band controller's 0-5 V output in that type's AFR scale.
    int sensorType = 2;
    // A sensor that cannot be read: unplugged (0 V), shorted to 5 V, or a
    // loose contact that jumps from rail to rail.
    enum class Fault { None, StuckLow, StuckHigh, Flicker };
    Fault fault = Fault::None;
    // Coolant: cold (2.9 V) at the start, warm (0.3 V) after warmUpFrames;
    // -1 stays cold. While cold the engine runs coldEnrichment percent rich.
    int warmUpFrames = 0;
    double coldEnrichment = 10.0;

    int driveFrames() const; // one pass of the programme
    int inputAt(int frame) const;
    int coolantAt(int frame) const;
    // The sensor's reading (frame byte 7) for a mixture error in percent
    // (above 0: rich), before noise.
    double sensorCode(double errorPercent) const;
    // The reading an engine at the ideal mixture gives, in the window's O2
    // units for this sensor type (the reference to set).
    int idealReading() const;
};

// The demo unit's engine: levels from 48 to 208 in steps of 8 held 3 s each,
// then the same back down between them.
EngineModel demoEngine();
// The demo unit's image: a throttle unit's settings (learned range, kick,
// switch points, auxiliary pair, 5 V reference, a learned point) and a table
// a few percent rich of the demo engine's ideal curve where its engine runs.
Image demoImage();
// The demo image's bookkeeping (Min 8, Max 240, Kick 232, no listed point)
// over an engine's ideal curve off by error(input) percent (above 0: rich).
Image imageOff(const EngineModel &engine, const std::function<double(int)> &error);

// One stream through an engine: keeps the mixture history the delay needs.
class EngineRun {
public:
    explicit EngineRun(EngineModel model);
    // Frame n of the stream (n counts up from 0 by one per call).
    std::array<std::uint8_t, 10> frame(int n, const Image &ram, int correction, int windowStart, int windowEnd);

private:
    EngineModel model_;
    std::deque<double> errors_; // mixture error in percent, newest last
    std::uint32_t random_ = 12345;
};

// Frame bytes from the values the unit reports (check byte included); the
// upper selector bits and slot values as both engine models send them.
// coolant: slot 1's value; -1: the slow warm-up ramp of the plain sweep.
std::array<std::uint8_t, 10> assembleFrame(int n, int output, int aux, int input, int throttle, int rpm, int o2,
                                           int correction, int coolant = -1);
// The auxiliary output the unit gives at an input: through its four points.
int auxOutput(const Image &ram, int input);

} // namespace sim
