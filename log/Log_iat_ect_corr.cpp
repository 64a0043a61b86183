#include "log/Log_iat_ect_corr.h"

#include <algorithm>
#include <cmath>

#include <QMetaObject>
#include <QTimer>

#include "link/DeviceInfo.h"
#include "link/Logthread_.h"
#include "link/MessageSink.h"
#include "link/Protocol.h"
#include "link/Rxtx.h"
#include "log/Autotune.h"
#include "log/Oxygensensor.h"
#include "table/Table_iat_ect_corr.h"
#include "throttle/TpsCalibration.h"

// ---------------------------------------------------------------- helpers

const char *logColumnName(int column)
{
    static const char *const names[kLogColumns] = {"Converter", "Marker", "AuxOut", "MAF",      "TPS",
                                                   "RpmPeriod", "O2",     "Corr",   "IAT",      "ECT",
                                                   "AuxSlot2",  "AuxSlot3", "O2SM", "LogCorr"};
    return column >= 0 && column < kLogColumns ? names[column] : "";
}

int decimationStepFor(int n)
{
    return std::max(1, n / 430);
}

QString resolutionTextFor(int step)
{
    if (step < 2)
        return QStringLiteral("0.01s");
    const int hundredths = step % 100;
    return QString::number(step / 100) + (hundredths < 10 ? QStringLiteral(".0") : QStringLiteral("."))
           + QString::number(hundredths) + QLatin1Char('s');
}

QString logTimeText(int i)
{
    return QString::number(i / 360000) + QLatin1Char(':') + QString::number((i % 360000) / 6000)
           + QLatin1Char(':') + QString::number((i % 6000) / 100) + QLatin1Char(':')
           + QString::number((i % 100) * 10);
}

QString tpsText(int raw)
{
    return QString::number(raw) + QLatin1Char('N') + shortestDecimal(raw * 5.0 / 255.0, 2) + QLatin1Char('V');
}

// ---------------------------------------------------------------- columns

TLogColumns::TLogColumns() : chunks_(kMaxChunks) {}

TLogColumns::~TLogColumns() = default;

bool TLogColumns::append(const TLogRecord &record)
{
    const int n = count_.load(std::memory_order_relaxed);
    const std::size_t chunk = std::size_t(n >> kChunkBits);
    if (chunk >= chunks_.size())
        return false;
    if (!chunks_[chunk])
        chunks_[chunk] = std::make_unique<Chunk>();
    const int at = n & (kChunkSize - 1);
    for (int c = 0; c < kLogColumns; ++c)
        chunks_[chunk]->v[c][at] = record[std::size_t(c)];
    // Publishes the whole record at once.
    count_.store(n + 1, std::memory_order_release);
    return true;
}

void TLogColumns::clear()
{
    count_.store(0, std::memory_order_release);
    for (auto &chunk : chunks_) {
        if (!chunk)
            break; // chunks are filled in order
        chunk.reset();
    }
}

// ---------------------------------------------------------------- Log

Log::Log(TTpsCalibration &tps, TRXTX &channel, TZiravBroadcaster &broadcaster, QObject *parent)
    : QObject(parent), tps_(tps), channel_(channel), broadcaster_(broadcaster)
{
    timer_ = new QTimer(this);
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &Log::liveTick);
    broadcaster.subscribe(this);
}

Log::~Log()
{
    shutdown();
}

void Log::shutdown()
{
    timer_->stop();
    {
        std::lock_guard<std::mutex> lock(appendMutex_);
        acceptingStream_ = 0;
    }
    currentStream_ = 0;
    recording_ = false;
    stopped_ = true;
    if (reader_) {
        reader_->terminate();
        retired_.push_back(std::move(reader_));
    }
    reapReaders(true);
    settleIncoming();
    endKeeping();
}

void Log::setUpView(LogChartView *chart, Table *mainTable)
{
    chart_ = chart;
    table_ = mainTable;
}

void Log::handleMessage(TMessage &message)
{
    if (message.id == kMsgStartLiveData)
        startRecording(static_cast<TMsgStartLiveData &>(message).sensorType);
    else if (message.id == kMsgStopLiveData)
        stopRecording();
}

