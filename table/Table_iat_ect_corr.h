#pragma once
// Table: the model of one or two 392-slot table images with their editing
// state (anchor marks, learned points), parameters, reference voltage,
// operating point and undo history. Free of widgets: the window passes the
// state of its controls in (TWindowState) and binds its views and edit boxes
// through the small interfaces below.
#include "link/DeviceInfo.h"
#include "table/TableCommon.h"
#include "table/TableHistory.h"
#include "table/TableParams.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// Anything that draws a table (table chart, compare chart, dashboard chart).
class TableView {
public:
    virtual ~TableView() = default;
    virtual void refresh() = 0;
};

// What a change did to a table, for the views that show it: slots or
// editing state changed in place, or the image was replaced whole (a read,
// a file, undo, redo, one-to-one), after which every shown value is stale.
enum class TableChange { Slots, Image };

// Editable series of the table charts, by their titles.
enum class TableSeries { None, Tab1, IATCorr, ECTCorr, Trained, Tab2, IATCorr2, ECTCorr2 };
TableSeries tableSeriesFromTitle(const QString &title);

// Edit modes of the window (one integer for the whole window).
enum EditMode {
    EditMain = 0, EditIdleSw, EditFullSw, EditAuxMin, EditAuxMax,
    EditMax, EditMin, EditKick, EditSmoothing, EditRefVoltage
};

enum class TempTarget { IAT, ECT };

// Latest live values handed over by the log for the dashboard.
struct TOperatingPoint {
    int inputCode = 0;
    int outputCode = 0;
    int auxOutput = 0;
    int iatCode = 0;
    int ectCode = 0;
    int iatCorr = 0;
    int ectCorr = 0;
    int further = 0; // 255 once a dashboard is bound
};

// Window controls that the operations read and may change. The window fills
// it from its controls before a call and writes the changed fields back
// (track bars, UpDownCorrection and the log's copy of the correction, button
// states) afterwards.
struct TWindowState {
    int windowStart = 0;        // TrackBarMafNach
    int windowEnd = 255;        // TrackBarMafKon
    int correction = 0;         // UpDownCorrection, -255..255
    int editMode = EditMain;
    int mafWindowStart = 0;     // MAF correction window start (kept in config.cfg)
    bool applyArmed = false;    // set after every apply to table
    bool recording = false;     // live recording runs (ActionStart disabled)
    bool manualBorders = false; // SpeedButtonManualBorders ("F8") down
    bool aplToTableDown = true; // SpeedButtonAplToTable down
    bool autocorrDown = false;  // SpeedButtonAutocorr down
    bool autocorrEnabled = true;
    // Output: the operation released SpeedButtonAutocorr; the window runs its
    // click handler (autotuning off).
    bool autocorrReleased = false;

    // Track-bar coupling: in edit modes 1..7 start and end move together,
    // otherwise the start may not pass the end (and the end not the start).
    void setWindowStart(int position);
    void setWindowEnd(int position);
};

class Table {
public:
    Table();
    Table(const Table &) = delete;
    Table &operator=(const Table &) = delete;

    // ---- images and editing state --------------------------------------
    // which: 2 = image 2, any other value = image 1.
    TImage &image(int which) { return which == 2 ? image2_ : image1_; }
    const TImage &image(int which) const { return which == 2 ? image2_ : image1_; }
    TImage &marks(int which) { return which == 2 ? marks2_ : marks1_; }
    const TImage &marks(int which) const { return which == 2 ? marks2_ : marks1_; }
    TPointArray &learnedMarks() { return lmarks_; }
    const TPointArray &learnedMarks() const { return lmarks_; }
    TPointArray &learnedValues() { return learned_; }
    const TPointArray &learnedValues() const { return learned_; }
    int slot(int index) const { return image1_.at(static_cast<size_t>(index)); }
    void setSlot(int index, int value) { image1_.at(static_cast<size_t>(index)) = value; }
    // Byte(n): low byte of image-1 slot n, unsigned.
    int byteAt(int index) const { return tbl::lowByte(slot(index)); }
    // The low bytes of an image, as sent to the device or saved.
    QByteArray imageBytes(int which) const;

    // ---- scalars ---------------------------------------------------------
    bool descending() const { return descending_; }
    void setDescending(bool on) { descending_ = on; }         // SpeedButtonToyota ("F9")
    bool extrapolateEnds() const { return extrapolateEnds_; }
    void setExtrapolateEnds(bool on) { extrapolateEnds_ = on; } // RadioButtonIntEndsOn/Off
    int learnedStart() const { return learnedStart_; }
    int maxMafPosition() const { return maxMaf_; }
    void setMaxMafPosition(int code);
    int maxMafAnywayPosition() const { return maxMafAnyway_; }
    void setMaxMafAnywayPosition(int code);
    bool trainedShown() const { return trainedShown_; }
    bool interpolateButton() const { return interpolateButton_; }

    // Reference voltage: clamped to 0..15 V (NaN gives 0), written as a
    // little-endian float into slots 277..280; read back from those slots, so
    // it follows reads, file loads and undo too.
    void setReferenceVoltage(float volts);
    float referenceVoltage() const;

