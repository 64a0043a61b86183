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

enum class State { Idle, FullThrottle, ForcedIdle, Ready, Pulsation, FastPhase, FinePhase };

constexpr int kIdleColour = colourValue(237, 240, 108);
constexpr int kFullThrottleColour = colourValue(255, 0, 255);
constexpr int kForcedIdleColour = colourValue(166, 202, 240);
constexpr int kReadyColour = colourValue(128, 128, 128);
constexpr int kPulsationColour = colourValue(255, 0, 0);
constexpr int kFastColour = colourValue(0, 128, 0);
constexpr int kFineColour = colourValue(0, 255, 0);

int stateColour(State state);
// The state's sound file ("ready.wav"); empty for states without a cue.
QString stateSound(State state);
// The state a request's colour stands for (Idle for an unknown colour).
State stateForColour(int colour);

constexpr int kFullThrottlePercent = 95;
constexpr int kMinRunRecords = 60;
constexpr int kMinPulsations = 5;

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
struct RequestOutcome {
    bool used = false;         // anything of the request taken
    std::optional<int> colour; // new middle colour (manual borders up)
};
RequestOutcome applyAutocorrectionRequest(const TMsgAutocorrection &request, Table &table, TWindowState &w);

// 32776 received: nothing for 255. Otherwise MaskEditSmoothMaf := value
// (through the table's parameter boxes), correction 0, quick write, and the
// countdown sound "N.wav" (interrupting) while the box's number is 20 or less.
// Returns whether anything changed.
bool applySmoothingRequest(const TMsgSmoothing &request, Table &table, TWindowState &w);

} // namespace autotune
