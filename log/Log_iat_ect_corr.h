#pragma once
// Log: the in-memory recording of the live stream (fourteen columns, one
// record per frame, record i lying i x 10 ms after the start) and everything
// that runs while it records: start and stop sequences, the 100 ms live tick
// (dashboard record, operating point, live autocorrection), the view that the
// log chart shows, magic learn and the log files.
//
// Threads: the reader (TLogThread) appends records; everything else runs on
// the thread the Log lives on (the user-interface thread). Records live in
// fixed-size chunks that never move, and the record count is published after
// all fourteen values of a record are written, so the live tick reads the
// newest complete records without a lock and the reader never waits for it.
// A small mutex only orders appends against clearing, start and stop.
//
// A new recording goes into a store of its own and replaces the records held
// only when its first record arrives (on the Log's thread), so a start that
// gets nothing from the unit keeps the previous recording and its chart.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <QObject>
#include <QString>

#include "link/Logthread_.h"
#include "link/Ziravbroadcaster.h"
#include "log/RecordingKeeper.h"

class QTimer;
class TRXTX;
class Table;
struct TTpsCalibration;

enum LogColumn : int {
    ColConverter = 0,
    ColMarker,
    ColAuxOut,
    ColMaf,
    ColTps,
    ColRpmPeriod,
    ColO2,
    ColCorr,
    ColIat,
    ColEct,
    ColAuxSlot2,
    ColAuxSlot3,
    ColO2SM,
    ColLogCorr,
    kLogColumns
};

// Series titles of the log chart, by column.
const char *logColumnName(int column);

using TLogRecord = std::array<std::int32_t, kLogColumns>;

// Append-only column store: one writer appends while other threads read
// records below count(). Storage never moves, so no reader sees a resize.
class TLogColumns {
public:
    static constexpr int kChunkBits = 12;
    static constexpr int kChunkSize = 1 << kChunkBits;
    // 24 hours of records at 100 a second (about 480 MB in memory); a log
    // file longer than that is refused, so whatever is recorded loads again.
    static constexpr int kMaxRecords = 24 * 3600 * 100;
    static constexpr int kMaxChunks = (kMaxRecords + kChunkSize - 1) / kChunkSize;

    TLogColumns();
    ~TLogColumns();
    TLogColumns(const TLogColumns &) = delete;
    TLogColumns &operator=(const TLogColumns &) = delete;

    int count() const { return count_.load(std::memory_order_acquire); }
    std::int32_t at(int column, int i) const
    {
        return chunks_[std::size_t(i >> kChunkBits)]->v[column][i & (kChunkSize - 1)];
    }
    void set(int column, int i, std::int32_t value)
    {
        chunks_[std::size_t(i >> kChunkBits)]->v[column][i & (kChunkSize - 1)] = value;
    }
    // Writes the record, then publishes it. False when kMaxRecords are held.
    bool append(const TLogRecord &record);
    // Only while nobody appends or reads.
    void clear();

private:
    struct Chunk {
        std::int32_t v[kLogColumns][kChunkSize];
    };
    std::vector<std::unique_ptr<Chunk>> chunks_; // sized once, never resized
    std::atomic<int> count_{0};
};

// Settings handed over by the window (signed 32-bit where not marked).
struct TLogSettings {
    int o2RefLive = 0;       // TrackBarRefO2 value
    int o2RefLearn = 147;    // the same bar, for magic learn and the chart
    int o2Target = 0;        // TrackBarLogO2Target value
    int mafLimit = 0;        // LogLimitTrackBar, as the lock allows
    int fastWindow = 0;      // TrackBarB value b: window b samples,
    int fastPeriod = 2;      //   evaluation every b / 10 ticks
    int fineWindow = 0;      // TrackBarT value t likewise
    int finePeriod = 4;
    int maxMafSpread = 10;   // UpDown1
    int forcedIdleRpm = 1200; // MaskEditForcedIdleRpm
    int forcedIdleTps = 2;   // MaskEditForcedIdleTps, percent
    bool descending = false; // SpeedButtonToyota ("F9") down
    bool autocorrection = false; // SpeedButtonAutocorr down
    bool wotSmoothing = false;   // CheckBoxWotCorr checked
    // How long the oxygen reading trails the mixture; -1: the sensor type's own.
    int sensorLagMs = -1;
    // No learning while the coolant lamp says COLD (off where no coolant
    // sensor is wired and the input floats).
    bool waitForWarmEngine = true;
};

