#pragma once
// TLogThread: the live-data reader. Reads 10-byte frames while the stream
// runs, checks each, keeps the four multiplexed slots and appends one record
// per good frame to the Log. It never touches the window: the end of the
// stream (and a port error's text) is handed to the Log's thread.
#include <array>
#include <atomic>
#include <cstdint>

#include "log/Log_iat_ect_corr.h"

class QThread;

class TLogThread {
public:
    static constexpr int kMaxBadFrames = 200;

    // Starts at once, one priority step above normal, named "LogThread".
    TLogThread(Log &log, int sensorType, std::uint64_t stream);
    // Asks the thread to end and waits for it.
    ~TLogThread();
    TLogThread(const TLogThread &) = delete;
    TLogThread &operator=(const TLogThread &) = delete;

    // The reader leaves after the frame read in progress; a frame read after
    // the request is not used.
    void terminate() { terminated_.store(true); }
    bool isFinished() const { return finished_.load(); }
    void wait();

    int goodFrames() const { return good_.load(); }
    int badFrames() const { return bad_.load(); } // failed checks in all

    // The multiplexed slot values (all 0 at program start, kept between streams).
    static std::array<int, 4> slotValues();
    // One checked frame as a record: the slot named by byte 1 takes byte 8,
    // then the record carries all four slots. O2 is converted for the type.
    static TLogRecord frameToRecord(const std::uint8_t *frame, std::array<int, 4> &mux, int sensorType,
                                    int marker, int correction);

private:
    void run();
    // Waits for the port-idle flag and holds it; false when terminated meanwhile.
    bool takePort();

    Log &log_;
    const int sensorType_;
    const std::uint64_t stream_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> good_{0};
    std::atomic<int> bad_{0};
    QThread *thread_ = nullptr;
};
