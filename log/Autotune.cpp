#include "log/Autotune.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "log/Log_iat_ect_corr.h"
#include "log/SoundPlayer.h"
#include "table/TableCommon.h"
#include "table/TableParams.h"
#include "table/Table_iat_ect_corr.h"

namespace autotune {

int stateColour(State state)
{
    switch (state) {
    case State::FullThrottle: return kFullThrottleColour;
    case State::ForcedIdle: return kForcedIdleColour;
    case State::Ready: return kReadyColour;
    case State::Pulsation: return kPulsationColour;
    case State::FastPhase: return kFastColour;
    case State::FinePhase: return kFineColour;
    case State::Skipping: return kSkippingColour;
    case State::Waiting: return kWaitingColour;
    case State::Refused: return kRefusedColour;
    case State::Idle: break;
    }
    return kIdleColour;
}

QString stateSound(State state)
{
    switch (state) {
    case State::ForcedIdle: return QStringLiteral("forcedidle.wav");
    case State::Ready: return QStringLiteral("ready.wav");
    case State::Pulsation:
    case State::Refused: return QStringLiteral("puls.wav");
    case State::FastPhase: return QStringLiteral("corr.wav");
    case State::FinePhase: return QStringLiteral("training.wav");
    default: return QString();
    }
}

State stateForColour(int colour)
{
    for (State s : {State::FullThrottle, State::ForcedIdle, State::Ready, State::Pulsation, State::FastPhase,
                    State::FinePhase})
        if (stateColour(s) == colour)
            return s;
    return State::Idle;
}

Decision decide(int reference, int previousAverage, int average)
{
    const int ref = reference, prev = previousAverage, avg = average;
    if (ref < prev && ref < avg)
        return Decision::Above;
    if ((ref < prev && ref > avg) || (ref > prev && ref > avg))
        return Decision::Below;
    if (prev != 0 && prev <= ref && ref <= avg)
        return Decision::Crossing;
    return Decision::None;
}

namespace {

// 40-record moving average of MAF at k (records k - 20 .. k + 19).
int mafAverage40(const Log &log, int k)
{
    long long sum = 0;
    for (int i = k - 20; i <= k + 19; ++i)
        sum += log.value(ColMaf, i);
    return int(double(sum) * 0.025);
}

// Walks j = from .. to counting pulsation starts; calls onStart(j) at each.
template <typename F>
int walkPulsations(Log &log, int from, int to, F &&onStart)
{
    int pulsations = 0;
    bool inPulse = false;
    for (int j = from; j <= to; ++j) {
        const int d = std::abs(int(log.value(ColLogCorr, j)) - int(log.value(ColMaf, j)));
        const bool running = log.rpm(j) > 1500;
        if (d > 6 && !inPulse && running) {
            ++pulsations;
            inPulse = true;
            onStart(j);
        }
        if (d < 6 && inPulse && running)
            inPulse = false;
    }
    return pulsations;
}

} // namespace

std::optional<int> fullThrottleAnalysis(Log &log, int last)
{
    if (last < 0 || last >= log.count())
        return std::nullopt;
    // Both searches stop at the first record.
    int e = last;
    while (e > 0 && log.tpsPercent(e) < kFullThrottlePercent)
        --e;
    if (log.tpsPercent(e) < kFullThrottlePercent)
        return std::nullopt; // no full-throttle record at all
    int b = e;
    while (b > 0 && log.tpsPercent(b) >= kFullThrottlePercent)
        --b;
    if (e - b < kMinRunRecords)
        return std::nullopt;

    log.setValue(ColLogCorr, b, log.value(ColConverter, b));
    for (int i = b + 1; i <= b + 29; ++i)
        log.setValue(ColLogCorr, i, 50);
    for (int i = b + 30; i <= e; ++i)
        log.setValue(ColLogCorr, i, log.rpm(i) > 1500 ? log.value(ColConverter, i) : 0);
    // Records whose window would reach past the newest record keep the values above.
    for (int k = b + 30; k <= e - 1 && k + 19 <= last; ++k)
        log.setValue(ColLogCorr, k, mafAverage40(log, k));

    const int pulsations = walkPulsations(log, b + 30, e - 40, [](int) {});
    if (pulsations < kMinPulsations)
        return std::nullopt;

    int value = TMsgSmoothing::kNoChange;
    if (log.smoothingCountdown > 1)
        value = --log.smoothingCountdown;
    walkPulsations(log, b + 30, e - 40, [&log](int j) { log.setValue(ColMarker, j, log.value(ColMaf, j)); });

    TMsgSmoothing request(value);
    log.broadcaster().broadcast(request);
    return value;
}

int defaultSensorLagMs(int sensorType)
{
    // A narrow-band sensor switches within its own heating; a wide-band
    // reading passes its controller's filter as well.
    switch (sensorType) {
    case o2::Narrow01V: return 150;
    case o2::InnovateMtxL: return 300;
    default: return 250;
    }
}

int limitCodes(int percent, int output)
{
    return std::max(1, int(std::nearbyint(std::abs(output) * percent / 100.0)));
}

QString reasonText(Reason reason, bool english)
{
    switch (reason) {
    case Reason::SensorAtRail:
        return english ? QStringLiteral("Not tuning: the O2 signal sits at 0 or 5 V (sensor unplugged or shorted?)")
                       : QString::fromUtf8("Не корректирую: сигнал O2 на 0 или 5 В (датчик отключён или замкнут?)");
    case Reason::SensorFlicker:
        return english ? QStringLiteral("Not tuning: the O2 signal jumps from rail to rail (loose wire?)")
                       : QString::fromUtf8("Не корректирую: сигнал O2 скачет от края до края (плохой контакт?)");
    case Reason::EngineCold:
        return english ? QStringLiteral("Waiting: engine cold") : QString::fromUtf8("Жду: двигатель холодный");
    case Reason::ForcedIdle:
        return english ? QStringLiteral("Waiting: forced idle") : QString::fromUtf8("Жду: принудительный холостой ход");
    case Reason::ThrottleMoving:
        return english ? QStringLiteral("Waiting: throttle moving") : QString::fromUtf8("Жду: дроссель в движении");
    case Reason::NotLearnable:
        return english ? QStringLiteral("Not tuning here: below Min, from Kick up or above Max")
                       : QString::fromUtf8("Здесь не корректирую: ниже Min, от Kick и выше Max");
    case Reason::AlreadyLearned:
        return english ? QStringLiteral("Learned here, mixture right: skipping")
                       : QString::fromUtf8("Здесь уже обучено, смесь в норме: пропускаю");
    case Reason::BandTooWide:
        return english ? QStringLiteral("Waiting: air flow unsteady") : QString::fromUtf8("Жду: расход воздуха нестабилен");
    case Reason::None:
        break;
    }
    return QString();
}

QString requestText(int colour, int reason, bool english)
{
    if (reason != int(Reason::None))
        return reasonText(Reason(reason), english);
    switch (stateForColour(colour)) {
    case State::FastPhase:
        return english ? QStringLiteral("Tuning: correcting") : QString::fromUtf8("Коррекция: грубо");
    case State::FinePhase:
        return english ? QStringLiteral("Tuning: settling") : QString::fromUtf8("Коррекция: точно");
    case State::Ready:
        return english ? QStringLiteral("Stored in the table") : QString::fromUtf8("Записано в таблицу");
    case State::Skipping:
        return reasonText(Reason::AlreadyLearned, english);
    case State::FullThrottle:
        return english ? QStringLiteral("Full throttle") : QString::fromUtf8("Полный дроссель");
    default:
        return QString();
    }
}

Reason checkSensor(const Log &log, int last, int sensorType)
{
    // Half a second at a rail: no mixture an engine runs on reads 0 or 5 V.
    constexpr int kRailRecords = 50;
    const int low = o2::recordingValue(1, sensorType), high = o2::recordingValue(254, sensorType);
    if (last + 1 >= kRailRecords) {
        bool allLow = true, allHigh = true;
        for (int i = last - kRailRecords + 1; i <= last; ++i) {
            const int v = log.value(ColO2, i);
            allLow = allLow && v <= low;
            allHigh = allHigh && v >= high;
        }
        if (allLow || allHigh)
            return Reason::SensorAtRail;
    }
    // No sensor swings over half its scale within 10 ms, let alone five
    // times in a second; a loose contact does.
    constexpr int kFlickerRecords = 100, kFlickerJumps = 5;
    const int half = (o2::recordingValue(255, sensorType) - o2::recordingValue(0, sensorType)) / 2;
    int jumps = 0;
    for (int i = std::max(1, last - kFlickerRecords + 1); i <= last; ++i)
        jumps += std::abs(int(log.value(ColO2, i)) - int(log.value(ColO2, i - 1))) > half;
    return jumps >= kFlickerJumps ? Reason::SensorFlicker : Reason::None;
}

namespace {

// A throttle change of more than 5 % within 0.1 s, in the last half second:
// the mixture then follows the transient enrichment, not the table.
bool throttleMoved(Log &log, int last)
{
    constexpr int kSettleRecords = 50, kStepRecords = 10, kLargeChange = 5;
    for (int i = std::max(kStepRecords, last - kSettleRecords); i <= last; ++i)
        if (std::abs(log.tpsPercent(i) - log.tpsPercent(i - kStepRecords)) > kLargeChange)
            return true;
    return false;
}

// The unit keeps its own rule for the points below Min, from Kick up and
// above Max: a commit there changes nothing that stays. (No rule while the
// bookkeeping is unset, Max not above Min.)
bool learnableBand(const Table &table, int lo, int hi)
{
    const int min = table.byteAt(tbl::kSlotMin), max = table.byteAt(tbl::kSlotMax), kick = table.byteAt(tbl::kSlotKick);
    if (max <= min)
        return true;
    return lo > min && hi < std::min(kick, max);
}

// Mixture error of one reading against the reference, in percent, positive
// when lean. Air-fuel types read 1.47 units per percent at 14.7; the 0-5 V
// signal is taken as the common 10..20 AFR wide-band output (3.75 codes per
// percent); a narrow-band sensor tells only rich or lean, counted as 2 %.
double leanPercent(int o2Value, int reference, int sensorType)
{
    const double d = o2Value - reference;
    if (sensorType == o2::Narrow01V)
        return d > 0 ? -2.0 : d < 0 ? 2.0 : 0.0;
    if (o2::isAfrType(sensorType))
        return d / 1.47;
    return d / 3.75;
}

constexpr int kCellCodes = 4;
constexpr int kCellHits = 100;    // a second of samples, however gathered
constexpr double kCellGain = 0.6; // below 1: a wrong sensor scale only slows it
constexpr int kRevisitTicks = 20; // two seconds off the reference

} // namespace

TMsgAutocorrection liveStep(Log &log, int last, int o2Average, int window)
{
    TAutotuneState &st = log.autotune();
    const TLogSettings &s = log.settings();
    const int type = log.sensorType();

    TMsgAutocorrection request;
    int lo = 255, hi = 0;
    for (int i = std::max(0, last - 20); i <= last; ++i) {
        const int m = log.value(ColMaf, i);
        lo = std::min(lo, m);
        hi = std::max(hi, m);
    }
    request.windowStart = lo;
    request.windowEnd = hi;
    request.stateColour = kIdleColour;
    auto send = [&](State state, Reason reason = Reason::None) {
        request.stateColour = stateColour(state);
        request.reason = int(reason);
        st.reason = int(reason);
        log.broadcaster().broadcast(request);
        return request;
    };
    auto startOver = [&st] {
        st.crossings = 0;
        st.fineStart = -1;
        st.fineMiddle = -1;
    };
    // Samples are gathered only on the normal path; the others drop theirs.
    const int gatherFrom = std::max(st.gatheredUpTo + 1, last - 50);
    st.gatheredUpTo = last;

    if (s.wotSmoothing) {
        const int p = log.tpsPercent(last);
        if (p > kFullThrottlePercent) {
            log.previousTpsPercent = p;
            request.discard = 1;
            startOver();
            return send(State::FullThrottle);
        }
        if (log.previousTpsPercent >= kFullThrottlePercent && p < kFullThrottlePercent)
            fullThrottleAnalysis(log, last);
        log.previousTpsPercent = p;
    }

    if (!s.autocorrection || log.count() < window) {
        startOver();
        return send(State::Idle);
    }
    const int tps = log.tpsPercent(last);
    if (log.rpm(last) >= s.forcedIdleRpm && tps <= s.forcedIdleTps) {
        request.discard = 1;
        startOver();
        return send(State::ForcedIdle, Reason::ForcedIdle);
    }
    // Conditions the table is not for: the correction goes back to 0 at once.
    auto wait = [&](State state, Reason reason) {
        request.discard = 1;
        st.previousAverage = 1024;
        startOver();
        return send(state, reason);
    };
    if (const Reason sensor = checkSensor(log, last, type); sensor != Reason::None) {
        st.cells.fill({});
        return wait(State::Refused, sensor);
    }
    if (s.waitForWarmEngine && engineCold(log.value(ColEct, last)))
        return wait(State::Waiting, Reason::EngineCold);
    if (throttleMoved(log, last))
        return wait(State::Waiting, Reason::ThrottleMoving);
    Table *table = log.table();
    if (table && !learnableBand(*table, lo, hi))
        return wait(State::Waiting, Reason::NotLearnable);

    const int sign = o2::richSign(type);
    const int above = s.descending ? sign : -sign;
    const int below = -above;
    const int lagMs = s.sensorLagMs >= 0 ? s.sensorLagMs : defaultSensorLagMs(type);
    const int lagRecords = lagMs / 10;

    // Samples met while passing through: each asks for the correction in
    // force where the engine was when the sensor saw it, plus what its
    // reading says is still missing.
    if (table) {
        const int direction = s.descending ? -1 : 1;
        for (int r = gatherFrom; r <= last; ++r) {
            const int at = r - lagRecords;
            if (at < 0)
                continue;
            const int input = log.value(ColMaf, at);
            if (input < 0 || input > 255)
                continue;
            const double missing = direction * table->slot(input) * leanPercent(log.value(ColO2, r), s.o2RefLive, type) / 100.0;
            TAutotuneState::Cell &cell = st.cells[std::size_t(input / kCellCodes)];
            cell.sum += log.value(ColCorr, at) + missing;
            ++cell.hits;
        }
        // A group the engine has left, with a second of samples, is stored
        // (the band the engine holds belongs to the loop below).
        if (st.crossings == 0) {
            for (std::size_t c = 0; c < st.cells.size(); ++c) {
                TAutotuneState::Cell &cell = st.cells[c];
                const int first = int(c) * kCellCodes, lastCode = first + kCellCodes - 1;
                if (cell.hits < kCellHits || (lastCode >= lo - kCellCodes && first <= hi + kCellCodes))
                    continue;
                const int correction = int(std::nearbyint(kCellGain * cell.sum / cell.hits));
                cell = {};
                if (correction == 0 || !learnableBand(*table, first, lastCode))
                    continue;
                request.windowStart = first;
                request.windowEnd = lastCode;
                request.step = correction - log.correctionValue();
                request.commit = 1;
                st.previousAverage = 1024;
                startOver();
                return send(State::Ready);
            }
        }
    }

    if (table) {
        const auto &learned = table->learnedValues();
        bool learnedInBand = false;
        for (int i = std::max(0, lo); i <= std::min(255, hi); ++i)
            learnedInBand = learnedInBand || learned[std::size_t(i)] != 0;
        if (!learnedInBand) {
            st.offTicks = 0;
        } else if (st.offTicks < kRevisitTicks) {
            // A learned band is tuned again only when its mixture stays off
            // the reference by more than the reading's own spread.
            const int n = std::clamp(window, 1, log.count());
            double mean = 0, square = 0;
            for (int i = last - n + 1; i <= last; ++i) {
                const double v = log.value(ColO2, i);
                mean += v;
                square += v * v;
            }
            mean /= n;
            const double spread = std::sqrt(std::max(0.0, square / n - mean * mean));
            st.offTicks = std::abs(o2Average - s.o2RefLive) > std::max(2.0, spread) ? st.offTicks + 1 : 0;
            if (st.offTicks < kRevisitTicks) {
                request.discard = 1;
                startOver();
                return send(State::Skipping, Reason::AlreadyLearned);
            }
        }
    }
    if (hi - lo > s.maxMafSpread) {
        st.previousAverage = 1024;
        startOver();
        request.discard = 1;
        return send(State::Pulsation, Reason::BandTooWide);
    }
    // The fine phase holds one dwell: a band that moved on starts over.
    const int middle = (lo + hi) / 2;
    if (st.crossings > 0 && st.fineMiddle >= 0 && std::abs(middle - st.fineMiddle) > 2)
        startOver();

    int fastP = s.fastPeriod, fineP = s.finePeriod, z = 1;
    if (tps > kFullThrottlePercent) {
        z = 0;
        fastP = fineP = 1;
    }
    // The next evaluation waits until the sensor has seen the last step.
    const int lagTicks = (lagMs + Log::kTickMs - 1) / Log::kTickMs;
    State state;
    if (st.crossings == 0) {
        state = State::FastPhase;
        st.period = std::uint32_t(std::max({0, fastP, lagTicks}));
    } else {
        state = State::FinePhase;
        st.period = std::uint32_t(std::max({0, fineP, lagTicks}));
    }
    ++st.tickCounter;
    if (st.tickCounter < st.period)
        return send(state);
    st.tickCounter = 0;

    switch (decide(s.o2RefLive, st.previousAverage, o2Average)) {
    case Decision::Above:
        request.step = above;
        break;
    case Decision::Below:
        request.step = below;
        break;
    case Decision::Crossing:
        if (st.crossings >= z) {
            // What is stored is the correction the dwell settled on (its
            // mean since the fine phase began), not where its last swing ended.
            const int from = st.fineStart >= 0 ? st.fineStart : std::max(0, last - std::max(1, window) + 1);
            double sum = 0, o2Sum = 0;
            for (int i = from; i <= last; ++i) {
                sum += log.value(ColCorr, i);
                o2Sum += log.value(ColO2, i);
            }
            const double mean = sum / (last - from + 1), o2Mean = o2Sum / (last - from + 1);
            // A dwell that swung between two codes settles between them: the
            // readings over it tell which of the two the mixture wants.
            const int toward = o2Mean > s.o2RefLive ? above : o2Mean < s.o2RefLive ? below : 0;
            const int settled = toward > 0 ? int(std::ceil(mean)) : toward < 0 ? int(std::floor(mean)) : int(std::nearbyint(mean));
            request.step = settled - log.correctionValue();
            st.previousAverage = 1024;
            request.commit = 1;
            startOver();
            st.offTicks = 0;
            for (int i = std::max(0, lo) / kCellCodes; i <= std::min(255, hi) / kCellCodes; ++i)
                st.cells[std::size_t(i)] = {};
            return send(State::Ready);
        }
        if (st.crossings == 0) {
            st.fineStart = last;
            st.fineMiddle = middle;
        }
        ++st.crossings;
        request.step = above;
        break;
    case Decision::None:
        request.step = 0;
        break;
    }
    st.previousAverage = o2Average;
    return send(state);
}

RequestOutcome applyAutocorrectionRequest(const TMsgAutocorrection &request, Table &table, TWindowState &w,
                                          const Limits &limits)
{
    RequestOutcome out;
    if (!w.manualBorders) {
        w.setWindowStart(request.windowStart);
        w.setWindowEnd(request.windowEnd);
        const int middle = std::clamp(int(std::nearbyint((w.windowStart + w.windowEnd) / 2.0)), 0, 255);
        const int output = table.slot(middle);
        bool stored = true;
        if (request.commitSet()) {
            const int bound = limitCodes(limits.commitPercent, output);
            w.correction = std::clamp(w.correction + request.step, -bound, bound);
            const QByteArray before = table.imageBytes(1);
            table.applyToTable(w);
            stored = table.imageBytes(1) != before;
        } else if (request.discardSet()) {
            w.correction = 0;
        } else {
            const int bound = limitCodes(limits.livePercent, output);
            w.correction = std::clamp(w.correction + request.step, -bound, bound);
        }
        out.used = true;
        // A commit that changed nothing is no news: no "stored" cue for it.
        out.colour = stored ? request.stateColour : kSkippingColour;
        const QString sound = stored ? stateSound(stateForColour(request.stateColour)) : QString();
        // A store is the news a tuner waits for: its cue does not wait for
        // another to end (it would be lost, the state lasts one tick).
        if (!sound.isEmpty())
            playSound(sound, request.commitSet());
        return out;
    }
    if (!w.autocorrDown)
        return out;
    const auto &learned = table.learnedValues();
    const int from = request.windowEnd < 2 ? 255 : std::min(255, request.windowEnd - 2);
    int start = 255;
    for (int i = from; i <= 255; ++i) {
        if (learned[std::size_t(i)] == table.slot(i)) {
            start = i;
            break;
        }
    }
    w.setWindowStart(start);
    w.setWindowEnd(start);
    out.used = true;
    return out;
}

bool applySmoothingRequest(const TMsgSmoothing &request, Table &table, TWindowState &w)
{
    if (request.value == TMsgSmoothing::kNoChange)
        return false;
    tbl::ParamFields &fields = table.paramFields(1);
    fields.setText(tbl::ParamSmoothMaf, QString::number(request.value));
    w.correction = 0;
    table.sendImage();
    const int shown = tbl::parseLeadingInt(fields.text(tbl::ParamSmoothMaf));
    if (shown <= 20)
        playSound(QString::number(shown) + QStringLiteral(".wav"), true);
    return true;
}

} // namespace autotune

