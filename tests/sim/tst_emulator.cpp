// The emulator is driven from the host side of a real pseudo-terminal with
// plain POSIX calls, exactly as the configurator's serial layer will see it.
#include "sim/Emulator.h"
#include "link/Crc8.h"

#include <QtTest>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(sim::Config)

// Readable failure output for byte sequences.
namespace QTest {
template <>
char *toString(const Bytes &v)
{
    return toString(QByteArray(reinterpret_cast<const char *>(v.data()), qsizetype(v.size())).toHex(' '));
}
template <>
char *toString(const sim::Image &v)
{
    return toString(QByteArray(reinterpret_cast<const char *>(v.data()), qsizetype(v.size())).toHex(' '));
}
} // namespace QTest

namespace {

Bytes bytesOf(const std::string &s) { return Bytes(s.begin(), s.end()); }

int elapsedMs(Clock::time_point since)
{
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Host end of the line. setRaw = false leaves the terminal settings as the
// emulator made them.
class Port {
public:
    explicit Port(const std::string &path, bool setRaw = true)
    {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd >= 0 && setRaw) {
            termios t{};
            ::tcgetattr(fd, &t);
            ::cfmakeraw(&t);
            ::cfsetispeed(&t, B9600);
            ::cfsetospeed(&t, B9600);
            ::tcsetattr(fd, TCSANOW, &t);
        }
    }
    ~Port()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool ok() const { return fd >= 0; }

    bool send(const Bytes &b)
    {
        std::size_t done = 0;
        while (done < b.size()) {
            const ssize_t n = ::write(fd, b.data() + done, b.size() - done);
            if (n <= 0)
                return false;
            done += std::size_t(n);
        }
        return true;
    }
    bool send(const std::string &s) { return send(bytesOf(s)); }

    // Up to n bytes within timeoutMs in all. eof is set when the line is gone.
    Bytes read(std::size_t n, int timeoutMs)
    {
        Bytes got;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < n) {
            const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     deadline - Clock::now())
                                     .count());
            if (left <= 0)
                break;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, left) <= 0)
                break;
            std::uint8_t buf[512];
            const ssize_t r = ::read(fd, buf, std::min(sizeof buf, n - got.size()));
            if (r <= 0) {
                eof = true;
                break;
            }
            got.insert(got.end(), buf, buf + r);
        }
        return got;
    }
    // Everything until the line has been quiet for quietMs.
    Bytes readUntilQuiet(int quietMs, std::size_t max = 100000)
    {
        Bytes got;
        while (got.size() < max) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, quietMs) <= 0)
                break;
            std::uint8_t buf[512];
            const ssize_t r = ::read(fd, buf, std::min(sizeof buf, max - got.size()));
            if (r <= 0) {
                eof = true;
                break;
            }
            got.insert(got.end(), buf, buf + r);
        }
        return got;
    }
    int fd = -1;
    bool eof = false;
};

// The host's frame reader: a frame that fails the check costs one extra byte,
// so the reads slide until they line up with the unit's frames again.
struct Resync {
    std::vector<std::array<std::uint8_t, 10>> good;
    int bad = 0;
    int firstBadAt = -1; // index into good at which the first bad frame came
};
Resync resync(const Bytes &bytes)
{
    Resync r;
    std::size_t pos = 0;
    while (pos + 10 <= bytes.size()) {
        std::array<std::uint8_t, 10> f;
        std::copy(bytes.begin() + long(pos), bytes.begin() + long(pos) + 10, f.begin());
        pos += 10;
        if (crc8(f.data(), 9) == f[9]) {
            r.good.push_back(f);
        } else {
            if (r.firstBadAt < 0)
                r.firstBadAt = int(r.good.size());
            ++r.bad;
            ++pos;
        }
    }
    return r;
}

bool hasEvent(const sim::Emulator &emu, const std::string &event)
{
    const auto all = emu.events();
    return std::find(all.begin(), all.end(), event) != all.end();
}

