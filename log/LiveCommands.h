#pragma once
// The Start and Stop commands (ActionStart / Button2 / key S, ActionStop /
// Button6) without widgets: the window reads its controls into the inputs,
// calls these, and writes the changed TWindowState fields back.
#include <functional>

#include "log/Log_iat_ect_corr.h"

class Table;
struct TWindowState;

struct TStartCommand {
    bool portSelected = false; // ComComboBox1 has a port
    int sensorType = 2;        // ComboBoxO2 index
    TStartSettings settings;   // UpDown1, F9, SpeedButtonAutocorr, forced idle boxes, TrackBarB/T/RefO2
};

// Port check ("Please choose right COM port" message), the dashboard's
// maximum trackers (resetTrackers, the window's), beginning of the table as
// learned with correction 0 and the quick write, the settings to the log,
// then start live data (32771). Returns false when no port is selected.
bool runStartCommand(const TStartCommand &command, Log &log, Table &table, TWindowState &w,
                     TZiravBroadcaster &broadcaster, const std::function<void()> &resetTrackers = {});

struct TStopOutcome {
    // SpeedButtonAutocorr was down and is now released (w.autocorrDown is
    // false, correction 0, the log told): the window updates the button and
    // sends the correction as after its click.
    bool autocorrReleased = false;
    // Then LockLogLimitSpeedButton goes down (the MAF limit is locked).
    bool lockLogLimit = false;
};
// Autocorrection off and the log-limit lock if autocorrection was on.
TStopOutcome releaseAutocorrectionForStop(Log &log, TWindowState &w);
// releaseAutocorrectionForStop, then stop live data (32772).
TStopOutcome runStopCommand(Log &log, TWindowState &w, TZiravBroadcaster &broadcaster);
