#pragma once
// The throttle sensor's settings as the window edits them: sensor type
// presets, the ten edit modes (captions, highlighted labels, where the window
// track bars start), the panel's value texts, and the edits of the switch
// points, the auxiliary output pair, the smoothing and the reference voltage.
// No widgets: the window passes its controls' values in and shows the results.
#include <array>
#include <optional>

#include <QString>
#include <QStringList>

class Table;
struct TWindowState;

namespace kma {

// ---- sensor type presets (ComboBoxKmaSensorType) ------------------------------
QStringList sensorTypeNames();
struct Preset {
    // Unset fields stay as they are (no sensor type selected).
    std::optional<int> direction;   // ComboBoxKmaDirection index
    std::optional<int> calSide;     // ComboBoxKmaCalAtMinOrMaxAngle index: 0 "Min. α", 1 "Max. α"
    std::optional<bool> invertIdle; // CheckBoxIdleSwitch
    std::optional<bool> invertFull; // CheckBoxFullSwitch
    int angle = 90;                 // selected with the nearest-entry rule
};
Preset preset(int sensorTypeIndex);

// ---- switch inversion ------------------------------------------------------
// Slot 266 (idle) or 269 (full load) := 128 when inverted, else 0.
void setSwitchInversion(Table &table, bool idleSwitch, bool inverted);

// ---- edit modes --------------------------------------------------------------
constexpr int kEditModes = 10;
// Action object names by mode ("EditMain" ... "EditRefVoltage").
const char *editActionName(int mode);
// English captions by mode; the smoothing caption follows the language.
QString editCaption(int mode, bool russian = false);
// The order of the actions under ActionEdit.
constexpr std::array<int, kEditModes> kMenuOrder = {0, 5, 7, 6, 1, 2, 4, 3, 8, 9};
// The thirteen panel labels, and the nine of them that show values.
const QStringList &panelLabels();
const QStringList &valueLabels();
// The labels that stand out in a mode (the first listed only change colour
// where they are caption labels: LabelMain, LabelIdleSw, LabelFullSw).
QStringList highlightedLabels(int mode);
// The value label of a mode shown bold (empty in mode 0).
QString selectedValueLabel(int mode);
constexpr int kHighlightColour = 1447657; // (233, 22, 22)
// Modes 1..4 put manual borders down when chosen.
bool modeNeedsManualBorders(int mode);
// Where TrackBarMafNach goes when a mode is chosen (modes 1..7), else nothing.
std::optional<int> modeWindowPosition(const Table &table, int mode);

// ---- the panel's value texts -----------------------------------------------------
struct PanelValues {
    QString max, min, kick, idleSwitch, fullSwitch, auxMin, auxMax, ref;
};
PanelValues panelValues(const Table &table);
// "TPS signal smoothing: 100" (the prefix follows the language).
QString smoothingLabel(int percent, bool russian = false);

// ---- window track bars by mode ------------------------------------------------------
// The window start moved in an edit mode: modes 5..7 hold it against Kick,
// Min and Max, modes 1..4 write it into the image (switch points, auxiliary
// pair). Call after TWindowState::setWindowStart/End; w's start and end are
// set to the position the window shows.
void windowStartMoved(Table &table, TWindowState &w);

// ---- auxiliary output (modes 3 and 4) ---------------------------------------------------
using AuxSnapshot = std::array<int, 4>; // slots 273..276
AuxSnapshot auxSnapshot(const Table &table);
// The correction moves the mode's output code from the snapshot (0..255);
// the other three slots take their snapshot values.
void auxCorrection(Table &table, int mode, const AuxSnapshot &snapshot, int correction);

// ---- smoothing (mode 8) and reference voltage (mode 9) --------------------------------------
int limitSmoothing(int percent); // 0..100, the track bar's range

} // namespace kma