sim::Image patternImage()
{
    // Every byte value, control characters included, in both halves.
    sim::Image image;
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = std::uint8_t(255 - i * 7 % 256 + (i >= 256 ? 3 : 0));
    return image;
}

} // namespace

class TestEmulator : public QObject {
    Q_OBJECT
private slots:
    void identify_data();
    void identify();
    void readImage_data();
    void readImage();
    void fullWrite_data();
    void fullWrite();
    void quickWriteWhileStreamingPassesEveryByteValue();
    void sensorRecord_data();
    void sensorRecord();
    void streamFrames_data();
    void streamFrames();
    void streamEnds_data();
    void streamEnds();
    void commandParsing_data();
    void commandParsing();
    void bootloader_data();
    void bootloader();
    void pacedLineTime();
};

void TestEmulator::identify_data()
{
    QTest::addColumn<Bytes>("reply");
    QTest::newRow("current unit") << Bytes{0, 6, 1, 23, 1, 3, 0x3E, 0x80};
    QTest::newRow("old one-byte unit") << Bytes{23};
    QTest::newRow("no optional fields") << Bytes{0, 6, 0x3E, 0x80};
    QTest::newRow("truncated") << Bytes{0};
    QTest::newRow("silent") << Bytes{};
    QTest::newRow("control bytes") << Bytes{0x0D, 0x11, 0x13, 0x7F, 0x03, 0x0A, 0x1A, 0x00};
}

void TestEmulator::identify()
{
    QFETCH(Bytes, reply);
    // Default config first, then the row's reply through setConfig, so both
    // the built-in answer and a reconfigured one are exercised.
    sim::Emulator emu;
    Port port(emu.start());
    QVERIFY(port.ok());
    port.send("fiusfiuv");
    QCOMPARE(port.readUntilQuiet(150), (Bytes{0, 6, 1, 23, 1, 3, 0x3E, 0x80}));

    sim::Config cfg;
    cfg.identifyReply = reply;
    emu.setConfig(cfg);
    emu.clearLog();
    port.send("fiusfiuv");
    QVERIFY(emu.waitForEvent("identify", 2000));
    QCOMPARE(port.readUntilQuiet(150), reply);
    QCOMPARE(emu.events(), std::vector<std::string>{"identify"});
    QCOMPARE(emu.received(), bytesOf("fiusfiuv"));
}

void TestEmulator::readImage_data()
{
    QTest::addColumn<int>("replyBytes");
    QTest::newRow("whole image") << 392;
    QTest::newRow("short") << 100;
    QTest::newRow("none") << 0;
}

void TestEmulator::readImage()
{
    QFETCH(int, replyBytes);
    sim::Config cfg;
    cfg.readImageBytes = replyBytes;
    sim::Emulator emu(cfg);
    Port port(emu.start());

    // The factory image the configurator expects to find on a fresh unit.
    sim::Image expected{};
    for (int i = 0; i < 256; ++i)
        expected[i] = std::uint8_t(i);
    const std::uint8_t params[] = {4, 5, 128, 64, 128, 128, 128, 255};
    std::copy(std::begin(params), std::end(params), expected.begin() + 256);
    const std::uint8_t five[] = {0x00, 0x00, 0xA0, 0x40};
    std::copy(std::begin(five), std::end(five), expected.begin() + 277);
    QCOMPARE(emu.ram(), expected);
    QCOMPARE(emu.eeprom(), expected);

    port.send("fiur");
    const Bytes got = port.readUntilQuiet(200);
    QCOMPARE(got, Bytes(expected.begin(), expected.begin() + replyBytes));
    QVERIFY(hasEvent(emu, "read"));
}

