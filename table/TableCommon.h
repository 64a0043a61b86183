#pragma once
// Sizes, slot numbers and small numeric helpers shared by the table model,
// its operations, its files and its history.
#include <QString>

#include <cstddef>
#include <cstdint>

namespace tbl {

constexpr int kImageSize = 392;     // slots of one table image (one per device byte)
constexpr int kPoints = 256;        // conversion points 0..255
constexpr int kParamBase = 256;     // eight operating parameters 256..263
constexpr int kParamCount = 8;
constexpr int kIatBase = 264;       // IAT correction bins 264..327
constexpr int kEctBase = 328;       // ECT correction bins 328..391
constexpr int kCorrBins = 64;
constexpr int kCorrMin = -30;
constexpr int kCorrMax = 30;

// Throttle-sensor meanings of the same slots.
constexpr int kSlotIdleSwitch = 264;
constexpr int kSlotIdleInvert = 266;
constexpr int kSlotFullSwitch = 267;
constexpr int kSlotFullInvert = 269;
constexpr int kSlotMax = 270;
constexpr int kSlotMin = 271;
constexpr int kSlotKick = 272;
constexpr int kSlotAuxFirst = 273;  // 273..276
constexpr int kSlotRefVoltage = 277; // 277..280, little-endian float
constexpr int kSlotLearnedList = 281; // 281..300
constexpr int kLearnedListSize = 20;

// R(x): nearest integer, ties to even (relies on the default rounding mode).
int roundEven(double x);

inline int clampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline int clampCode(int v) { return clampInt(v, 0, 255); }
inline int clampCorr(int v) { return clampInt(v, kCorrMin, kCorrMax); }
// v + c limited to lo..hi without overflowing on odd slot contents.
inline int addLimited(int32_t v, long long c, int lo, int hi)
{
    const long long s = static_cast<long long>(v) + c;
    return static_cast<int>(s < lo ? lo : (s > hi ? hi : s));
}
inline size_t at(int i) { return static_cast<size_t>(i); }

// Clamps a double before converting, so an absurd value cannot overflow int.
int clampCodeR(double v);

// The low byte of a slot, as the device sees it.
inline int lowByte(int32_t v) { return static_cast<int>(static_cast<uint32_t>(v) & 0xFFu); }
// A correction slot read as the signed value of its low byte (-128..127).
inline int signedByte(int32_t v) { return static_cast<int>(static_cast<int8_t>(static_cast<uint8_t>(v & 0xFF))); }

// v rounded to two decimals and written in its shortest form ("5", "2.51", "0.04").
QString twoDecimals(double v);
// A voltage as the window shows it: "2.51V".
QString voltsText(double v);
// The reference-voltage label: "Ref: 5V".
QString refVoltageLabel(double v);

} // namespace tbl