    // Live correction last sent and the window it applies to.
    int correctionValue() const { return correctionValue_; }
    int correctionWindowStart() const { return corrWindowStart_; }
    int correctionWindowEnd() const { return corrWindowEnd_; }
    void setLiveCorrection(int value, int windowStart, int windowEnd);

    const TOperatingPoint &operatingPoint() const { return operatingPoint_; }
    void setOperatingPoint(const TOperatingPoint &point); // refreshes the dashboard

    QString lastFileName() const { return lastFileName_; }
    void setLastFileName(const QString &name) { lastFileName_ = name; }
    // Values of the last identification made while connected.
    TDeviceInfo identification;

    // Quick write of image 1 to the unit's working memory, filled in by the
    // owner of the serial link. Called at the end of apply to table, the F7
    // command, the start of recording and the IAT/ECT corrections; empty
    // (nothing sent) by default.
    std::function<void()> quickWriteHook;

    // What the unit holds in its working memory, as far as this program
    // knows: set by a read, a full write and a quick write; empty when unknown.
    const QByteArray &unitImage() const { return unitImage_; }
    void setUnitImage(const QByteArray &bytes) { unitImage_ = bytes; }
    void forgetUnitImage() { unitImage_.clear(); }

    // ---- edits -------------------------------------------------------------
    // A user gesture (a key from press to release, a mouse press to release,
    // a double click, a button, a menu command) is one edit. Between
    // beginEdit and the matching endEdit the operations' own snapshots and
    // sends are held back; the outermost endEdit takes one snapshot of the
    // final state (when it differs from the history's current record) and
    // sends image 1 with the quick write when the unit does not hold it
    // already. beginEdit first records a state that the history lacks, so
    // undo always comes back to the bytes before the gesture.
    void beginEdit();
    void endEdit();
    bool editing() const { return editDepth_ > 0; }
    // Image 1 to the unit now, or at the end of the edit under way.
    void sendImage() { quickWrite(); }

    // Views and panels that show the table; called after every refresh.
    void observe(std::function<void(TableChange)> observer) { observers_.push_back(std::move(observer)); }
    // An image was replaced whole (which: 1, 2, or 0 for both): its
    // parameters shown again, views refreshed, observers told.
    void imageReplaced(int which = 0);

    // Whether slots 264..391 hold temperature corrections (the air-flow
    // converter) rather than the throttle sensor's settings. Off: the views
    // neither draw nor offer the corrections.
    bool temperatureCorrections() const { return temperatureCorrections_; }
    void setTemperatureCorrections(bool on) { temperatureCorrections_ = on; }

    // ---- views and edit boxes --------------------------------------------
    // Set up table view: binds the chart and image 1's edit boxes (null keeps
    // the table's own texts), sets image 1's default parameters, shows them,
    // refreshes and takes the first snapshot.
    void setUpTableView(TableView *chart, bool showTrained, bool interpolateButton, tbl::ParamFields *fields);
    // Set up second image: binds image 2's edit boxes, default parameters, show, refresh.
    void setUpSecondImage(tbl::ParamFields *fields);
    // Binding a dashboard makes it refresh with the table; operating point's further value := 255.
    void setDashboardView(TableView *dashboard);
    bool dashboardPresent() const { return dashboard_ != nullptr; }
    tbl::ParamFields &paramFields(int which);
    void refresh();          // table chart and, if bound, dashboard
    void refreshDashboard(); // dashboard only

    // ---- parameters ------------------------------------------------------
    void setDefaultParameters(int which);
    void showParameters(int which);
    void readParameters(int which); // slot 263 := 255 whatever the box holds
    void readParameter(int which, int param); // one box into its slot

    // ---- device image (the transfer itself belongs to the link) ----------
    // Stores a 392-byte image read from the unit into image 1, rebuilds the
    // learned values, shows image 1's parameters, refreshes and snapshots.
    // False (nothing changed) for any other length.
    bool acceptImageFromDevice(const QByteArray &bytes);

    // ---- undo history ----------------------------------------------------
    void takeSnapshot();
    bool undo(); // restore and refresh; false while the history is empty
    bool redo();
    const TUndoHistory &history() const { return history_; }
    TUndoHistory &history() { return history_; }
    TBufUndoRedo currentState() const;
    void restoreState(const TBufUndoRedo &state);
    // "UndoRedoHistory.his" in folder (empty = working folder). Silent; the
    // table's arrays are not touched by a load.
    bool saveHistory(const QString &folder = QString(), QString *reason = nullptr) const;
    bool loadHistory(const QString &folder = QString());
    static QString historyPath(const QString &folder);