void TestEmulator::fullWrite_data()
{
    QTest::addColumn<sim::Config>("cfg");
    QTest::addColumn<int>("echoesExpected");  // image bytes echoed correctly
    QTest::addColumn<int>("progressSteps");   // host's count when the phase ends
    QTest::addColumn<QString>("endEvent");

    sim::Config clean;
    QTest::newRow("clean") << clean << 392 << 390 << "eeprom 390";

    sim::Config stop;
    stop.echoStopAt = 100;
    QTest::newRow("echo stops at 100") << stop << 100 << -1 << "write-echo-stop 100";

    sim::Config wrong;
    wrong.echoWrongAt = 7;
    QTest::newRow("wrong echo at 7") << wrong << 7 << -1 << "write-wrong-echo 7";

    // A 0 at step 10 must not end the phase; 388 non-zero and a 0 end it at 389.
    sim::Config custom;
    custom.eepromProgress = Bytes(388, 0x55);
    custom.eepromProgress[9] = 0;
    custom.eepromProgress.push_back(0);
    QTest::newRow("custom progress") << custom << 392 << 389 << "eeprom 389";
}

void TestEmulator::fullWrite()
{
    QFETCH(sim::Config, cfg);
    QFETCH(int, echoesExpected);
    QFETCH(int, progressSteps);
    QFETCH(QString, endEvent);

    sim::Emulator emu(cfg);
    Port port(emu.start());
    const sim::Image before = emu.ram();
    const sim::Image image = patternImage();

    // The host's full write: one byte, one echo.
    port.send("fiusfiuw");
    int echoed = 0;
    for (; echoed < int(image.size()); ++echoed) {
        port.send(Bytes{image[echoed]});
        const Bytes echo = port.read(1, 300);
        if (echo != Bytes{image[echoed]})
            break;
    }
    QCOMPARE(echoed, echoesExpected);

    if (progressSteps > 0) {
        int steps = 0;
        for (;;) {
            const Bytes b = port.read(1, 300);
            if (b.empty())
                break;
            ++steps;
            if (b[0] == 0 && steps >= 389)
                break;
        }
        QCOMPARE(steps, progressSteps);
        QVERIFY(emu.waitForEvent(endEvent.toStdString(), 2000));
        QCOMPARE(emu.ram(), image);
        QCOMPARE(emu.eeprom(), image);
        // Verification read-back.
        port.send("fiur");
        const Bytes back = port.read(392, 2000);
        QCOMPARE(back, Bytes(image.begin(), image.end()));
    } else {
        QVERIFY(emu.waitForEvent(endEvent.toStdString(), 2000));
        QCOMPARE(port.readUntilQuiet(100), Bytes{});
        // Working memory holds the part that got through; EEPROM is untouched.
        const sim::Image ram = emu.ram();
        QVERIFY(std::equal(image.begin(), image.begin() + echoesExpected, ram.begin()));
        QVERIFY(std::equal(before.begin() + echoesExpected + 1, before.end(),
                           ram.begin() + echoesExpected + 1));
        QCOMPARE(emu.eeprom(), before);
        // Having dropped the write, the unit answers commands again.
        port.send("fiusfiuv");
        QCOMPARE(port.readUntilQuiet(150).size(), std::size_t(8));
    }
}

void TestEmulator::quickWriteWhileStreamingPassesEveryByteValue()
{
    sim::Emulator emu;
    // No terminal set-up on the host side: the emulator's raw settings must
    // already let 0x03, 0x0D, 0x11, 0x13, 0x7F and the rest through untouched.
    Port port(emu.start(), false);
    QVERIFY(port.ok());
    const sim::Image image = patternImage();
    const sim::Image eepromBefore = emu.eeprom();

    port.send("sl");
    QCOMPARE(port.read(30, 2000).size(), std::size_t(30));
    port.send("fiut");
    port.send(Bytes(image.begin(), image.end()));
    QVERIFY(emu.waitForEvent("quick-write", 3000));
    QCOMPARE(emu.ram(), image);
    QCOMPARE(emu.eeprom(), eepromBefore);

    port.send("s");
    QVERIFY(emu.waitForEvent("stream-stop", 2000));
    port.readUntilQuiet(100);
    port.send("fiur");
    QCOMPARE(port.read(392, 2000), Bytes(image.begin(), image.end()));
    QCOMPARE(port.readUntilQuiet(100), Bytes{});
    // Not a byte lost or added on the way in either.
    Bytes expectedRx = bytesOf("slfiut");
    expectedRx.insert(expectedRx.end(), image.begin(), image.end());
    for (char c : std::string("sfiur"))
        expectedRx.push_back(std::uint8_t(c));
    QCOMPARE(emu.received(), expectedRx);
}