TLogRecord Log::record(int i) const
{
    TLogRecord r{};
    for (int c = 0; c < kLogColumns; ++c)
        r[std::size_t(c)] = columns_->at(c, i);
    return r;
}

int Log::columnLength(int column) const
{
    if ((column == ColAuxSlot2 || column == ColAuxSlot3) && !auxSlotsPresent_)
        return 0;
    return count();
}

bool Log::clear()
{
    if (recording_)
        return false;
    std::lock_guard<std::mutex> lock(appendMutex_);
    acceptingStream_ = 0;
    columns_->clear();
    auxSlotsPresent_ = false;
    holdsLastStream_ = false;
    return true;
}

bool Log::addRecord(const TLogRecord &record)
{
    if (recording_)
        return false;
    std::lock_guard<std::mutex> lock(appendMutex_);
    holdsLastStream_ = false;
    return columns_->append(record);
}

bool Log::appendRecord(const TLogRecord &record, std::uint64_t stream)
{
    std::lock_guard<std::mutex> lock(appendMutex_);
    if (stream == 0 || stream != acceptingStream_)
        return false;
    if (!incoming_)
        return columns_->append(record);
    const bool appended = incoming_->append(record);
    // The first record: the Log's thread may now show the new recording.
    if (appended && incoming_->count() == 1)
        QMetaObject::invokeMethod(this, [this] { adoptIncoming(); }, Qt::QueuedConnection);
    return appended;
}

namespace {
QString keepingFailedText(const QString &why)
{
    return QString::fromUtf8("The recording can no longer be kept on disk: %1\nLive data go on; save the log before "
                             "you close the window.\n\nЗапись больше не сохраняется на диск: %1\nДанные продолжают "
                             "поступать; сохраните лог до закрытия окна.")
        .arg(why);
}
} // namespace

void Log::adoptIncoming()
{
    std::unique_ptr<TLogColumns> previous;
    {
        std::lock_guard<std::mutex> lock(appendMutex_);
        if (!incoming_ || incoming_->count() == 0)
            return;
        previous = std::move(columns_);
        columns_ = std::move(incoming_);
        auxSlotsPresent_ = true;
        holdsLastStream_ = true;
    }
    // A recording of this run carries no header bytes of a file loaded before.
    headerA = 0;
    headerB = 0;
    // The previous recording (up to a day of records) is freed outside the lock.
    previous.reset();
    // The new recording is kept from its first record on.
    kept_ = 0;
    if (keeper_.begin(fileHeader())) {
        keepRecords();
        emit recordingKept(keeper_.path());
    } else if (!keeper_.folder().isEmpty()) {
        showMessage(keepingFailedText(keeper_.error()));
    }
}

void Log::keepRecords()
{
    if (!keeper_.active())
        return;
    const int n = count();
    if (n <= kept_)
        return;
    QByteArray bytes(qint64(n - kept_) * kFileRecordSize, '\0');
    encodeFileRecords(kept_, n, bytes.data());
    kept_ = n;
    if (!keeper_.append(bytes))
        showMessage(keepingFailedText(keeper_.error()));
}

void Log::endKeeping()
{
    keepRecords();
    keeper_.end();
}

bool Log::settleIncoming()
{
    adoptIncoming();
    std::unique_ptr<TLogColumns> unused;
    {
        std::lock_guard<std::mutex> lock(appendMutex_);
        if (!incoming_)
            return true;
        unused = std::move(incoming_);
    }
    // Not a single record: the previous recording stays, and with it its chart.
    hasData_.store(hadDataBefore_);
    return false;
}

TLogRecord Log::frameRecord(const proto::LiveFrame &f, const std::array<int, 4> &mux, int sensorType,
                            int marker, int correction)
{
    TLogRecord r{};
    r[ColConverter] = f.converter;
    r[ColMarker] = marker;
    r[ColAuxOut] = f.auxOut;
    r[ColMaf] = f.maf;
    r[ColTps] = f.tps;
    r[ColRpmPeriod] = f.period;
    r[ColO2] = o2::recordingValue(f.o2, sensorType);
    r[ColCorr] = correction;
    r[ColIat] = mux[0];
    r[ColEct] = mux[1];
    r[ColAuxSlot2] = mux[2];
    r[ColAuxSlot3] = mux[3];
    r[ColO2SM] = 0;
    r[ColLogCorr] = 0;
    return r;
}