// What the Start command hands over before it broadcasts start live data.
// Track-bar values are Max + Min - Position.
struct TStartSettings {
    int maxMafSpread = 10;
    bool descending = false;
    bool autocorrection = false;
    int forcedIdleRpm = 1200;
    int forcedIdleTps = 2;
    int trackBarB = 0;
    int trackBarT = 0;
    int trackBarRefO2 = 0;
};

// State of the live autocorrection, kept for the program's lifetime (not
// reset when a recording starts).
struct TAutotuneState {
    std::int32_t crossings = 0;          // 0: fast phase, above 0: fine phase
    std::int32_t previousAverage = 1024; // 1024: none yet
    std::uint32_t tickCounter = 0;
    std::uint32_t period = 2;
    // The dwell the fine phase holds: the record it began at (-1: none) and
    // the band's middle then. A commit takes the mean correction since then.
    int fineStart = -1;
    int fineMiddle = -1;
    // Ticks in a row a learned band's mixture has stayed off the reference.
    int offTicks = 0;
    // The reason of the last request (a change of it is news to the user).
    int reason = 0;
    // Samples gathered while passing through, per group of four input codes:
    // the sum of the correction each sample asks for, and how many there are.
    struct Cell {
        double sum = 0;
        int hits = 0;
    };
    std::array<Cell, 64> cells{};
    int gatheredUpTo = -1; // newest record the step has seen (the tick skips the step without a newer one)
};

// One entry of the log chart's view history.
struct TZoomBufer {
    int first = 0;
    int last = 0;
    double timeMin = 0; // ms
    double timeMax = 0;
    double valueMin = -30;
    double valueMax = 300;
};

// The log chart as the Log drives it; the window's chart implements it.
class LogChartView {
public:
    virtual ~LogChartView() = default;
    // Draw records from, from + step, ... up to to (series of the chart).
    virtual void rebuild(int from, int to, int step) = 0;
};

class Log : public QObject, public TSubscriber, public TFrameSink {
    Q_OBJECT
public:
    static constexpr int kTickMs = 100;
    static constexpr int kMinDrawnRecords = 118;
    static constexpr int kAutotuneMinRecords = 121;

    // Subscribes itself to the broadcaster (third, after the window and the channel).
    Log(TTpsCalibration &tps, TRXTX &channel, TZiravBroadcaster &broadcaster, QObject *parent = nullptr);
    ~Log() override;
    Log(const Log &) = delete;
    Log &operator=(const Log &) = delete;

    // The log chart (may be null) and the main table (may be null: no
    // operating point, no learned points, no magic learn).
    void setUpView(LogChartView *chart, Table *mainTable);
    // 32771 starts recording with the record's sensor type, 32772 stops it.
    void handleMessage(TMessage &message) override;
    // Stops a recording and waits for every reader to end. The window calls
    // it before it releases the serial channel.
    void shutdown();
    // Waits for readers already asked to end, so that nothing reads the port
    // any more (before a close, a reopen or a long exchange).
    void waitForReaders() { reapReaders(true); }

    // ---- records -----------------------------------------------------------
    int count() const { return columns_->count(); }
    // Record i (below count()) of a column.
    std::int32_t value(int column, int i) const { return columns_->at(column, i); }
    // UI thread only, i below count(); the reader only writes new records.
    void setValue(int column, int i, std::int32_t v) { columns_->set(column, i, v); }
    TLogRecord record(int i) const;
    // AuxSlot2 and AuxSlot3 are empty after a file load.
    int columnLength(int column) const;
    // Empties all columns (refused while recording).
    bool clear();
    // Appends a record outside a recording (file loads, tools, tests).
    bool addRecord(const TLogRecord &record);

    // ---- the reader's side (thread-safe) -------------------------------------
    // Appends one record of stream `stream`; records of a stream that has
    // been stopped are dropped.
    bool appendRecord(const TLogRecord &record, std::uint64_t stream);
    // A checked frame as a record: O2 converted for the sensor type, the
    // marker and correction in force, the four multiplexed slots.
    static TLogRecord frameRecord(const proto::LiveFrame &frame, const std::array<int, 4> &mux, int sensorType,
                                  int marker, int correction);
    void frameReceived(const proto::LiveFrame &frame, const std::array<int, 4> &mux,
                       std::uint64_t stream) override;
    // The stream's first complete frame arrived.
    void streamConfirmed(std::uint64_t stream) override;
    // Hands the end of a stream to the UI thread: the error text (if any) is
    // shown there, then stop live data is broadcast once, if that stream is
    // still the one recording, and streamStopped tells why.
    void streamEnded(std::uint64_t stream, const TStreamEnd &end) override;
    // Why the last stream ended by itself; empty when it was stopped or still runs.
    QString lastStopReason() const { return lastStopReason_; }
    TRXTX &channel() { return channel_; }
    std::int32_t correctionValue() const { return correction_.load(std::memory_order_relaxed); }
    bool marker() const { return marker_.load(std::memory_order_relaxed); }