void TestEmulator::sensorRecord_data()
{
    QTest::addColumn<int>("replyBytes");
    QTest::addColumn<Bytes>("calibration"); // sent with "se" first unless empty
    QTest::addColumn<Bytes>("expected");
    QTest::newRow("default") << 5 << Bytes{} << Bytes{90, 135, 0, 3, 181};
    QTest::newRow("short reply") << 3 << Bytes{} << Bytes{90, 135, 0};
    QTest::newRow("calibrated at min") << 5 << Bytes{45, 135, 1, 0, 51} << Bytes{45, 135, 1, 0, 51};
}

void TestEmulator::sensorRecord()
{
    QFETCH(int, replyBytes);
    QFETCH(Bytes, calibration);
    QFETCH(Bytes, expected);
    sim::Config cfg;
    cfg.sensorRecordBytes = replyBytes;
    sim::Emulator emu(cfg);
    Port port(emu.start());

    if (!calibration.empty()) {
        // The host pauses between the command word and the record.
        port.send("se");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        port.send(calibration);
        std::string event = "calibrate";
        for (auto b : calibration)
            event += " " + std::to_string(b);
        QVERIFY(emu.waitForEvent(event, 2000));
        QCOMPARE(port.readUntilQuiet(100), Bytes{});
    }
    port.send("fiusfiuy");
    QCOMPARE(port.readUntilQuiet(150), expected);
    QVERIFY(hasEvent(emu, "sensor-query"));
}

void TestEmulator::streamFrames_data()
{
    QTest::addColumn<sim::Config>("cfg");
    QTest::addColumn<QList<int>>("badAligned"); // frames, counted from 0, that fail the check
    QTest::addColumn<bool>("lostByte");

    QTest::newRow("clean") << sim::Config{} << QList<int>{} << false;
    sim::Config corrupt;
    corrupt.corruptFrames = {3, 4};
    QTest::newRow("corrupt 3 and 4") << corrupt << QList<int>{3, 4} << false;
    sim::Config lose;
    lose.loseByteAtFrame = 5;
    QTest::newRow("byte lost in frame 5") << lose << QList<int>{} << true;
}

