#include "sim/EngineModel.h"

#include "link/Crc8.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace sim {

int EngineModel::driveFrames() const
{
    int frames = 0;
    for (const Level &level : drive)
        frames += rampFrames + level.holdFrames;
    return frames;
}

int EngineModel::inputAt(int frame) const
{
    if (drive.empty())
        return 0;
    const int total = driveFrames();
    int t = total > 0 ? frame % total : 0;
    int from = drive.back().input; // the programme runs in a loop
    int input = from;
    for (const Level &level : drive) {
        const int span = rampFrames + level.holdFrames;
        if (t >= span) {
            t -= span;
            from = level.input;
            continue;
        }
        input = t < rampFrames ? from + (level.input - from) * t / rampFrames : level.input;
        break;
    }
    // A slow wobble of +/- wobble codes, as a foot on the pedal gives.
    const int phase = (frame / 6) % 4;
    const int offset = phase == 1 ? wobble : phase == 3 ? -wobble : 0;
    return std::clamp(input + offset, 0, 255);
}

int EngineModel::coolantAt(int frame) const
{
    constexpr int kCold = 150, kWarm = 15;
    if (warmUpFrames < 0)
        return kCold;
    if (frame >= warmUpFrames)
        return kWarm;
    return kCold - (kCold - kWarm) * frame / warmUpFrames;
}

namespace {

// Volts of a wide-band controller's output for an air-fuel ratio, by the
// window's sensor types (the inverse of the window's conversion).
double afrVolts(int type, double afr)
{
    switch (type) {
    case 1: return (afr - 7.35) / 3.008;
    case 3: return (afr - 10.0) / 1.996;
    default: return (afr - 7.3125) / 2.375;
    }
}

} // namespace

double EngineModel::sensorCode(double errorPercent) const
{
    switch (sensorType) {
    case 0: { // narrow band: 0.1 V lean .. 0.8 V rich, steep around the ideal
        const double x = std::clamp(errorPercent / 0.5, -1.0, 1.0);
        return 51.0 * (0.45 + 0.35 * x);
    }
    case 1:
    case 3:
    case 4: {
        const double afr = 14.7 * (1.0 - errorPercent / 100.0);
        return afrVolts(sensorType, afr) * 255.0 / 5.0;
    }
    default:
        return idealO2 - errorPercent * codesPerPercent;
    }
}

int EngineModel::idealReading() const
{
    switch (sensorType) {
    case 0: return 23; // 0.45 V
    case 1:
    case 3:
    case 4: return 147;
    default: return idealO2;
    }
}

namespace {

// A rising characteristic that reaches 240 at full air flow.
int idealCurve(int input)
{
    return int(std::lround(18.0 + 222.0 * std::pow(input / 255.0, 1.15)));
}

} // namespace

EngineModel demoEngine()
{
    EngineModel m;
    for (int i = 0; i < 256; ++i)
        m.ideal[std::size_t(i)] = std::uint8_t(idealCurve(i));
    const int hold = 300;
    for (int input = 48; input <= 208; input += 8)
        m.drive.push_back({input, hold});
    for (int input = 204; input >= 52; input -= 8)
        m.drive.push_back({input, hold});
    // Ten seconds of warm-up: the demo shows autotuning wait for it.
    m.warmUpFrames = 1000;
    return m;
}

Image demoImage()
{
    // A unit after a rough setup: learned range 8..240 with its kick point
    // at 232 and a learned point at 24, all on the demo engine's ideal curve,
    // and the characteristic straight between them (as the learned-point
    // interpolation leaves it): a few percent rich of the ideal curve where
    // the demo's engine runs, which autotuning then bends into shape.
    Image image{};
    const EngineModel engine = demoEngine();
    auto ideal = [&engine](int i) { return double(engine.ideal[std::size_t(i)]); };
    const int min = 8, kick = 232, max = 240;
    const int anchors[] = {min, 24, kick, max};
    for (std::size_t a = 0; a + 1 < std::size(anchors); ++a) {
        const int lo = anchors[a], hi = anchors[a + 1];
        const double vlo = ideal(lo), vhi = ideal(hi);
        for (int i = lo; i <= hi; ++i)
            image[std::size_t(i)] = std::uint8_t(std::nearbyint(vlo + (vhi - vlo) * (i - lo) / (hi - lo)));
    }
    for (int i = 0; i < min; ++i)
        image[std::size_t(i)] = image[std::size_t(min)];
    for (int i = max + 1; i < 256; ++i)
        image[std::size_t(i)] = image[std::size_t(max)];
    const std::uint8_t params[8] = {4, 5, 128, 64, 128, 128, 128, 255};
    std::copy(std::begin(params), std::end(params), image.begin() + 256);
    image[264] = image[265] = 14;  // idle switch
    image[266] = 0;
    image[267] = image[268] = 228; // full-load switch
    image[269] = 0;
    image[270] = max;
    image[271] = min;
    image[272] = kick;
    // Auxiliary output: falling from 230 at input 20 to 25 at input 235.
    image[273] = 20;
    image[274] = 230;
    image[275] = 235;
    image[276] = 25;
    // 5.0f little-endian.
    image[277] = 0x00;
    image[278] = 0x00;
    image[279] = 0xA0;
    image[280] = 0x40;
    image[281] = 24;
    return image;
}