void Log::frameReceived(const proto::LiveFrame &frame, const std::array<int, 4> &mux, std::uint64_t stream)
{
    // sensorType_ does not change while a recording runs.
    appendRecord(frameRecord(frame, mux, streamSensorType_.load(std::memory_order_relaxed), marker() ? 128 : 0,
                             correctionValue()),
                 stream);
}

void Log::streamConfirmed(std::uint64_t stream)
{
    std::lock_guard<std::mutex> lock(appendMutex_);
    if (stream != 0 && stream == acceptingStream_)
        hasData_.store(true);
}

void Log::streamEnded(std::uint64_t stream, const TStreamEnd &end)
{
    // Queued to this object's thread; dropped if the Log is gone by then.
    QMetaObject::invokeMethod(
        this, [this, stream, end] { onStreamEnded(stream, end); }, Qt::QueuedConnection);
}

void Log::onStreamEnded(std::uint64_t stream, const TStreamEnd &end)
{
    // A stream already stopped (Stop pressed, a new start) has ended for
    // that reason, not for this one.
    // The stop comes before the message: a message box runs its own event
    // loop, and the live tick must not go on correcting from the last data
    // while the user reads it.
    const bool stop = end.sendStop && recording_ && stream == currentStream_;
    if (stop) {
        lastStopReason_ = streamEndReason(end);
        TMsgStopLiveData message;
        broadcaster_.broadcast(message);
    }
    if (!end.errorText.isEmpty())
        channel_.reportPortMessage(end.errorText, end.portLost);
    if (stop)
        emit streamStopped(lastStopReason_);
}

void Log::setStartSettings(const TStartSettings &s)
{
    settings_.maxMafSpread = s.maxMafSpread;
    settings_.descending = s.descending;
    settings_.autocorrection = s.autocorrection;
    settings_.forcedIdleRpm = s.forcedIdleRpm;
    settings_.forcedIdleTps = s.forcedIdleTps;
    setTrackBarB(s.trackBarB);
    setTrackBarT(s.trackBarT);
    settings_.o2RefLive = s.trackBarRefO2;
}

void Log::setO2Reference(int v)
{
    settings_.o2RefLive = v;
    settings_.o2RefLearn = v;
    redraw();
}

void Log::setO2Target(int v)
{
    settings_.o2Target = v;
    redraw();
}

void Log::setMafLimit(int v)
{
    settings_.mafLimit = v;
    redraw();
}

void Log::setTrackBarB(int b)
{
    settings_.fastWindow = b;
    settings_.fastPeriod = b / 10;
}

void Log::setTrackBarT(int t)
{
    settings_.fineWindow = t;
    settings_.finePeriod = t / 10;
}

void Log::setForcedIdle(int rpm, int tpsPercent)
{
    settings_.forcedIdleRpm = rpm;
    settings_.forcedIdleTps = tpsPercent;
}

void Log::setAutocorrection(bool on, bool wotSmoothing)
{
    settings_.autocorrection = on;
    settings_.wotSmoothing = wotSmoothing;
}

int Log::tpsPercent(int i)
{
    return tps_.percent(value(ColTps, i));
}

int Log::rpm(int i) const
{
    return proto::rpmFromPeriod(value(ColRpmPeriod, i));
}

int Log::lastStreamBadFrames() const
{
    return reader_ ? reader_->badFrames() : lastBadFrames_;
}

void Log::reapReaders(bool wait)
{
    for (auto it = retired_.begin(); it != retired_.end();) {
        if (wait || (*it)->isFinished()) {
            (*it)->wait();
            it = retired_.erase(it);
        } else {
            ++it;
        }
    }
}

// ---------------------------------------------------------------- start / stop