void TestEmulator::streamFrames()
{
    QFETCH(sim::Config, cfg);
    QFETCH(QList<int>, badAligned);
    QFETCH(bool, lostByte);
    sim::Emulator emu(cfg);
    Port port(emu.start());
    const sim::Image ram = emu.ram();

    port.send("sl");
    const std::size_t want = lostByte ? 399 : 400;
    Bytes stream = port.read(want, 3000);
    QCOMPARE(stream.size(), want);
    port.send("s");
    QVERIFY(emu.waitForEvent("stream-stop", 2000));
    // Whatever was already on its way (the bound allows for a loaded
    // machine), the frames stop.
    const Bytes tail = port.readUntilQuiet(100);
    QVERIFY2(tail.size() <= 200, std::to_string(tail.size()).c_str());
    const int framesAfterStop = emu.framesSent();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    QCOMPARE(emu.framesSent(), framesAfterStop);
    stream.insert(stream.end(), tail.begin(), tail.end());

    if (!lostByte) {
        for (int n = 0; n * 10 + 10 <= int(stream.size()); ++n) {
            const std::uint8_t *f = stream.data() + n * 10;
            const bool good = crc8(f, 9) == f[9];
            QCOMPARE(good, !badAligned.contains(n));
            QCOMPARE(f[1] & 3, n % 4);
            QCOMPARE(f[0], ram[f[4]]); // output = table[throttle]
            const int period = f[5] << 8 | f[6];
            QVERIFY(period > 0 && 1500000 / period >= 500 && 1500000 / period <= 8000);
        }
        // Upper selector bits show up in some frames and must be masked.
        bool upperBits = false;
        for (int n = 0; n * 10 + 10 <= int(stream.size()); ++n)
            upperBits |= (stream[n * 10 + 1] & ~3) != 0;
        QVERIFY(upperBits);
        // Slot 0 carries the switch bits: idle at the start of the sweep.
        QCOMPARE(int(stream[8]), 1);
    } else {
        const Resync r = resync(stream);
        QCOMPARE(r.firstBadAt, 5);
        QVERIFY2(r.bad >= 1 && r.bad <= 9, std::to_string(r.bad).c_str());
        QVERIFY(r.good.size() >= 25);
        // Frames after the recovery are real, consecutive model frames.
        const auto &last = r.good.back();
        const auto &before = r.good[r.good.size() - 2];
        QCOMPARE((before[1] + 1) & 3, last[1] & 3);
    }
}

void TestEmulator::streamEnds_data()
{
    QTest::addColumn<sim::Config>("cfg");
    QTest::addColumn<int>("frames");
    QTest::addColumn<bool>("hangup");
    sim::Config silent;
    silent.silenceAfterFrames = 20;
    QTest::newRow("silent after 20") << silent << 20 << false;
    sim::Config unplug;
    unplug.hangupAfterFrames = 15;
    QTest::newRow("unplugged after 15") << unplug << 15 << true;
}

void TestEmulator::streamEnds()
{
    QFETCH(sim::Config, cfg);
    QFETCH(int, frames);
    QFETCH(bool, hangup);
    sim::Emulator emu(cfg);
    Port port(emu.start());

    port.send("sl");
    const Bytes stream = port.readUntilQuiet(300);
    QCOMPARE(int(stream.size()), frames * 10);
    QCOMPARE(int(resync(stream).good.size()), frames);
    QCOMPARE(emu.framesSent(), frames);

    if (hangup) {
        QVERIFY(emu.waitForEvent("hangup", 2000));
        QVERIFY(port.eof);
        QVERIFY(!emu.running());
        // The line is gone: reads see end of file, writes fail with EIO.
        std::uint8_t b;
        QCOMPARE(::read(port.fd, &b, 1), ssize_t(0));
        errno = 0;
        QCOMPARE(::write(port.fd, "s", 1), ssize_t(-1));
        QCOMPARE(errno, EIO);
    } else {
        QVERIFY(hasEvent(emu, "stream-silent"));
        QVERIFY(emu.running());
        // Still attached: the stop and other commands are taken.
        port.send("s");
        QVERIFY(emu.waitForEvent("stream-stop", 2000));
        port.send("fiusfiuv");
        QCOMPARE(port.readUntilQuiet(150).size(), std::size_t(8));
    }
}

