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

    int driveFrames() const; // one pass of the programme
    int inputAt(int frame) const;
};

// The demo unit's engine: levels from 48 to 208 in steps of 8 held 3 s each,
// then the same back down between them.
EngineModel demoEngine();
// The demo unit's image: a throttle unit's settings (learned range, kick,
// switch points, auxiliary pair, 5 V reference, a learned point) and a table
// a few percent rich of the demo engine's ideal curve where its engine runs.
Image demoImage();

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
std::array<std::uint8_t, 10> assembleFrame(int n, int output, int aux, int input, int throttle, int rpm, int o2,
                                           int correction);
// The auxiliary output the unit gives at an input: through its four points.
int auxOutput(const Image &ram, int input);

} // namespace sim