    // ---- settings (UI thread) -------------------------------------------------
    const TLogSettings &settings() const { return settings_; }
    int sensorType() const { return sensorType_; }
    // ComboBoxO2 changed while no recording runs: a loaded log is read with
    // the type selected at the time. (A recording keeps its start's type.)
    void setSensorType(int type)
    {
        if (!recording_)
            sensorType_ = type;
    }
    // Start command, step 4.
    void setStartSettings(const TStartSettings &s);
    void setCorrectionValue(int v) { correction_.store(v, std::memory_order_relaxed); }
    // While set, records take 128 in Marker (for instance while Space is held).
    void setMarker(bool on) { marker_.store(on, std::memory_order_relaxed); }
    void setO2Reference(int v); // both references; redraws a log with data
    void setO2Target(int v);
    void setMafLimit(int v);
    void setTrackBarB(int b); // fast window b, period b / 10
    void setTrackBarT(int t); // fine window t, period t / 10
    void setMaxMafSpread(int v) { settings_.maxMafSpread = v; }
    // How long the O2 reading trails the mixture; -1: the sensor type's own.
    void setSensorLagMs(int ms) { settings_.sensorLagMs = ms; }
    void setWaitForWarmEngine(bool on) { settings_.waitForWarmEngine = on; }
    void setForcedIdle(int rpm, int tpsPercent);
    void setDescending(bool on) { settings_.descending = on; }
    // SpeedButtonAutocorr clicked: its down state and CheckBoxWotCorr.
    void setAutocorrection(bool on, bool wotSmoothing);

    // ---- state -----------------------------------------------------------------
    bool hasData() const { return hasData_.load(); }
    bool recording() const { return recording_; }
    // The records held are those of the last stream started: false from a
    // start until its first record arrives, and after a stream that brought
    // none (the previous recording is then still held).
    bool holdsLastStream() const { return holdsLastStream_; }
    bool stopped() const { return stopped_; }
    int previousTpsPercent = 0;
    int smoothingCountdown = 21;
    TAutotuneState &autotune() { return autotune_; }
    const TAutotuneState &autotune() const { return autotune_; }
    TTpsCalibration &tpsCalibration() { return tps_; }
    int tpsPercent(int i); // TPS percent of record i
    int rpm(int i) const;  // RPM of record i
    TZiravBroadcaster &broadcaster() { return broadcaster_; }
    Table *table() const { return table_; }

    // ---- view ------------------------------------------------------------------
    int visibleFirst() const { return visibleFirst_; }
    int visibleLast() const { return visibleLast_; }
    void setVisibleRange(int first, int last);
    int decimationStep() const { return decimationStep_; }
    QString resolutionText() const { return resolutionText_; }
    int maxMafInLog() const { return maxMafInLog_; }
    const std::vector<TZoomBufer> &viewHistory() const { return viewHistory_; }
    std::vector<TZoomBufer> &viewHistory() { return viewHistory_; }
    TZoomBufer axisLimits() const { return axes_; }
    // Visible range 0 .. count - 2, MaxMafInLog, axis limits, view history emptied.
    void prepareView();
    // O2SM := the 40-record moving average of O2 for records 30 .. count - 3
    // (stop sequence); records whose window reaches past the last record take
    // the average of the records that exist.
    void computeO2SM();
    // Decimation step and resolution text for showing n records.
    void setDecimation(int n);
    // Rebuilds the chart with the current step if the log has data.
    void redraw();
    // Rebuilds with step a (nothing while recording or below 118 records).
    void rebuild(int a);
    // Pushes records 0 .. count - 1 with the current axis limits.
    void pushFullView();

    // ---- live ------------------------------------------------------------------
    // The 100 ms tick (the timer runs it while recording; tools may call it).
    void liveTick();
    // Average of the last n O2 values (truncated); the last value when the
    // log has fewer than n records. Needs a record.
    int o2Average(int n) const;