void TestEmulator::commandParsing_data()
{
    // Chunks are sent 120 ms apart; the events must come out exactly so.
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("correction -5")
        << QList<QByteArray>{QByteArray("c"), QByteArray("\x05\x01", 2)}
        << QStringList{"correction -5"};
    QTest::newRow("correction 0 and 255")
        << QList<QByteArray>{QByteArray("c\x00\x00", 3), QByteArray("c\xff\x00", 3)}
        << QStringList{"correction 0", "correction 255"};
    QTest::newRow("window") << QList<QByteArray>{QByteArray("g"), QByteArray("\x00\xff", 2)}
                            << QStringList{"window 0 255"};
    QTest::newRow("stray bytes before a command")
        << QList<QByteArray>{QByteArray("A\rfiXfiur")}
        << QStringList{"unknown 0x41", "unknown 0x0D", "unknown 0x66", "unknown 0x69",
                       "unknown 0x58", "read"};
    QTest::newRow("lone s, later l")
        << QList<QByteArray>{QByteArray("s"), QByteArray("l")}
        << QStringList{"stream-stop", "unknown 0x6C"};
    QTest::newRow("s then a correction at once")
        << QList<QByteArray>{QByteArray("sc\x03\x00", 4)}
        << QStringList{"stream-stop", "correction 3"};
    QTest::newRow("stream start, stop, restart, stop")
        << QList<QByteArray>{QByteArray("sl"), QByteArray("s"), QByteArray("sl"), QByteArray("s")}
        << QStringList{"stream-start", "stream-stop", "stream-start", "stream-stop"};
    QTest::newRow("stop and restart in one go while streaming")
        << QList<QByteArray>{QByteArray("sl"), QByteArray("ssl"), QByteArray("s")}
        << QStringList{"stream-start", "stream-stop", "stream-start", "stream-stop"};
    QTest::newRow("partial word abandoned")
        << QList<QByteArray>{QByteArray("fius"), {}, {}, {}, {}, {}, {}, QByteArray("fiur")}
        << QStringList{"unknown 0x66", "unknown 0x69", "unknown 0x75", "stream-stop", "read"};
}