void Log::magicLearn(int sensorType, bool descending)
{
    Table *table = this->table();
    if (!table || recording())
        return;
    const TLogSettings &s = settings();
    std::array<bool, 256> visited{};
    const int last = std::min(visibleLast(), count() - 1);
    for (int i = std::max(0, visibleFirst()); i <= last; ++i) {
        const int o = value(ColO2SM, i);
        bool rich, lean;
        if (sensorType == o2::Narrow01V) {
            rich = o > s.o2Target;
            lean = o < s.o2RefLearn;
        } else {
            rich = o < s.o2Target;
            lean = o > s.o2RefLearn;
        }
        int step = 0;
        if (rich)
            step = descending ? 1 : -1;
        if (lean)
            step = descending ? -1 : 1;
        const int m = value(ColMaf, i);
        if (m <= s.mafLimit || m < 0 || m > 255 || visited[std::size_t(m)])
            continue;
        visited[std::size_t(m)] = true;
        // A point is one byte on the unit: results are kept within 0..255.
        const int c = table->slot(m);
        if (c != 0)
            table->editPointFromLog(m, std::clamp(c + step, 0, 255));
        else if (value(ColConverter, i) != 0)
            table->editPointFromLog(m, std::clamp(int(value(ColConverter, i)) + step, 0, 255));
    }
    rebuild(decimationStep());
    table->sendImage();
}
