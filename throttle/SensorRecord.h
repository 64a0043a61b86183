#pragma once
// The throttle sensor's 5-byte record: working angle, type code, direction
// bit, calibration point (big-endian). Pure helpers, shared by the window and
// the command line.
#include <array>
#include <cstdint>
#include <cstdlib>

namespace kma {

// The working angles offered by the angle chooser, in its order.
constexpr std::array<int, 13> kAngles = {45, 60, 80, 81, 82, 83, 84, 85, 86, 87, 88, 89, 90};
constexpr std::uint8_t kTypeCode = 135;
constexpr int kCalibrateAtMin = 51;
constexpr int kCalibrateAtMax = 949;

struct SensorRecord {
    int angle = 0;
    int typeCode = 0;
    int direction = 0; // bit 0 only
    int calibrationPoint = 0;
};

inline SensorRecord decodeRecord(const std::array<std::uint8_t, 5> &bytes)
{
    return {bytes[0], bytes[1], bytes[2] & 1, bytes[3] * 256 + bytes[4]};
}

// Index of the angle nearest to degrees in a list; the later entry wins a tie.
template <typename List>
int nearestAngleIndex(const List &angles, int degrees)
{
    int best = -1;
    int bestDistance = 0;
    int index = 0;
    for (int angle : angles) {
        const int distance = std::abs(angle - degrees);
        if (best < 0 || distance <= bestDistance) {
            best = index;
            bestDistance = distance;
        }
        ++index;
    }
    return best;
}

// The 5 bytes the calibration sends: angle, type code 135, direction bit,
// calibration point high and low.
inline std::array<std::uint8_t, 5> encodeRecord(const SensorRecord &r)
{
    return {std::uint8_t(r.angle), kTypeCode, std::uint8_t(r.direction & 1), std::uint8_t((r.calibrationPoint >> 8) & 0xFF),
            std::uint8_t(r.calibrationPoint & 0xFF)};
}

// Calibration side for a read-back point: 0 "Min. α", 1 "Max. α", -1 unchanged.
inline int calibrationSide(int point)
{
    if (point < 100)
        return 0;
    if (point > 900)
        return 1;
    return -1;
}

} // namespace kma