void TestEmulator::commandParsing()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QStringList, expected);
    sim::Emulator emu;
    Port port(emu.start());
    for (int i = 0; i < chunks.size(); ++i) {
        if (i > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(120));
        port.send(Bytes(chunks[i].begin(), chunks[i].end()));
    }
    QVERIFY(emu.waitForEvent(expected.last().toStdString(), 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QStringList got;
    for (const auto &e : emu.events())
        got << QString::fromStdString(e);
    QCOMPARE(got, expected);
    // Nothing the host sent went missing on the way in.
    QByteArray all;
    for (const auto &c : chunks)
        all += c;
    QCOMPARE(emu.received(), Bytes(all.begin(), all.end()));
}

void TestEmulator::bootloader_data()
{
    QTest::addColumn<sim::Config>("cfg");
    QTest::addColumn<bool>("sendEntry");
    QTest::addColumn<Bytes>("firmware");
    QTest::addColumn<Bytes>("acks");       // every answer the host gets, in order
    QTest::addColumn<int>("accepted");
    QTest::addColumn<bool>("leavesBootloader");

    const Bytes two{0, 3, 0xAA, 0xBB, 0xCC, 0, 1, 0xDD};
    sim::Config plain;
    plain.bootloaderExitMs = 200;
    QTest::newRow("two blocks, exit on idle") << plain << true << two << Bytes{0x11, 0x11} << 2 << true;

    sim::Config recovery = plain;
    recovery.startInBootloader = true;
    QTest::newRow("recovery without entry") << recovery << false << two << Bytes{0x11, 0x11} << 2 << true;

    sim::Config reject = plain;
    reject.rejectBlock = 1;
    reject.rejectTimes = 3;
    QTest::newRow("block 1 rejected three times")
        << reject << true << two << Bytes{0x11, 0, 0, 0, 0x11} << 2 << true;

    sim::Config rejectAll = plain;
    rejectAll.rejectBlock = 0;
    rejectAll.rejectTimes = 4;
    QTest::newRow("block 0 rejected four times")
        << rejectAll << true << two << Bytes{0, 0, 0, 0} << 0 << false;

    sim::Config silent = plain;
    silent.silenceAtBlock = 1;
    QTest::newRow("block 1 never answered") << silent << true << two << Bytes{0x11} << 1 << true;

    sim::Config endBlock; // long idle exit: only the empty block can end it in time
    QTest::newRow("empty block ends the update")
        << endBlock << true << Bytes{0, 2, 0x11, 0x13, 0, 0} << Bytes{0x11, 0x11} << 2 << true;
}

void TestEmulator::bootloader()
{
    QFETCH(sim::Config, cfg);
    QFETCH(bool, sendEntry);
    QFETCH(Bytes, firmware);
    QFETCH(Bytes, acks);
    QFETCH(int, accepted);
    QFETCH(bool, leavesBootloader);
    sim::Emulator emu(cfg);
    Port port(emu.start());
    QCOMPARE(emu.inBootloader(), cfg.startInBootloader);

    if (sendEntry) {
        port.send("fiud");
        QVERIFY(emu.waitForEvent("bootloader", 2000));
        QVERIFY(emu.inBootloader());
    }
    // The host's update loop: each block at most 4 times, give up on silence.
    Bytes answers;
    std::vector<Bytes> sentBlocks;
    std::size_t pos = 0;
    int tries = 0;
    while (pos < firmware.size()) {
        const std::size_t len = std::size_t(firmware[pos] << 8 | firmware[pos + 1]) + 2;
        const Bytes block(firmware.begin() + long(pos), firmware.begin() + long(pos + len));
        port.send(block);
        const Bytes ack = port.read(1, 300);
        if (ack.empty())
            break;
        answers.push_back(ack[0]);
        if (ack[0] == 0x11) {
            sentBlocks.push_back(block);
            pos += len;
            tries = 0;
        } else if (++tries == 4) {
            break;
        }
    }
    QCOMPARE(answers, acks);
    QCOMPARE(emu.blocksAccepted(), accepted);
    QCOMPARE(emu.firmwareBlocks(), sentBlocks);

    if (leavesBootloader) {
        QVERIFY(emu.waitForEvent("bootloader-exit", 2000));
        QVERIFY(!emu.inBootloader());
        port.send("fiusfiuv");
        QCOMPARE(port.readUntilQuiet(150).size(), std::size_t(8));
    } else {
        // A unit stuck in its boot loader takes the identify as a block start.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        QVERIFY(emu.inBootloader());
        port.send("fiusfiuv");
        QCOMPARE(port.readUntilQuiet(150), Bytes{});
    }
}

void TestEmulator::pacedLineTime()
{
    // 392 bytes at 9600 baud take ~408 ms each way; bounds stay generous.
    sim::Config cfg;
    cfg.paced = true;
    sim::Emulator emu(cfg);
    Port port(emu.start());

    auto t0 = Clock::now();
    port.send("fiur");
    QCOMPARE(port.read(392, 3000).size(), std::size_t(392));
    const int readMs = elapsedMs(t0);
    QVERIFY2(readMs >= 380 && readMs < 2500, std::to_string(readMs).c_str());

    const sim::Image image = patternImage();
    Bytes quick = bytesOf("fiut");
    quick.insert(quick.end(), image.begin(), image.end());
    t0 = Clock::now();
    port.send(quick);
    // Taken off the line at once (the host's queue operations rely on it),
    // but consumed at line rate.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QCOMPARE(emu.received().size(), quick.size() + 4);
    QVERIFY(!hasEvent(emu, "quick-write"));
    QVERIFY(emu.waitForEvent("quick-write", 3000));
    const int writeMs = elapsedMs(t0);
    QVERIFY2(writeMs >= 380 && writeMs < 2500, std::to_string(writeMs).c_str());
    QCOMPARE(emu.ram(), image);

    // Frames come at line rate: ~96 per second.
    port.send("sl");
    port.read(10, 1000);
    t0 = Clock::now();
    QCOMPARE(port.read(300, 3000).size(), std::size_t(300));
    const int streamMs = elapsedMs(t0);
    QVERIFY2(streamMs >= 280 && streamMs < 2500, std::to_string(streamMs).c_str());
    port.send("s");
    QVERIFY(emu.waitForEvent("stream-stop", 2000));
}

QTEST_GUILESS_MAIN(TestEmulator)
#include "tst_emulator.moc"