    // ---- operations ------------------------------------------------------
    // One-to-one table; refVolts empty keeps the previous reference voltage.
    // Sets w.mafWindowStart to 0. Label text: tbl::refVoltageLabel(referenceVoltage()).
    void oneToOne(TWindowState &w, std::optional<float> refVolts = std::nullopt);
    // Button1: default parameters of image 1, shown, refresh.
    void defaultParametersCommand();
    // Edit one point from a table chart: Shift/Ctrl rules, limits, refresh, snapshot.
    void editPoint(TableSeries series, int index, int value, bool shift, bool ctrl);
    // Edit a conversion point from the log chart: as "Tab1" without Shift,
    // index and value not limited (an index outside the image is ignored).
    void editPointFromLog(int index, int value, bool shift = false, bool ctrl = false);
    void markedInterpolation(bool extrapolate, int pivot, bool descending);
    void learnedInterpolation(bool extrapolate, int pivot, bool descending);
    // Set beginning of table as learned (end point n, correction c).
    void setBeginningAsLearned(int n, int c, bool reset);
    // F7 (SpeedButtonSetBeginOfTableAsLearned), model part: the window moves
    // TrackBarMafKon before and puts it back after.
    void setBeginOfTableAsLearnedCommand(TWindowState &w);
    // Live recording starts: beginning up to the MAF window start as learned.
    void recordingStarted(TWindowState &w);
    // Mode 0/3: shift and learn the window; 1: only its middle (a commit of
    // live data, see spreadLiveCommit); 2: shift only.
    void applyCorrectionToWindow(int c, int a, int b, int mode);
    // A live commit's change at point m, spread over its neighbours: it falls
    // off linearly to nothing at the nearest learned point on each side, or
    // kLiveCommitReach codes beyond the window a..b, whichever is nearer.
    // Nothing else is redrawn, so a curve tuned earlier (in this session or
    // read from the unit) keeps its shape wherever this commit does not reach.
    static constexpr int kLiveCommitReach = 8;
    void spreadLiveCommit(int m, int change, int a, int b);
    // SpeedButtonAplToTable (acts only while w.aplToTableDown).
    void applyToTable(TWindowState &w);
    void setKick(int x);
    // Points below Min take Min's output, above Max take Max's, and lose
    // their learned mark; points strictly between Kick and Max lose it too.
    // Refused (false, nothing changed) while Max is not above Min: every
    // point would take one output and the characteristic would be flat.
    bool applyMinMaxLimits();
    // Max or Min to an input code, as apply to table and the dashboard's
    // double click set them: Max not below Min, Min not above Max, Kick
    // pulled along when the new point passes it; the point is learned.
    void setMax(int x);
    void setMin(int x);
    bool addLearnedPoint(int x);
    bool removeLearnedPoint(int x);
    void rebuildLearned();
    int nextLearnedPoint(int x, bool upwards) const;
    void clearLearned(int a, int b);
    // "O" (SpeedButtonClrCorrWindow); false when its guard stopped it.
    bool clearCorrectionWindowCommand(TWindowState &w);
    // "P" (ButtonClrAllLearned).
    void clearAllLearnedCommand(TWindowState &w);
    // "F8" toggled: correction 0; a down SpeedButtonAutocorr is released.
    void manualBordersCommand(TWindowState &w, bool down);

    // ---- temperature corrections ------------------------------------------
    static int correctionSlot(TempTarget target, int sensorCode); // 264 + code/4 or 328 + code/4
    int correctionAt(TempTarget target, int sensorCode, int which = 1) const; // signed
    // SpeedButtonApplyCorrToIat / SpeedButtonApplyCorrToECT with correction c.
    // Without recording only autotuning is released; returns whether a slot changed.
    bool applyTemperatureCorrection(TempTarget target, int c, TWindowState &w);

private:
    enum class Anchors { Marked, Learned };
    void interpolate(Anchors anchors, bool extrapolate, int pivot, bool descending);
    void quickWrite();
    void notify(TableChange change);
    void commitEdit();
    // A snapshot of the state unless the history's current record holds it already.
    void snapshotIfNew();

    TImage image1_{};
    TImage image2_{};
    TImage marks1_{};
    TImage marks2_{};
    TPointArray lmarks_{};
    TPointArray learned_{};

    bool descending_ = false;
    bool extrapolateEnds_ = false;
    int learnedStart_ = 0;
    int maxMaf_ = 0;
    int maxMafAnyway_ = 0;
    bool trainedShown_ = false;
    bool interpolateButton_ = false;
    int correctionValue_ = 0;
    int corrWindowStart_ = 0;
    int corrWindowEnd_ = 0;
    TOperatingPoint operatingPoint_;
    QString lastFileName_;

    TableView *chart_ = nullptr;
    TableView *dashboard_ = nullptr;
    tbl::TextParamFields ownFields_[2];
    tbl::ParamFields *fields_[2] = {nullptr, nullptr};

    TUndoHistory history_;
    QByteArray unitImage_;
    QByteArray imageAtBegin_;
    bool sendRequested_ = false;
    bool restored_ = false; // undo or redo restored the image since the edit began
    int editDepth_ = 0;
    bool temperatureCorrections_ = false;
    std::vector<std::function<void(TableChange)>> observers_;
};

// One edit for the life of a scope (a button, a menu command, a double click).
class TableEdit {
public:
    explicit TableEdit(Table &table) : table_(table) { table_.beginEdit(); }
    ~TableEdit() { table_.endEdit(); }
    TableEdit(const TableEdit &) = delete;
    TableEdit &operator=(const TableEdit &) = delete;

private:
    Table &table_;
};
