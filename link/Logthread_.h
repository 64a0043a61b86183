#pragma once
// TLogThread: the live-data reader. Reads 10-byte frames while the stream
// runs, checks each, keeps the four multiplexed slots and hands every good
// frame to its sink (the log). It never touches the window: the end of the
// stream (and a port error's text) goes to the sink, which hands it to its
// own thread.
#include <array>
#include <atomic>
#include <cstdint>

#include <QString>

#include "link/Protocol.h"

class QThread;
class TRXTX;

// How a stream ended by itself.
struct TStreamEnd {
    enum Cause { Silent, BadFrames, PortError };
    Cause cause = Silent;
    QString errorText; // the port error's message (PortError)
    bool portLost = false; // PortError: the port stopped working
    // Stop live data follows; not after a failed first read, where the
    // window stays running until the user stops it.
    bool sendStop = true;
};
// Why the stream ended, in a few words for a status line or a terminal:
// "the unit sent nothing for 1 s", "200 bad frames in a row" or the port error.
QString streamEndReason(const TStreamEnd &end);

// Whatever takes the reader's frames. Called on the reader thread.
class TFrameSink {
public:
    virtual ~TFrameSink() = default;
    // One checked frame of stream `stream`; slots: the four multiplexed slot
    // values with this frame's slot already updated.
    virtual void frameReceived(const proto::LiveFrame &frame, const std::array<int, 4> &mux,
                               std::uint64_t stream) = 0;
    // The stream's first complete frame arrived.
    virtual void streamConfirmed(std::uint64_t stream) = 0;
    virtual void streamEnded(std::uint64_t stream, const TStreamEnd &end) = 0;
};

class TLogThread {
public:
    static constexpr int kMaxBadFrames = 200;

    // Starts at once, one priority step above normal, named "LogThread".
    TLogThread(TRXTX &channel, TFrameSink &sink, std::uint64_t stream);
    // Asks the thread to end and waits for it.
    ~TLogThread();
    TLogThread(const TLogThread &) = delete;
    TLogThread &operator=(const TLogThread &) = delete;

    // The reader leaves after the frame read in progress, which is cut short;
    // a frame read after the request is not used.
    void terminate();
    bool isFinished() const { return finished_.load(); }
    void wait();

    int goodFrames() const { return good_.load(); }
    int badFrames() const { return bad_.load(); } // failed checks in all

    // The multiplexed slot values (all 0 at program start, kept between streams).
    static std::array<int, 4> slotValues();
    // The slots after a frame: the slot named by byte 1 takes byte 8.
    static std::array<int, 4> withFrameSlot(std::array<int, 4> mux, const proto::LiveFrame &frame);

private:
    void run();
    // Waits for the port-idle flag and holds it; false when terminated meanwhile.
    bool takePort();
    void ended(TStreamEnd::Cause cause, bool sendStop = true);
    void ended(TStreamEnd::Cause cause, const std::exception &error, bool sendStop = true);

    TRXTX &channel_;
    TFrameSink &sink_;
    const std::uint64_t stream_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> good_{0};
    std::atomic<int> bad_{0};
    QThread *thread_ = nullptr;
};
