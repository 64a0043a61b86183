#pragma once
// Device side of the unit's serial protocol, served on a pseudo-terminal so the
// configurator (or a test) can open the slave end like a real COM port.
//
// One serving thread owns the master end. Host bytes are read from the master
// as soon as they arrive (the host's queue operations must never find them
// still pending) and handed to a command parser; replies go through an output
// queue. With Config::paced both directions take 9600-baud 8N1 line time.
//
// Commands understood (plain ASCII, no terminator):
//   "fiusfiuv"        identify: Config::identifyReply, then nothing
//   "fiur"            the RAM image (Config::readImageBytes of it)
//   "fiusfiuw" + 392  full write: every byte echoed, then the EEPROM progress
//                     bytes; EEPROM := RAM once they are out
//   "fiut" + 392      quick write into RAM, no reply
//   "fiusfiuy"        the 5-byte sensor record (Config::sensorRecordBytes of it)
//   "se" + 5          store a new sensor record (no reply)
//   "sl"              start the live stream, 10-byte frames every 10.42 ms
//   "s"               stop the stream. While idle a lone 's' is told from "se"
//                     and "sl" by waiting 50 ms for the next byte; while
//                     streaming the frames stop at once and the same wait runs
//   'c' mag sign      live correction (-255..255); nudges the output byte
//   'g' 0 255         correction window (the engine model corrects inside it)
//   "fiud"            enter the boot loader
// Anything else is logged as "unknown 0xNN" and skipped byte by byte.
//
// Boot loader: blocks of 2 length bytes (big-endian) + L payload bytes; each
// complete block is answered 0x11 (or a fault). The unit leaves the boot loader
// and answers commands again after a block of length 0, or after
// Config::bootloaderExitMs without a byte once at least one block has been
// accepted. Until a first block is accepted it waits for blocks for ever, like
// a unit stuck in its boot loader. A block that stalls for 1 s mid-way is
// dropped ("block K incomplete") and the unit keeps waiting for blocks.
//
// Hang-up (Config::hangupAfterFrames) closes the master, as if the unit were
// unplugged: on Linux the host's reads then return 0 (end of file), its writes
// fail with EIO and poll reports POLLHUP. The serving thread ends there.
//
// Event log strings (events(), the event callback):
//   "identify", "read", "write", "write-echo-stop N", "write-wrong-echo N",
//   "write-timeout N", "eeprom N" (end of a full write, N progress bytes sent),
//   "quick-write", "quick-write-timeout N", "sensor-query",
//   "calibrate A B C D E" (record bytes in decimal), "stream-start",
//   "stream-stop", "stream-silent", "hangup", "correction V", "window A B",
//   "bootloader", "block K len L accepted|rejected|ignored",
//   "block K incomplete", "bootloader-exit", "unknown 0xNN",
//   "command-timeout C" (a 'c', 'g' or "se" whose data bytes never came).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sim/EngineModel.h"

namespace sim {

constexpr std::size_t kImageSize = 392;
using Image = std::array<std::uint8_t, kImageSize>;
using SensorRecord = std::array<std::uint8_t, 5>;

// Plausible factory image: one-to-one ramp in slots 0..255, default parameters
// in 256..263 (263 = 255), reference voltage 5.0 V (little-endian float) in
// 277..280, zeros elsewhere.
Image defaultImage();

struct Config {
    // id 6, firmware 2.3, hardware 3, 16000 kHz. {} = silence, {23} = old unit.
    std::vector<std::uint8_t> identifyReply = {0, 6, 1, 23, 1, 3, 0x3E, 0x80};
    bool paced = false; // 9600 baud 8N1 both ways (10 bits, ~1.042 ms per byte)

    // Working angle 90, type code 135, direction 0, calibration point 949.
    SensorRecord sensorRecord = {90, 135, 0, 0x03, 0xB5};
    int sensorRecordBytes = 5; // fewer = short reply to "fiusfiuy"
    int readImageBytes = 392;  // fewer = short reply to "fiur"

    // Full write faults (image byte index, 0-based). At echoStopAt the byte
    // gets no echo and the unit drops the write; at echoWrongAt a different
    // byte is echoed and the unit drops the write as well.
    int echoStopAt = -1;
    int echoWrongAt = -1;
    // EEPROM phase bytes; empty = 389 counting bytes (1, 2, ...) then a 0.
    std::vector<std::uint8_t> eepromProgress;
    // After a full write the unit keeps its own value in this slot, so the
    // verification read differs there (-1: none).
    int ownByteAt = -1;
    std::uint8_t ownByteValue = 0;

    // Stream faults; K counts frames of the current stream from 0.
    int loseByteAtFrame = -1;    // frame K goes out with one byte missing
    std::set<int> corruptFrames; // these frames carry a wrong check byte
    int silenceAfterFrames = -1; // after K frames nothing more is sent
    int hangupAfterFrames = -1;  // after K frames the master is closed

    // Boot loader; K is the index of the block being sent (= blocks accepted).
    int rejectBlock = -1, rejectTimes = 0; // answer block K with 0x00 n times
    int silenceAtBlock = -1;               // never answer block K
    bool startInBootloader = false;        // read at start() only
    // Streaming from start() on, as a unit left streaming by an earlier run;
    // it answers other commands meanwhile. Read at start() only.
    bool streamAtStart = false;
    int bootloaderExitMs = 2000;
    // The engine behind the stream (read at each "sl"); none: the sweep of
    // modelFrame, whose oxygen signal does not answer the table.
    std::shared_ptr<const EngineModel> engine;
};

// The demo unit: the demo engine behind the stream.
Config demoConfig();

class Emulator {
public:
    explicit Emulator(Config cfg = {});
    ~Emulator(); // stops the thread, closes the master
    Emulator(const Emulator &) = delete;
    Emulator &operator=(const Emulator &) = delete;

    // Opens the pty (raw, 9600) and starts serving; returns the slave path.
    // Throws std::runtime_error when no pty can be had.
    std::string start();
    void stop();
    std::string slavePath() const;
    bool running() const; // false before start, after stop and after a hang-up

    // Takes effect at the next command (for the stream: at the next "sl");
    // also replaces the stored sensor record with cfg.sensorRecord.
    void setConfig(const Config &cfg);
    Config config() const;

    Image ram() const;
    Image eeprom() const;
    void setRam(const Image &image);
    void setEeprom(const Image &image);
    SensorRecord sensorRecord() const; // as last stored by "se" or setConfig
    bool inBootloader() const;

    std::vector<std::uint8_t> received() const; // every host byte, in order
    // When each byte of received() arrived, in ms since start().
    std::vector<double> receivedTimes() const;
    std::vector<std::string> events() const;
    // True once an event starting with prefix is in the log (since clearLog).
    bool waitForEvent(const std::string &prefix, int timeoutMs) const;
    void clearLog(); // clears received() and events()

    int framesSent() const;    // frames of the current (or last) stream
    int blocksAccepted() const; // since start
    // Accepted blocks as they came on the wire: length bytes + payload.
    std::vector<std::vector<std::uint8_t>> firmwareBlocks() const;

    // Called on the serving thread for every event, after it is logged.
    void setEventCallback(std::function<void(const std::string &)> callback);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The demo unit, serving: the demo engine and the demo image.
std::unique_ptr<Emulator> startDemoUnit();

// Live frame n of a stream, as the engine model produces it (check byte
// included). Exposed so tests can compare against the model.
std::array<std::uint8_t, 10> modelFrame(int n, const Image &ram, int correction);

} // namespace sim