void Log::startRecording(int sensorType)
{
    reapReaders(false);
    sensorType_ = sensorType;
    if (reader_) { // a start without a stop: the old stream ends here
        reader_->terminate();
        retired_.push_back(std::move(reader_));
    }
    const std::uint64_t stream = ++streamCounter_;
    {
        std::lock_guard<std::mutex> lock(appendMutex_);
        // The records held stay until the new stream's first record.
        if (!incoming_)
            hadDataBefore_ = hasData_.load();
        incoming_ = std::make_unique<TLogColumns>();
        holdsLastStream_ = false;
        acceptingStream_ = stream;
        hasData_.store(false);
    }
    currentStream_ = stream;
    recording_ = true;
    lastBadFrames_ = 0;
    // The new records count from 0; samples gathered for autotuning belong
    // to the old ones.
    autotune_.gatheredUpTo = -1;
    autotune_.cells.fill({});
    lastStopReason_.clear();
    streamSensorType_.store(sensorType);
    try {
        proto::streamStart(channel_);
    } catch (const std::exception &e) {
        // No stream without a port: the message, then back to the stopped
        // state once everyone has handled this start.
        channel_.reportPortError(e);
        stopped_ = false;
        const QString reason = portLost(e) ? QStringLiteral("the port was lost")
                                           : QStringLiteral("the port did not open");
        QMetaObject::invokeMethod(
            this,
            [this, stream, reason] {
                if (!recording_ || stream != currentStream_)
                    return;
                lastStopReason_ = reason;
                TMsgStopLiveData stop;
                broadcaster_.broadcast(stop);
                emit streamStopped(reason);
            },
            Qt::QueuedConnection);
        return;
    }
    reader_ = std::make_unique<TLogThread>(channel_, *this, stream);
    previousTpsPercent = 0;
    timer_->start();
    stopped_ = false;
    smoothingCountdown = 21;
}

void Log::stopRecording()
{
    // A stop while nothing records (Stop after the stream ended, the
    // read-converter command) changes nothing, so the view stays as it is.
    if (!recording_)
        return;
    timer_->stop();
    {
        std::lock_guard<std::mutex> lock(appendMutex_);
        acceptingStream_ = 0;
    }
    currentStream_ = 0;
    if (reader_) {
        reader_->terminate();
        lastBadFrames_ = reader_->badFrames();
        retired_.push_back(std::move(reader_));
    }
    stopped_ = true;
    try {
        proto::streamStop(channel_);
    } catch (const std::exception &) {
        // The port is gone (the reader has said so); the stop itself must finish.
    }
    recording_ = false;
    const bool received = settleIncoming();
    // The reader has ended: every record it appended is kept.
    endKeeping();
    if (!received || !hasData_.load())
        return;
    prepareView();
    computeO2SM();
    setDecimation(count() - 2);
    rebuild(decimationStep_);
    stopped_ = true;
    pushFullView();
}

// ---------------------------------------------------------------- view

void Log::setVisibleRange(int first, int last)
{
    visibleFirst_ = first;
    visibleLast_ = last;
}

void Log::prepareView()
{
    const int n = count();
    visibleFirst_ = 0;
    visibleLast_ = n - 2;
    int maxMaf = 0;
    for (int i = 0; i <= n - 2; ++i)
        maxMaf = std::max(maxMaf, int(value(ColMaf, i)));
    maxMafInLog_ = maxMaf;

    axes_ = TZoomBufer{};
    axes_.first = visibleFirst_;
    axes_.last = visibleLast_;
    axes_.timeMin = visibleFirst_ * 10.0;
    axes_.timeMax = std::max(0, visibleLast_) * 10.0;
    double minimum = -30;
    for (int column : {int(ColCorr), int(ColAuxSlot2), int(ColAuxSlot3), int(ColLogCorr)}) {
        const int length = columnLength(column);
        for (int i = 0; i < length; ++i) {
            const int v = value(column, i);
            if (v < -30 && v < minimum)
                minimum = v - 20;
        }
    }
    axes_.valueMin = minimum;
    axes_.valueMax = 300;
    viewHistory_.clear();
}

