#include "log/Autotune.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "log/Log_iat_ect_corr.h"
#include "log/SoundPlayer.h"
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
    case State::Idle: break;
    }
    return kIdleColour;
}

QString stateSound(State state)
{
    switch (state) {
    case State::ForcedIdle: return QStringLiteral("forcedidle.wav");
    case State::Ready: return QStringLiteral("ready.wav");
    case State::Pulsation: return QStringLiteral("puls.wav");
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

TMsgAutocorrection liveStep(Log &log, int last, int o2Average, int window)
{
    TAutotuneState &st = log.autotune();
    const TLogSettings &s = log.settings();

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
    auto send = [&](State state) {
        request.stateColour = stateColour(state);
        log.broadcaster().broadcast(request);
        return request;
    };

    if (s.wotSmoothing) {
        const int p = log.tpsPercent(last);
        if (p > kFullThrottlePercent) {
            log.previousTpsPercent = p;
            request.discard = 1;
            st.crossings = 0;
            return send(State::FullThrottle);
        }
        if (log.previousTpsPercent >= kFullThrottlePercent && p < kFullThrottlePercent)
            fullThrottleAnalysis(log, last);
        log.previousTpsPercent = p;
    }

    if (!s.autocorrection) {
        st.crossings = 0;
        return send(State::Idle);
    }
    if (log.count() < window) {
        st.crossings = 0;
        return send(State::Idle);
    }
    const int tps = log.tpsPercent(last);
    if (log.rpm(last) >= s.forcedIdleRpm && tps <= s.forcedIdleTps) {
        request.discard = 1;
        st.crossings = 0;
        return send(State::ForcedIdle);
    }
    if (Table *table = log.table()) {
        const auto &learned = table->learnedValues();
        for (int i = std::max(0, lo); i <= std::min(255, hi); ++i) {
            if (learned[std::size_t(i)] != 0) {
                request.discard = 1;
                st.crossings = 0;
                return send(State::Ready);
            }
        }
    }
    if (hi - lo > s.maxMafSpread) {
        st.previousAverage = 1024;
        st.crossings = 0;
        request.discard = 1;
        return send(State::Pulsation);
    }

    int fastP = s.fastPeriod, fineP = s.finePeriod, z = 1;
    if (tps > kFullThrottlePercent) {
        z = 0;
        fastP = fineP = 1;
    }
    State state;
    if (st.crossings == 0) {
        state = State::FastPhase;
        st.period = std::uint32_t(std::max(0, fastP));
    } else {
        state = State::FinePhase;
        st.period = std::uint32_t(std::max(0, fineP));
    }
    ++st.tickCounter;
    if (st.tickCounter < st.period)
        return send(state);
    st.tickCounter = 0;

    const int sign = o2::richSign(log.sensorType());
    const int above = s.descending ? sign : -sign;
    const int below = -above;
    switch (decide(s.o2RefLive, st.previousAverage, o2Average)) {
    case Decision::Above:
        request.step = above;
        break;
    case Decision::Below:
        request.step = below;
        break;
    case Decision::Crossing:
        if (st.crossings >= z) {
            request.step = 0;
            st.previousAverage = 1024;
            request.commit = 1;
            st.crossings = 0;
            return send(State::Ready);
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

RequestOutcome applyAutocorrectionRequest(const TMsgAutocorrection &request, Table &table, TWindowState &w)
{
    RequestOutcome out;
    if (!w.manualBorders) {
        w.setWindowStart(request.windowStart);
        w.setWindowEnd(request.windowEnd);
        if (request.commitSet()) {
            w.correction += request.step;
            table.applyToTable(w);
        } else if (request.discardSet()) {
            w.correction = 0;
        } else {
            w.correction += request.step;
        }
        w.correction = std::clamp(w.correction, -255, 255);
        out.used = true;
        out.colour = request.stateColour;
        const QString sound = stateSound(stateForColour(request.stateColour));
        if (!sound.isEmpty())
            playSound(sound, false);
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