Image imageOff(const EngineModel &engine, const std::function<double(int)> &error)
{
    Image image = demoImage();
    for (int i = 0; i < 256; ++i) {
        const double ideal = engine.ideal[std::size_t(i)];
        image[std::size_t(i)] = std::uint8_t(std::clamp(std::lround(ideal * (1.0 + error(i) / 100.0)), 0L, 255L));
    }
    for (int i = 0; i < 8; ++i)
        image[std::size_t(i)] = image[8];
    for (int i = 241; i < 256; ++i)
        image[std::size_t(i)] = image[240];
    image[281] = 0;
    return image;
}

EngineRun::EngineRun(EngineModel model) : model_(std::move(model)) {}

std::array<std::uint8_t, 10> EngineRun::frame(int n, const Image &ram, int correction, int windowStart,
                                               int windowEnd)
{
    const int input = model_.inputAt(n);
    // The unit adds the live correction inside the correction window only.
    const bool corrected = input >= windowStart && input <= windowEnd;
    const int output = std::clamp(int(ram[std::size_t(input)]) + (corrected ? correction : 0), 0, 255);
    const int ideal = std::max<int>(1, model_.ideal[std::size_t(input)]);
    errors_.push_back(100.0 * (output - ideal) / ideal); // above the curve: rich
    while (int(errors_.size()) > model_.delayFrames + 1)
        errors_.pop_front();
    // xorshift: the same noise on every run.
    random_ ^= random_ << 13;
    random_ ^= random_ >> 17;
    random_ ^= random_ << 5;
    const int span = 2 * model_.noise + 1;
    const int noise = model_.noise > 0 ? int(random_ % std::uint32_t(span)) - model_.noise : 0;
    const int coolant = model_.coolantAt(n);
    // A cold engine is enriched by its own control, whatever the table says.
    const double error = errors_.front() + (coolant > 25 ? model_.coldEnrichment : 0.0);
    int o2 = std::clamp(int(std::lround(model_.sensorCode(error))) + noise, 0, 255);
    switch (model_.fault) {
    case EngineModel::Fault::StuckLow: o2 = 0; break;
    case EngineModel::Fault::StuckHigh: o2 = 255; break;
    case EngineModel::Fault::Flicker: o2 = (n / 3) % 2 ? 250 : 3; break;
    case EngineModel::Fault::None: break;
    }
    const int throttle = std::clamp(input * 9 / 10, 0, 255);
    const int rpm = 800 + input * 20;
    return assembleFrame(n, output, auxOutput(ram, input), input, throttle, rpm, o2, corrected ? correction : 0,
                         coolant);
}

int auxOutput(const Image &ram, int input)
{
    // Through (0, slot 274), (slot 273, slot 274), (slot 275, slot 276), (255, slot 276).
    const int x1 = ram[273], y1 = ram[274], x2 = ram[275], y2 = ram[276];
    if (input <= x1)
        return y1;
    if (input >= x2 || x2 <= x1)
        return y2;
    return int(std::lround(y1 + double(y2 - y1) * (input - x1) / (x2 - x1)));
}

std::array<std::uint8_t, 10> assembleFrame(int n, int output, int aux, int input, int throttle, int rpm, int o2,
                                           int correction, int coolant)
{
    const int period = 1500000 / std::max(1, rpm);
    const int slot = n & 3;
    // Upper selector bits carry nothing for the host; set them now and then so
    // a host that does not mask them shows up.
    const int selector = slot | ((n / 4) % 3 == 1 ? 0x7C : 0);
    int value = 0;
    switch (slot) {
    case 0: // switch bits: idle, full load
        value = (throttle < 8 ? 1 : 0) | (throttle > 247 ? 2 : 0);
        break;
    case 1: // coolant
        value = coolant >= 0 ? coolant : std::min(200, 90 + n / 100);
        break;
    case 2: // signed, follows the throttle
        value = std::uint8_t(std::int8_t(throttle / 2 - 64));
        break;
    default: // signed, the live correction as the unit applies it
        value = std::uint8_t(std::int8_t(std::clamp(correction, -128, 127)));
        break;
    }
    std::array<std::uint8_t, 10> f{};
    f[0] = std::uint8_t(output);
    f[1] = std::uint8_t(selector);
    f[2] = std::uint8_t(aux);
    f[3] = std::uint8_t(input);
    f[4] = std::uint8_t(throttle);
    f[5] = std::uint8_t(period >> 8);
    f[6] = std::uint8_t(period & 0xFF);
    f[7] = std::uint8_t(o2);
    f[8] = std::uint8_t(value);
    f[9] = crc8(f.data(), 9);
    return f;
}

} // namespace sim
