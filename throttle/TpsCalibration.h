#pragma once
// The pedal calibration: the raw throttle readings that count as 0 % and
// 100 %. Owned by the main window; the dashboard, the log and autotuning turn
// every raw reading into a percentage through it.
#include <cstdint>
#include <vector>

struct TTpsCalibration {
    std::int32_t tpsMin = 0;
    std::int32_t tpsMax = 0;

    // Percentage of a raw reading, 0..100 for a sane record. A record whose
    // minimum equals its maximum (never calibrated) becomes 0..255 for good,
    // after the reading has been limited by the old values.
    int percent(int raw);
};

// The pedal calibration from the raw throttle samples of a recording: their
// lowest and highest. A span below 20 (the pedal was not moved, or nothing
// was recorded) resets the calibration to the full range 0..255.
TTpsCalibration pedalCalibration(const std::vector<int> &samples);
