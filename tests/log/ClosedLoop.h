#pragma once
// Autotuning in a closed loop without a port or a window: the engine model
// answers the table and the live correction that the loop's requests leave,
// frame by frame (10 ms each), and the live tick runs every ten frames as it
// does while recording. The same Log, Table and request handling as the
// window, faster than real time and the same on every run.
#include <array>
#include <cmath>
#include <vector>

#include <QByteArray>

#include "link/Protocol.h"
#include "link/Rxtx.h"
#include "link/Ziravbroadcaster.h"
#include "log/Autotune.h"
#include "log/Log_iat_ect_corr.h"
#include "sim/EngineModel.h"
#include "table/Table_iat_ect_corr.h"
#include "throttle/TpsCalibration.h"

class ClosedLoop : public TSubscriber {
public:
    // The unit holds image; the loop starts as the Start command leaves it.
    ClosedLoop(const sim::EngineModel &engine, const sim::Image &image)
        : channel(broadcaster), log(tps, channel, broadcaster), engine_(engine), run_(engine), ram(image)
    {
        broadcaster.subscribe(this);
        log.setUpView(nullptr, &table);
        for (int i = 0; i < 392; ++i)
            table.setSlot(i, image[std::size_t(i)]);
        table.rebuildLearned();
        // The unit takes every quick write at once.
        table.quickWriteHook = [this] {
            ++writes;
            const QByteArray bytes = table.imageBytes(1);
            std::copy(bytes.begin(), bytes.end(), ram.begin());
        };
        TStartSettings s;
        s.autocorrection = true;
        s.trackBarB = 1;  // the window's bars as they start: fast window 1, every tick
        s.trackBarT = 10; // fine window 10, every tick
        s.trackBarRefO2 = engine.idealReading();
        log.setStartSettings(s);
        log.setSensorType(engine.sensorType);
        w.recording = true;
        w.applyArmed = true;
        table.recordingStarted(w);
    }

    void handleMessage(TMessage &m) override
    {
        if (m.id != kMsgAutocorrection)
            return;
        const auto &request = static_cast<TMsgAutocorrection &>(m);
        const QByteArray before = table.imageBytes(1);
        autotune::applyAutocorrectionRequest(request, table, w, limits);
        log.setCorrectionValue(w.correction);
        if (request.commitSet()) {
            ++commits;
            changingCommits += table.imageBytes(1) != before;
        }
        reasons.push_back(request.reason);
        maxCorrection = std::max(maxCorrection, std::abs(w.correction));
    }

    // Runs the engine for seconds of its time.
    void run(double seconds)
    {
        const int frames = int(std::lround(seconds * 100));
        for (int k = 0; k < frames; ++k) {
            const auto f = run_.frame(frame_, ram, w.correction, w.windowStart, w.windowEnd);
            const proto::LiveFrame lf = proto::decodeFrame(f.data());
            mux_[std::size_t(lf.slot)] = lf.slotValue;
            log.addRecord(Log::frameRecord(lf, mux_, engine_.sensorType, 0, w.correction));
            ++frame_;
            if (frame_ % 10 == 0)
                log.liveTick();
        }
    }
    double seconds() const { return frame_ / 100.0; }

    // Mixture error in percent at an input (above 0: rich), as the table stands.
    double error(int input) const
    {
        const double ideal = engine_.ideal[std::size_t(input)];
        return (table.slot(input) - ideal) * 100.0 / ideal;
    }
    double signedError(const std::vector<int> &inputs) const
    {
        double sum = 0;
        for (int i : inputs)
            sum += error(i);
        return sum / double(inputs.size());
    }
    double meanAbsError(const std::vector<int> &inputs) const
    {
        double sum = 0;
        for (int i : inputs)
            sum += std::abs(error(i));
        return sum / double(inputs.size());
    }
    int countReason(autotune::Reason reason) const
    {
        return int(std::count(reasons.begin(), reasons.end(), int(reason)));
    }

    TZiravBroadcaster broadcaster;
    TRXTX channel;
    TTpsCalibration tps{0, 255};
    Table table;
    Log log;
    TWindowState w;
    autotune::Limits limits;
    int writes = 0;
    int commits = 0;
    int changingCommits = 0;
    int maxCorrection = 0;
    std::vector<int> reasons;

private:
    sim::EngineModel engine_;
    sim::EngineRun run_;

public:
    sim::Image ram;

private:
    std::array<int, 4> mux_{};
    int frame_ = 0;
};

using sim::imageOff;