void Log::computeO2SM()
{
    // Moving average over the 40 records k - 20 .. k + 19, for k from 30 to
    // count - 3. Near the end the window runs past the last record; those
    // records take the average of the records that exist.
    const int n = count();
    const int last = n - 3;
    if (last < 30)
        return;
    long long sum = 0;
    for (int i = 10; i <= std::min(49, n - 1); ++i)
        sum += value(ColO2, i);
    for (int k = 30; k <= last; ++k) {
        if (k > 30) {
            sum -= value(ColO2, k - 21);
            if (k + 19 < n)
                sum += value(ColO2, k + 19);
        }
        const int hi = std::min(k + 19, n - 1);
        const int span = hi - (k - 20) + 1;
        const int avg = span == 40 ? int(double(sum) * 0.025) : int(sum / span);
        setValue(ColO2SM, k, avg);
    }
}

void Log::setDecimation(int n)
{
    decimationStep_ = decimationStepFor(n);
    resolutionText_ = resolutionTextFor(decimationStep_);
}

void Log::redraw()
{
    if (hasData_.load())
        rebuild(decimationStep_);
}

void Log::rebuild(int a)
{
    if (recording_)
        return;
    const int n = count();
    if (n < kMinDrawnRecords)
        return;
    a = std::max(1, a);
    const int from = std::max(0, visibleFirst_ - a);
    const int to = std::min(n - 1, visibleLast_ + a);
    if (chart_)
        chart_->rebuild(from, to, a);
    hasData_.store(true);
}

void Log::pushFullView()
{
    TZoomBufer full = axes_;
    full.first = 0;
    full.last = count() - 1;
    viewHistory_.push_back(full);
}

// ---------------------------------------------------------------- live tick

int Log::o2Average(int n) const
{
    const int records = count();
    if (records == 0)
        return 0;
    // A window of 0 (track bar at zero) cannot be averaged: the last value.
    if (n <= 0 || records < n)
        return value(ColO2, records - 1);
    long long sum = 0;
    for (int i = records - n; i < records; ++i)
        sum += value(ColO2, i);
    return int(sum / n);
}

void Log::liveTick()
{
    // Until the new stream's first record the records held are the previous ones.
    if (incoming_)
        adoptIncoming();
    if (incoming_)
        return;
    keepRecords();
    const int n = count();
    if (n == 0)
        return;
    const int last = n - 1;
    const int window = autotune_.crossings > 0 ? settings_.fineWindow : settings_.fastWindow;
    const int average = o2Average(window);

    TMsgDashData dash;
    dash.converter = value(ColConverter, last);
    dash.maf = value(ColMaf, last);
    dash.tps = value(ColTps, last);
    dash.slot0 = value(ColIat, last);
    dash.slot2 = value(ColAuxSlot2, last);
    dash.slot1 = value(ColEct, last);
    dash.auxOut = value(ColAuxOut, last);
    dash.marker = value(ColMarker, last);
    dash.tpsText = tpsText(dash.tps);
    dash.rpm = rpm(last);
    dash.o2 = average;
    const o2::Display shown = o2::display(average, sensorType_);
    dash.o2Text = shown.text;
    dash.o2Text2 = shown.text2;
    dash.o2Colour = shown.colour;
    dash.o2Gauge = shown.gauge;
    broadcaster_.broadcast(dash);

    if (table_) {
        TOperatingPoint point = table_->operatingPoint();
        point.inputCode = value(ColMaf, last);
        point.outputCode = value(ColConverter, last);
        point.auxOutput = value(ColAuxOut, last);
        point.iatCode = value(ColIat, last);
        point.ectCode = value(ColEct, last);
        point.iatCorr = value(ColAuxSlot2, last);
        point.ectCorr = value(ColAuxSlot3, last);
        table_->setOperatingPoint(point);
    }

    // A tick without a new record has nothing new to say of the mixture: a
    // stream that stalled or ended must not walk the correction on old data.
    const bool fresh = last != autotune_.gatheredUpTo;
    if (n >= kAutotuneMinRecords && fresh)
        autotune::liveStep(*this, last, average, window);
}
