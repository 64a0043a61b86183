#include "link/Protocol.h"

#include <cmath>
#include <thread>

#include "link/Crc8.h"
#include "link/Rxtx.h"

namespace proto {
namespace {

WaitHook &waitHook()
{
    static WaitHook hook;
    return hook;
}

void send(TRXTX &channel, const char *word)
{
    channel.write(QByteArray(word));
}

void sendImage(TRXTX &channel, const Image &image)
{
    channel.write(image.data(), kImageSize);
}

} // namespace

void setWaitHook(WaitHook hook)
{
    waitHook() = std::move(hook);
}

void wait(int ms)
{
    if (waitHook())
        waitHook()(ms);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

QByteArray identify(TRXTX &channel)
{
    for (int attempt = 0;; ++attempt) {
        channel.clearBoth();
        send(channel, "fiusfiuv");
        QByteArray reply;
        std::uint8_t byte = 0;
        // The reply has no length: it ends with a second of silence. A unit
        // still streaming from an earlier run never falls silent, so the
        // reply is bounded.
        while (reply.size() <= kMaxIdentifyReply && channel.read(&byte, 1) == 1)
            reply.append(char(byte));
        if (reply.isEmpty())
            throw EProtocol(QStringLiteral("ErrorConnect"), 0, 1);
        if (reply.size() <= kMaxIdentifyReply)
            return reply;
        if (attempt > 0)
            throw EProtocol(QStringLiteral("ErrorConnect"), int(reply.size()), kMaxIdentifyReply);
        // Frames, not a reply: stop the stream, let the last frame pass and ask again.
        streamStop(channel);
        wait(kStreamStopSettleMs);
    }
}

int readImage(TRXTX &channel, Image &out, bool clearOutputToo)
{
    channel.clearBoth();
    if (clearOutputToo)
        channel.clearOutput();
    send(channel, "fiur");
    return channel.read(out.data(), kImageSize);
}

EchoResult writeImageEcho(TRXTX &channel, const std::function<Image()> &prepareImage,
                          const std::function<void(int)> &onEcho)
{
    channel.clearBoth();
    channel.clearOutput();
    send(channel, "fiusfiuw");
    const Image image = prepareImage();
    EchoResult result;
    for (int i = 0; i < kImageSize; ++i) {
        std::uint8_t echo = 0;
        channel.write(&image[i], 1);
        const int got = channel.read(&echo, 1);
        if (got == 1)
            result.received = echo;
        if (got != 1 || echo != image[i]) {
            result.failedAt = i;
            result.sent = image[i];
            return result;
        }
        if (onEcho)
            onEcho(i);
    }
    return result;
}

int eepromPhase(TRXTX &channel, const std::function<void(int)> &onStep)
{
    int steps = 0;
    std::uint8_t byte = 0;
    while (channel.read(&byte, 1) == 1) {
        ++steps;
        if (onStep)
            onStep(steps);
        if (byte == 0 && steps >= kEepromEndSteps)
            break;
    }
    return steps;
}

void quickWrite(TRXTX &channel, const std::function<Image()> &prepareImage)
{
    channel.clearBoth();
    channel.clearOutput();
    send(channel, "fiut");
    const Image image = prepareImage();
    channel.clearOutput();
    sendImage(channel, image);
}

int sensorRecordQuery(TRXTX &channel, std::array<std::uint8_t, kSensorRecordSize> &out)
{
    channel.clearBoth();
    channel.clearOutput();
    send(channel, "fiusfiuy");
    wait(200);
    return channel.read(out.data(), kSensorRecordSize);
}

void sensorCalibration(TRXTX &channel, const std::array<std::uint8_t, kSensorRecordSize> &record)
{
    send(channel, "se");
    wait(200);
    channel.clearBoth();
    channel.clearOutput();
    channel.write(record.data(), kSensorRecordSize);
}

void streamStart(TRXTX &channel)
{
    channel.clearBoth();
    channel.clearOutput();
    send(channel, "sl");
}

void streamStop(TRXTX &channel)
{
    send(channel, "s");
}

void liveCorrection(TRXTX &channel, int value)
{
    const std::uint8_t command = 'c';
    const std::uint8_t data[2] = {std::uint8_t(std::abs(value)), std::uint8_t(value < 0 ? 1 : 0)};
    channel.write(&command, 1);
    channel.write(data, 2);
}

void correctionWindowCommand(TRXTX &channel)
{
    const std::uint8_t command = 'g';
    const std::uint8_t data[2] = {0, 255};
    channel.write(&command, 1);
    channel.write(data, 2);
}

void bootloaderEntry(TRXTX &channel, bool recovery)
{
    channel.clearOutput();
    channel.clearBoth();
    if (!recovery)
        send(channel, "fiud");
    wait(300);
}

BlockResult sendFirmwareBlock(TRXTX &channel, const std::uint8_t *block, int length,
                              const std::function<void()> &beforeSend)
{
    BlockResult result;
    while (result.sends < kMaxBlockSends) {
        channel.clearBoth();
        if (beforeSend)
            beforeSend();
        channel.write(block, length);
        ++result.sends;
        std::uint8_t ack = 0;
        if (channel.read(&ack, 1) != 1) {
            result.outcome = BlockOutcome::NoAnswer;
            return result;
        }
        if (ack == kBlockAccepted) {
            result.outcome = BlockOutcome::Accepted;
            return result;
        }
        result.outcome = BlockOutcome::Rejected;
    }
    return result;
}

BlockSplit splitFirmwareBlocks(const QByteArray &image)
{
    BlockSplit split;
    const int n = int(image.size());
    int position = 0;
    while (position < n) {
        if (position + 2 > n) {
            split.overrunAt = position;
            break;
        }
        const int payload = (std::uint8_t(image[position]) << 8) | std::uint8_t(image[position + 1]);
        const int length = payload + 2;
        if (position + length > n) {
            split.overrunAt = position;
            break;
        }
        split.blocks.push_back({position, length});
        position += length;
    }
    return split;
}

bool frameCheckOk(const std::uint8_t *frame)
{
    return crc8(frame, kFrameSize - 1) == frame[kFrameSize - 1];
}

LiveFrame decodeFrame(const std::uint8_t *frame)
{
    LiveFrame f;
    f.converter = frame[0];
    f.slot = frame[1] & 0x03;
    f.auxOut = frame[2];
    f.maf = frame[3];
    f.tps = frame[4];
    f.period = (frame[5] << 8) | frame[6];
    f.o2 = frame[7];
    f.slotValue = f.slot >= 2 ? int(std::int8_t(frame[8])) : int(frame[8]);
    return f;
}

int rpmFromPeriod(int period)
{
    const double p = period == 0 ? 1500000.0 : double(period);
    return int(std::nearbyint(1500000.0 / p));
}

} // namespace proto