    // ---- magic learn (Autotune.cpp) -------------------------------------------
    // SpeedButtonLogMagicLearn: ComboBoxO2's index and SpeedButtonToyota's state.
    void magicLearn(int sensorType, bool descending);

    // ---- log files (LogFile.cpp) ------------------------------------------------
    // Save: ".log" appended unless the name ends with it; written to a
    // temporary file that replaces the old one only once complete. Returns
    // whether a file was written; failures, and an empty log, are shown as
    // messages.
    bool saveToFile(const QString &fileName);
    // The log file's pieces: its 15-byte header, and records first..last-1
    // as 15 bytes each from out on (the recording keeper writes them too).
    static constexpr int kFileRecordSize = 15;
    QByteArray fileHeader() const;
    void encodeFileRecords(int first, int last, char *out) const;
    // Load: replaces the records (refused while recording). Returns whether
    // the file could be opened and read.
    bool loadFromFile(const QString &fileName);
    // The name a save writes to.
    static QString logFileName(const QString &fileName);

    // ---- header bytes kept from a loaded file ----------------------------------
    std::uint8_t headerA = 0;
    std::uint8_t headerB = 0;

    // ---- reader figures of the last stream --------------------------------------
    int lastStreamBadFrames() const;

    // Where every recording is kept as it arrives ("" keeps none).
    void setRecordingsFolder(const QString &folder) { keeper_.setFolder(folder); }
    // The file the running (or last) recording is kept in, "" for none.
    QString keptRecording() const { return keeper_.path(); }

signals:
    // The stream ended by itself (silence, bad frames, port error): why.
    void streamStopped(const QString &reason);
    // A recording's first records are on disk in path.
    void recordingKept(const QString &path);

private:
    void startRecording(int sensorType);
    void stopRecording();
    void reapReaders(bool wait);
    void onStreamEnded(std::uint64_t stream, const TStreamEnd &end);
    // UI thread: the new stream's records replace the shown ones once it has one.
    void adoptIncoming();
    // At the end of a recording: adopts the new records, or drops an empty
    // store and keeps the previous recording. True when the new one is shown.
    bool settleIncoming();
    // Writes the records not yet kept; a disk error ends the keeping (with
    // one message), never the stream.
    void keepRecords();
    void endKeeping();

    TTpsCalibration &tps_;
    TRXTX &channel_;
    TZiravBroadcaster &broadcaster_;
    Table *table_ = nullptr;
    LogChartView *chart_ = nullptr;
    QTimer *timer_ = nullptr;

    // Shown records; the pointer changes only on the UI thread, under appendMutex_.
    std::unique_ptr<TLogColumns> columns_ = std::make_unique<TLogColumns>();
    // The recording's store until its first record is adopted (under appendMutex_).
    std::unique_ptr<TLogColumns> incoming_;
    bool hadDataBefore_ = false; // hasData_ of the records held when the recording started
    bool holdsLastStream_ = false;
    std::mutex appendMutex_;
    std::uint64_t acceptingStream_ = 0; // under appendMutex_; 0 = none
    std::uint64_t streamCounter_ = 0;
    std::uint64_t currentStream_ = 0;   // UI thread: the recording's stream
    bool auxSlotsPresent_ = false;

    std::atomic<std::int32_t> correction_{0};
    std::atomic<bool> marker_{false};
    std::atomic<bool> hasData_{false};
    std::atomic<int> streamSensorType_{0}; // the recording's type, read by the reader

    TLogSettings settings_;
    int sensorType_ = 0;
    bool recording_ = false;
    bool stopped_ = true;
    TAutotuneState autotune_;

    int visibleFirst_ = 0;
    int visibleLast_ = -1;
    int decimationStep_ = 1;
    QString resolutionText_ = QStringLiteral("0.01s");
    int maxMafInLog_ = 0;
    TZoomBufer axes_;
    std::vector<TZoomBufer> viewHistory_;

    std::unique_ptr<TLogThread> reader_;
    std::vector<std::unique_ptr<TLogThread>> retired_;
    int lastBadFrames_ = 0;
    RecordingKeeper keeper_;
    int kept_ = 0; // records of this recording written to its file
    QString lastStopReason_;
};

// Decimation step for showing n records: n / 430, at least 1.
int decimationStepFor(int n);
// "0.01s" below step 2, else the step as seconds with two decimals ("1.16s").
QString resolutionTextFor(int step);
// Time text "h:m:s:z" of record i (10 ms per record).
QString logTimeText(int i);
// The TPS text of the dashboard: "123N2.41V".
QString tpsText(int raw);
