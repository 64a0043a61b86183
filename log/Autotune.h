#pragma once
// Autotuning: the live autocorrection step of the tick, the full-throttle
// smoothing analysis, magic learn (Log::magicLearn), and the window's side of
// the two requests they send (32775, 32776).
#include <optional>

#include <QString>

#include "link/Ziravbroadcaster.h"
#include "log/Oxygensensor.h"

class Log;
class Table;
struct TWindowState;

namespace autotune {

enum class State {
    Idle,
    FullThrottle,
    ForcedIdle,
    Ready,     // a correction was stored
    Pulsation,
    FastPhase,
    FinePhase,
    Skipping,  // the band is learned and its mixture is right: nothing to do
    Waiting,   // conditions the table is not for: the loop waits (Reason says why)
    Refused,   // the oxygen reading cannot be trusted (Reason says why)
};

// Why the loop waits or refuses; travels in the request to the dashboard.
enum class Reason {
    None = 0,
    SensorAtRail,    // the reading sits at 0 or 5 V: unplugged or shorted
    SensorFlicker,   // the reading jumps from rail to rail: a loose wire
    EngineCold,      // the coolant lamp says COLD: warm-up enrichment
    ForcedIdle,
    ThrottleMoving,  // a large throttle change a moment ago
    NotLearnable,    // below Min, from Kick up or above Max: the unit's rules keep those points
    AlreadyLearned,  // a learned point in the band, its mixture right
    BandTooWide,
};
// What the dashboard says of a reason, in English or Russian ("" for None).
QString reasonText(Reason reason, bool english);

constexpr int kIdleColour = colourValue(237, 240, 108);
constexpr int kFullThrottleColour = colourValue(255, 0, 255);
constexpr int kForcedIdleColour = colourValue(166, 202, 240);
constexpr int kReadyColour = colourValue(128, 128, 128);
constexpr int kPulsationColour = colourValue(255, 0, 0);
constexpr int kFastColour = colourValue(0, 128, 0);
constexpr int kFineColour = colourValue(0, 255, 0);
// Not the grey of a stored correction: a skipped band is silent.
constexpr int kSkippingColour = colourValue(192, 192, 192);
constexpr int kWaitingColour = colourValue(255, 214, 153);
// Red, as a pulsating band: the same cue tells the user to look.
constexpr int kRefusedColour = colourValue(255, 0, 0);

int stateColour(State state);
// The state's sound file ("ready.wav"); empty for states without a cue.
QString stateSound(State state);
// The state a request's colour stands for (Idle for an unknown colour).
State stateForColour(int colour);
// What the dashboard says of a request: its reason, or else its state
// ("" while autotuning is idle).
QString requestText(int colour, int reason, bool english);

constexpr int kFullThrottlePercent = 95;
constexpr int kMinRunRecords = 60;
constexpr int kMinPulsations = 5;

// The coolant lamp's COLD state: the coolant input above 0.5 V.
inline bool engineCold(int coolantCode)
{
    return coolantCode > 25;
}
// How long a sensor type's reading trails the mixture by default, in ms.
int defaultSensorLagMs(int sensorType);
// How far a commit of the live loop reaches beyond its band on each side
// (it stops earlier at a learned point).
constexpr int kCommitReach = 8;

// Bounds the window keeps the correction within, in percent of the output
// of the point at the window's middle (at least one code).
struct Limits {
    int livePercent = 25;   // the live correction
    int commitPercent = 10; // what one commit stores
};
int limitCodes(int percent, int output);

// Whether the oxygen reading of the records up to last can be trusted.
Reason checkSensor(const Log &log, int last, int sensorType);

enum class Decision { None, Above, Below, Crossing };
// Where the averaged mixture stands against the reference, from the previous
// and the current average. Cases the rules leave open give no decision.
Decision decide(int reference, int previousAverage, int average);

// The live autocorrection step for record index last (at least 120), with
// the tick's O2 average over `window` samples. Sends exactly one 32775 (and,
// through the full-throttle analysis, possibly one 32776 before it).
// Returns the request sent.
TMsgAutocorrection liveStep(Log &log, int last, int o2Average, int window);

// Full-throttle analysis at the end of a run (record index last). Returns the
// smoothing value sent with 32776, or nullopt when the run did not qualify.
std::optional<int> fullThrottleAnalysis(Log &log, int last);

// ---- the window's side -----------------------------------------------------

// 32775 received. With manual borders up: window moved to the request's band
// (w.setWindowStart/End), the correction stepped, applied (commit: apply to
// table) or discarded, the state's sound played without interrupting. With
// manual borders down and autocorrection down: the window jumps to the first
// learned point from end - 2 upwards (255 if none). The window then shows w
// (its change handlers send the live correction and the window command) and
// takes the returned colour as the dashboard gradient's middle colour.
// The live correction stays within limits.livePercent of the window's
// middle point and a commit within limits.commitPercent.
struct RequestOutcome {
    bool used = false;         // anything of the request taken
    std::optional<int> colour; // new middle colour (manual borders up)
};
RequestOutcome applyAutocorrectionRequest(const TMsgAutocorrection &request, Table &table, TWindowState &w,
                                          const Limits &limits = Limits());

// 32776 received: nothing for 255. Otherwise MaskEditSmoothMaf := value
// (through the table's parameter boxes), correction 0, quick write, and the
// countdown sound "N.wav" (interrupting) while the box's number is 20 or less.
// Returns whether anything changed.
bool applySmoothingRequest(const TMsgSmoothing &request, Table &table, TWindowState &w);

} // namespace autotune
