#include "link/Logthread_.h"

#include <chrono>
#include <exception>
#include <thread>

#include <QThread>

#include "link/Rxtx.h"

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

QString streamEndReason(const TStreamEnd &end)
{
    switch (end.cause) {
    case TStreamEnd::Silent:
        return QStringLiteral("the unit sent nothing for 1 s");
    case TStreamEnd::BadFrames:
        return QStringLiteral("%1 bad frames in a row").arg(TLogThread::kMaxBadFrames);
    case TStreamEnd::PortError:
        break;
    }
    return end.portLost ? QStringLiteral("the port was lost") : end.errorText;
}

std::array<int, 4> TLogThread::slotValues()
{
    return loadSlots();
}

std::array<int, 4> TLogThread::withFrameSlot(std::array<int, 4> mux, const proto::LiveFrame &frame)
{
    mux[size_t(frame.slot)] = frame.slotValue;
    return mux;
}

TLogThread::TLogThread(TRXTX &channel, TFrameSink &sink, std::uint64_t stream)
    : channel_(channel), sink_(sink), stream_(stream)
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

void TLogThread::terminate()
{
    terminated_.store(true);
    // A frame read of a silent unit would hold the reader for up to a second.
    channel_.abortRead();
}

void TLogThread::wait()
{
    thread_->wait();
}

bool TLogThread::takePort()
{
    std::atomic<bool> &idle = channel_.portIdle;
    for (;;) {
        bool expected = true;
        if (idle.compare_exchange_weak(expected, false))
            return true;
        if (terminated_.load())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void TLogThread::ended(TStreamEnd::Cause cause, bool sendStop)
{
    TStreamEnd end;
    end.cause = cause;
    end.sendStop = sendStop;
    sink_.streamEnded(stream_, end);
}

void TLogThread::ended(TStreamEnd::Cause cause, const std::exception &error, bool sendStop)
{
    TStreamEnd end;
    end.cause = cause;
    end.errorText = portErrorText(error);
    end.portLost = portLost(error);
    end.sendStop = sendStop;
    sink_.streamEnded(stream_, end);
}

void TLogThread::run()
{
    std::atomic<bool> &idle = channel_.portIdle;
    std::uint8_t frame[proto::kFrameSize];

    // The first frame only confirms that the unit streams.
    try {
        if (!takePort()) {
            finished_.store(true);
            return;
        }
        const int got = channel_.read(frame, proto::kFrameSize);
        idle.store(true);
        if (terminated_.load()) {
            finished_.store(true);
            return;
        }
        if (got < proto::kFrameSize) {
            ended(TStreamEnd::Silent);
            finished_.store(true);
            return;
        }
    } catch (const std::exception &e) {
        idle.store(true);
        // The message only: the window stays running until the user stops it.
        if (!terminated_.load())
            ended(TStreamEnd::PortError, e, false);
        finished_.store(true);
        return;
    }
    sink_.streamConfirmed(stream_);

    int badInRow = 0;
    bool holding = false; // this reader holds the port-idle flag
    while (!terminated_.load()) {
        try {
            if (!takePort())
                break;
            holding = true;
            const int got = channel_.read(frame, proto::kFrameSize);
            idle.store(true);
            holding = false;
            if (terminated_.load())
                break;
            if (got < proto::kFrameSize) {
                ended(TStreamEnd::Silent);
                break;
            }
            if (badInRow >= kMaxBadFrames) {
                ended(TStreamEnd::BadFrames);
                break;
            }
            if (!proto::frameCheckOk(frame)) {
                ++badInRow;
                bad_.fetch_add(1, std::memory_order_relaxed);
                // Slide one byte so the reads fall into step with the frames again.
                std::uint8_t skipped = 0;
                channel_.read(&skipped, 1);
                continue;
            }
            badInRow = 0;
            const proto::LiveFrame f = proto::decodeFrame(frame);
            const std::array<int, 4> mux = withFrameSlot(loadSlots(), f);
            g_slots[size_t(f.slot)].store(f.slotValue, std::memory_order_relaxed);
            sink_.frameReceived(f, mux, stream_);
            good_.fetch_add(1, std::memory_order_relaxed);
        } catch (const std::exception &e) {
            if (holding)
                idle.store(true);
            if (!terminated_.load())
                ended(TStreamEnd::PortError, e);
            break;
        }
    }
    finished_.store(true);
}
