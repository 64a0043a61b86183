#pragma once
// The unit's command protocol: one function per command, each doing its own
// clearing, waits and reads. Failures are raised (EComPort from the port,
// EProtocol tokens where a reply is too short); callers report them.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include <QByteArray>
#include <QString>

class TRXTX;

namespace proto {

constexpr int kImageSize = 392;
constexpr int kFrameSize = 10;
constexpr int kSensorRecordSize = 5;
constexpr std::uint8_t kBlockAccepted = 0x11;
constexpr int kMaxBlockSends = 4;

using Image = std::array<std::uint8_t, kImageSize>;

// Waits of the protocol (200 ms, 300 ms) go through this hook so that the
// window can keep painting while a long exchange runs; default: sleep.
using WaitHook = std::function<void(int ms)>;
void setWaitHook(WaitHook hook);
void wait(int ms);

// ---- identify ("fiusfiuv") ----
// Reads the reply one byte at a time until a read of one byte times out.
// No first byte: EProtocol("ErrorConnect", 0, 1). A reply longer than any
// unit gives (kMaxIdentifyReply) is a stream left running: "s", a pause, and
// the identification is asked once more; a second overflow is
// EProtocol("ErrorConnect", received, kMaxIdentifyReply).
constexpr int kMaxIdentifyReply = 16;
constexpr int kStreamStopSettleMs = 100;
QByteArray identify(TRXTX &channel);

// ---- image transfer ----
// Clear both (and, for the verification read, the output queue too), "fiur",
// one read of 392 bytes. Returns the count received.
int readImage(TRXTX &channel, Image &out, bool clearOutputToo = false);

struct EchoResult {
    int failedAt = -1;       // image position without a correct echo, -1 when all echoed
    std::uint8_t sent = 0;
    std::uint8_t received = 0; // the last echo received (0 when none yet)
};
// Clear both, clear output, "fiusfiuw"; then prepareImage() supplies the bytes
// (the parameter bytes are refreshed after the command word), each written and
// its echo read. onEcho(i) runs after each correct echo.
EchoResult writeImageEcho(TRXTX &channel, const std::function<Image()> &prepareImage,
                          const std::function<void(int)> &onEcho = {});
// Reads progress bytes until a read returns nothing, or a 0 arrives once at
// least 389 steps have been counted. onStep(steps) after each byte. Returns steps.
int eepromPhase(TRXTX &channel, const std::function<void(int)> &onStep = {});
constexpr int kEepromEndSteps = 389;

// Clear both, clear output, "fiut", prepareImage(), clear output, 392 bytes at once.
void quickWrite(TRXTX &channel, const std::function<Image()> &prepareImage);

// ---- throttle sensor ----
// Clear both, clear output, "fiusfiuy", 200 ms, read 5. Returns the count read.
int sensorRecordQuery(TRXTX &channel, std::array<std::uint8_t, kSensorRecordSize> &out);
// "se", 200 ms, clear both, clear output, the 5-byte record. Nothing read.
void sensorCalibration(TRXTX &channel, const std::array<std::uint8_t, kSensorRecordSize> &record);

// ---- live data ----
void streamStart(TRXTX &channel); // clear both, clear output, "sl"
void streamStop(TRXTX &channel);  // "s", no clearing: the reader may be mid-frame
// 'c' in one write, then |v| and the sign (1 when negative) in a second.
void liveCorrection(TRXTX &channel, int value);
// 'g' in one write, then 0 and 255.
void correctionWindowCommand(TRXTX &channel);

// ---- firmware ----
// Clear output, clear both; "fiud" unless recovering; 300 ms.
void bootloaderEntry(TRXTX &channel, bool recovery);
enum class BlockOutcome { Accepted, Rejected, NoAnswer };
struct BlockResult {
    BlockOutcome outcome = BlockOutcome::NoAnswer;
    int sends = 0;
};
// Sends one block (length bytes included) until accepted, at most 4 times.
// beforeSend runs before each send, after the input is cleared.
BlockResult sendFirmwareBlock(TRXTX &channel, const std::uint8_t *block, int length,
                              const std::function<void()> &beforeSend = {});

struct FirmwareBlock {
    int offset = 0; // position in the image
    int length = 0; // bytes on the wire: payload length + 2
};
struct BlockSplit {
    std::vector<FirmwareBlock> blocks;
    // Offset of a block whose length field runs past the end of the image; -1 when none.
    int overrunAt = -1;
};
// Splits a firmware image into its length-prefixed blocks.
BlockSplit splitFirmwareBlocks(const QByteArray &image);

// ---- live frames ----
struct LiveFrame {
    int converter = 0; // byte 0
    int slot = 0;      // multiplexed slot 0..3 (bits 0 and 1 of byte 1)
    int auxOut = 0;    // byte 2
    int maf = 0;       // byte 3
    int tps = 0;       // byte 4
    int period = 0;    // bytes 5, 6 big-endian
    int o2 = 0;        // byte 7
    int slotValue = 0; // byte 8: slots 0, 1 unsigned, slots 2, 3 signed
};
bool frameCheckOk(const std::uint8_t *frame);
LiveFrame decodeFrame(const std::uint8_t *frame);
// Engine speed in rpm: 1500000 / period rounded; a period of 0 counts as 1500000.
int rpmFromPeriod(int period);

} // namespace proto
