#include "link/Logthread_.h"

#include <chrono>
#include <exception>
#include <thread>

#include <QThread>

#include "link/Protocol.h"
#include "link/Rxtx.h"
#include "log/Oxygensensor.h"

namespace {

// Shared by every stream of the program's run. Only one reader processes
// frames at a time; the atomics keep an old reader's last frame harmless.
std::array<std::atomic<int>, 4> g_slots{};

std::array<int, 4> loadSlots()
{
    std::array<int, 4> s{};
    for (int i = 0; i < 4; ++i)
        s[i] = g_slots[i].load(std::memory_order_relaxed);
    return s;
}

} // namespace

std::array<int, 4> TLogThread::slotValues()
{
    return loadSlots();
}

TLogRecord TLogThread::frameToRecord(const std::uint8_t *frame, std::array<int, 4> &mux, int sensorType,
                                     int marker, int correction)
{
    const proto::LiveFrame f = proto::decodeFrame(frame);
    mux[f.slot] = f.slotValue;
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

TLogThread::TLogThread(Log &log, int sensorType, std::uint64_t stream)
    : log_(log), sensorType_(sensorType), stream_(stream)
{
    thread_ = QThread::create([this] { run(); });
    thread_->setObjectName(QStringLiteral("LogThread")); // the native thread takes this name
    thread_->start(QThread::HighPriority);
}

TLogThread::~TLogThread()
{
    terminate();
    wait();
    delete thread_;
}

void TLogThread::wait()
{
    thread_->wait();
}

bool TLogThread::takePort()
{
    std::atomic<bool> &idle = log_.channel().portIdle;
    for (;;) {
        bool expected = true;
        if (idle.compare_exchange_weak(expected, false))
            return true;
        if (terminated_.load())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void TLogThread::run()
{
    TRXTX &channel = log_.channel();
    std::atomic<bool> &idle = channel.portIdle;
    std::uint8_t frame[proto::kFrameSize];

    // The first frame only confirms that the unit streams.
    try {
        if (!takePort()) {
            finished_.store(true);
            return;
        }
        const int got = channel.read(frame, proto::kFrameSize);
        idle.store(true);
        if (terminated_.load()) {
            finished_.store(true);
            return;
        }
        if (got < proto::kFrameSize) {
            log_.streamEnded(stream_, QString(), true);
            finished_.store(true);
            return;
        }
    } catch (const std::exception &e) {
        idle.store(true);
        // The message only: the window stays running until the user stops it.
        if (!terminated_.load())
            log_.streamEnded(stream_, QString::fromLocal8Bit(e.what()), false);
        finished_.store(true);
        return;
    }
    log_.streamConfirmed(stream_);

    int badInRow = 0;
    bool holding = false; // this reader holds the port-idle flag
    while (!terminated_.load()) {
        try {
            if (!takePort())
                break;
            holding = true;
            const int got = channel.read(frame, proto::kFrameSize);
            idle.store(true);
            holding = false;
            if (terminated_.load())
                break;
            if (got < proto::kFrameSize || badInRow >= kMaxBadFrames) {
                log_.streamEnded(stream_, QString(), true);
                break;
            }
            if (!proto::frameCheckOk(frame)) {
                ++badInRow;
                bad_.fetch_add(1, std::memory_order_relaxed);
                // Slide one byte so the reads fall into step with the frames again.
                std::uint8_t skipped = 0;
                channel.read(&skipped, 1);
                continue;
            }
            badInRow = 0;
            std::array<int, 4> mux = loadSlots();
            const TLogRecord record =
                frameToRecord(frame, mux, sensorType_, log_.marker() ? 128 : 0, log_.correctionValue());
            for (int i = 0; i < 4; ++i)
                g_slots[i].store(mux[i], std::memory_order_relaxed);
            log_.appendRecord(record, stream_);
            good_.fetch_add(1, std::memory_order_relaxed);
        } catch (const std::exception &e) {
            if (holding)
                idle.store(true);
            if (!terminated_.load())
                log_.streamEnded(stream_, QString::fromLocal8Bit(e.what()), true);
            break;
        }
    }
    finished_.store(true);
}
