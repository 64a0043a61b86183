#include "sim/Emulator.h"

#include <sys/prctl.h>

#include "link/Crc8.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
// 10 bits per byte at 9600 baud.
constexpr std::chrono::nanoseconds kByteTime(1041667);
constexpr auto kFramePeriod = kByteTime * 10;
// Frames are not queued behind a host that does not read; a unit on a real
// line would simply lose them.
constexpr std::size_t kMaxStreamBacklog = 64;

constexpr int kWordGapMs = 500;     // partial command word given up after this
constexpr int kAmbiguityMs = 50;    // "s" versus "se"/"sl"
constexpr int kDataByteMs = 1000;   // between the bytes of one command's data
constexpr int kFirstDataMs = 2000;  // host pauses (200 ms after "se") before data

// Unwinds the serving thread on stop() or after a hang-up.
struct Stopped {};

const char *const kWords[] = {"fiusfiuv", "fiusfiuw", "fiusfiuy", "fiur", "fiut",
                              "fiud",     "se",       "sl",       "s",    "c",
                              "g"};

std::string hexByte(std::uint8_t b)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", unsigned(b));
    return text;
}

} // namespace

Config demoConfig()
{
    Config cfg;
    cfg.engine = std::make_shared<const EngineModel>(demoEngine());
    return cfg;
}

std::unique_ptr<Emulator> startDemoUnit()
{
    auto unit = std::make_unique<Emulator>(demoConfig());
    unit->setRam(demoImage());
    unit->setEeprom(demoImage());
    unit->start();
    return unit;
}

Image defaultImage()
{
    Image image{};
    for (int i = 0; i < 256; ++i)
        image[i] = std::uint8_t(i);
    const std::uint8_t params[8] = {4, 5, 128, 64, 128, 128, 128, 255};
    std::copy(std::begin(params), std::end(params), image.begin() + 256);
    // 5.0f little-endian.
    image[277] = 0x00;
    image[278] = 0x00;
    image[279] = 0xA0;
    image[280] = 0x40;
    return image;
}

std::array<std::uint8_t, 10> modelFrame(int n, const Image &ram, int correction)
{
    // Throttle sweeps 0..255..0 in about 5.3 s; engine speed and air flow follow it.
    const int tri = n % 512;
    const int throttle = tri < 256 ? tri : 511 - tri;
    const int rpm = 800 + throttle * 20;
    const int airFlow = std::min(255, 20 + throttle * rpm / 7000);
    const int output = std::clamp(int(ram[throttle]) + correction, 0, 255);
    // Narrow-band oxygen sensor swinging rich and lean.
    const int o2 = (n / 25) % 2 ? 180 + n % 25 : 60 - n % 25;
    return assembleFrame(n, output, 255 - output, airFlow, throttle, rpm, o2, correction);
}

struct Emulator::Impl {
    // ---- shared with the caller's threads, under m ----
    mutable std::mutex m;
    mutable std::condition_variable cv;
    Config shared;
    bool configChanged = false;
    TimePoint lastInAt{}; // line arrival of the host byte taken last
    Image ramImage = defaultImage();
    Image eepromImage = defaultImage();
    SensorRecord record{};
    std::vector<std::uint8_t> rx;
    std::vector<double> rxTimes; // ms since start(), one per rx byte
    TimePoint started{};
    std::vector<std::string> log;
    std::function<void(const std::string &)> callback;
    int frames = 0;
    int accepted = 0;
    std::vector<std::vector<std::uint8_t>> blocks;
    bool bootloader = false;
    std::string path;

    std::atomic<bool> stopping{false};
    std::atomic<bool> alive{false};
    std::thread thread;
    int master = -1, slave = -1;
    int wake[2] = {-1, -1};

    // ---- serving thread only ----
    Config cfg;
    struct Timed {
        std::uint8_t b;
        TimePoint at; // input: when the parser may see it; output: when it is due
    };
    std::deque<Timed> in, out;
    TimePoint inLineFree{}, outLineFree{};
    bool streaming = false;
    bool streamSilent = false;
    TimePoint nextFrame{};
    int frameIndex = 0; // model time of the stream
    int correction = 0;
    int windowStart = 0, windowEnd = 255;
    std::unique_ptr<EngineRun> engine; // this stream's engine, if any

    explicit Impl(Config c) : shared(c), record(c.sensorRecord), cfg(std::move(c)) {}

    // ---------------- shared state helpers ----------------
    void event(const std::string &text)
    {
        std::function<void(const std::string &)> cb;
        {
            std::lock_guard<std::mutex> lock(m);
            log.push_back(text);
            cb = callback;
        }
        cv.notify_all();
        if (cb)
            cb(text);
    }

    void takeConfig()
    {
        std::lock_guard<std::mutex> lock(m);
        if (configChanged) {
            cfg = shared;
            configChanged = false;
        }
    }

    // ---------------- I/O pump ----------------
    void checkStop()
    {
        if (stopping.load())
            throw Stopped{};
    }

    void readMaster()
    {
        std::uint8_t buf[4096];
        for (;;) {
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0) {
                const TimePoint now = Clock::now();
                for (ssize_t i = 0; i < n; ++i) {
                    TimePoint at = now;
                    if (cfg.paced) {
                        inLineFree = std::max(now, inLineFree) + kByteTime;
                        at = inLineFree;
                    }
                    in.push_back({buf[i], at});
                }
                std::lock_guard<std::mutex> lock(m);
                rx.insert(rx.end(), buf, buf + n);
                const double atMs = std::chrono::duration<double, std::milli>(now - started).count();
                rxTimes.insert(rxTimes.end(), size_t(n), atMs);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            // We hold a slave descriptor ourselves, so this is not the host
            // closing its port; nothing sensible is left to serve.
            throw Stopped{};
        }
    }

    // Writes the output bytes that are due. Returns true when the pty refused
    // more (host not reading), so the caller waits for POLLOUT.
    bool flushOut()
    {
        const TimePoint now = Clock::now();
        std::uint8_t buf[4096];
        std::size_t count = 0;
        while (count < out.size() && count < sizeof buf && out[count].at <= now) {
            buf[count] = out[count].b;
            ++count;
        }
        if (count == 0)
            return false;
        ssize_t n;
        do
            n = ::write(master, buf, count);
        while (n < 0 && errno == EINTR);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return true;
            throw Stopped{};
        }
        out.erase(out.begin(), out.begin() + n);
        return std::size_t(n) < count;
    }

    void send(const std::uint8_t *data, std::size_t count)
    {
        const TimePoint now = Clock::now();
        for (std::size_t i = 0; i < count; ++i) {
            TimePoint due = now;
            if (cfg.paced) {
                // The byte reaches the host when its stop bit is done.
                outLineFree = std::max(now, outLineFree) + kByteTime;
                due = outLineFree;
            }
            out.push_back({data[i], due});
        }
    }
    void send(const std::vector<std::uint8_t> &bytes) { send(bytes.data(), bytes.size()); }
    // An echo leaves the unit's UART as soon as the byte it answers has
    // arrived, so on the line it follows that byte's arrival, not the moment
    // this thread got round to it.
    void sendEcho(std::uint8_t b)
    {
        if (cfg.paced) {
            outLineFree = std::max(lastInAt, outLineFree) + kByteTime;
            out.push_back({b, outLineFree});
        } else {
            send(b);
        }
    }
    void send(std::uint8_t b) { send(&b, 1); }

    // One round of I/O: write what is due, run the stream, then sleep until
    // `until`, host input, output due or the next frame, whichever is first.
    void pump(TimePoint until, bool runStream = true)
    {
        checkStop();
        if (runStream)
            streamTick();
        const bool blocked = flushOut();
        TimePoint wakeAt = until;
        if (!out.empty() && !blocked)
            wakeAt = std::min(wakeAt, out.front().at);
        if (runStream && streaming && !streamSilent)
            wakeAt = std::min(wakeAt, nextFrame);

        pollfd fds[2] = {{master, short(POLLIN | (blocked ? POLLOUT : 0)), 0},
                         {wake[0], POLLIN, 0}};
        timespec ts{};
        timespec *timeout = nullptr;
        if (wakeAt != TimePoint::max()) {
            const auto left = std::max(std::chrono::nanoseconds(0),
                                       std::chrono::duration_cast<std::chrono::nanoseconds>(
                                           wakeAt - Clock::now()));
            ts.tv_sec = time_t(left.count() / 1000000000);
            ts.tv_nsec = long(left.count() % 1000000000);
            timeout = &ts;
        }
        const int r = ::ppoll(fds, 2, timeout, nullptr);
        if (r < 0 && errno != EINTR)
            throw Stopped{};
        checkStop();
        if (r > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            readMaster();
    }

    // Next host byte within timeoutMs (negative: no limit).
    // early: take the byte as soon as it is here, before its line time is
    // over (for an echo, whose own timing follows the byte's arrival anyway).
    bool readByte(std::uint8_t &b, int timeoutMs, bool early = false)
    {
        const TimePoint deadline = timeoutMs < 0
                                       ? TimePoint::max()
                                       : Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const TimePoint now = Clock::now();
            if (!in.empty() && (early || in.front().at <= now)) {
                b = in.front().b;
                lastInAt = in.front().at;
                in.pop_front();
                return true;
            }
            if (now >= deadline)
                return false;
            TimePoint until = deadline;
            if (!in.empty())
                until = std::min(until, in.front().at);
            pump(until);
        }
    }

    void unread(const std::string &bytes)
    {
        const TimePoint now = Clock::now();
        for (auto it = bytes.rbegin(); it != bytes.rend(); ++it)
            in.push_front({std::uint8_t(*it), now});
    }

    void drainOut(bool runStream = true)
    {
        while (!out.empty())
            pump(out.front().at, runStream);
    }

    // ---------------- stream ----------------
    void startStream()
    {
        streaming = true;
        streamSilent = false;
        frameIndex = 0;
        engine = cfg.engine ? std::make_unique<EngineRun>(*cfg.engine) : nullptr;
        nextFrame = Clock::now() + kFramePeriod;
        {
            std::lock_guard<std::mutex> lock(m);
            frames = 0;
        }
        event("stream-start");
    }

    void streamTick()
    {
        if (!streaming || streamSilent)
            return;
        TimePoint now = Clock::now();
        while (streaming && !streamSilent && now >= nextFrame) {
            int sent;
            {
                std::lock_guard<std::mutex> lock(m);
                sent = frames;
            }
            if (cfg.hangupAfterFrames >= 0 && sent >= cfg.hangupAfterFrames)
                hangUp();
            if (cfg.silenceAfterFrames >= 0 && sent >= cfg.silenceAfterFrames) {
                streamSilent = true;
                event("stream-silent");
                return;
            }
            if (out.size() < kMaxStreamBacklog) {
                Image image;
                {
                    std::lock_guard<std::mutex> lock(m);
                    image = ramImage;
                }
                auto f = engine ? engine->frame(frameIndex, image, correction, windowStart, windowEnd)
                                : modelFrame(frameIndex, image, correction);
                if (cfg.corruptFrames.count(sent))
                    f[9] ^= 0xA5;
                std::vector<std::uint8_t> bytes(f.begin(), f.end());
                if (sent == cfg.loseByteAtFrame)
                    bytes.erase(bytes.begin() + 4);
                send(bytes);
                std::lock_guard<std::mutex> lock(m);
                ++frames;
            }
            ++frameIndex;
            nextFrame += kFramePeriod;
            // After a stall (debugger, loaded machine) carry on from now
            // rather than bursting the missed frames.
            if (now - nextFrame > kFramePeriod * 10)
                nextFrame = now + kFramePeriod;
        }
    }

    [[noreturn]] void hangUp()
    {
        drainOut(false);
        // Closing discards what the host has not read yet; give it a moment
        // so that it sees every frame sent before the "unplug".
        const TimePoint limit = Clock::now() + std::chrono::milliseconds(500);
        int pending = 0;
        while (Clock::now() < limit && ::ioctl(slave, FIONREAD, &pending) == 0 && pending > 0)
            pump(Clock::now() + std::chrono::milliseconds(2), false);
        ::close(master);
        ::close(slave);
        master = slave = -1;
        streaming = false;
        // Not running any more before anyone waiting for the event hears of it.
        alive = false;
        event("hangup");
        throw Stopped{};
    }

    // ---------------- commands ----------------
    void serve()
    {
        for (;;) {
            std::uint8_t b = 0;
            readByte(b, -1);
            takeConfig();
            parseWord(b);
        }
    }

    // Longest match over the command words; bytes that start no word are
    // reported and skipped one at a time, the rest parsed again.
    void parseWord(std::uint8_t first)
    {
        std::string buf(1, char(first));
        std::size_t exactLen = 0;
        for (;;) {
            bool exact = false, longer = false;
            for (const char *w : kWords) {
                const std::string word(w);
                if (word == buf)
                    exact = true;
                else if (word.size() > buf.size() && word.compare(0, buf.size(), buf) == 0)
                    longer = true;
            }
            if (exact)
                exactLen = buf.size();
            if (exact && !longer) {
                run(buf);
                return;
            }
            if (!exact && !longer) {
                giveUp(buf, exactLen);
                return;
            }
            if (buf == "s" && streaming) {
                // Stop at once; the wait below only decides what else is meant.
                streaming = false;
            }
            std::uint8_t next;
            if (!readByte(next, exact ? kAmbiguityMs : kWordGapMs)) {
                if (exact)
                    run(buf);
                else
                    giveUp(buf, exactLen);
                return;
            }
            buf.push_back(char(next));
        }
    }

    void giveUp(const std::string &buf, std::size_t exactLen)
    {
        if (exactLen > 0) {
            run(buf.substr(0, exactLen));
            unread(buf.substr(exactLen));
        } else {
            event("unknown " + hexByte(std::uint8_t(buf[0])));
            unread(buf.substr(1));
        }
    }

    void run(const std::string &word)
    {
        if (word == "fiusfiuv") {
            event("identify");
            send(cfg.identifyReply);
        } else if (word == "fiur") {
            event("read");
            const Image image = ram();
            send(image.data(), std::size_t(std::clamp(cfg.readImageBytes, 0, int(kImageSize))));
        } else if (word == "fiusfiuw") {
            fullWrite();
        } else if (word == "fiut") {
            quickWrite();
        } else if (word == "fiusfiuy") {
            event("sensor-query");
            SensorRecord r;
            {
                std::lock_guard<std::mutex> lock(m);
                r = record;
            }
            send(r.data(), std::size_t(std::clamp(cfg.sensorRecordBytes, 0, 5)));
        } else if (word == "se") {
            calibrate();
        } else if (word == "sl") {
            startStream();
        } else if (word == "s") {
            streaming = false;
            event("stream-stop");
        } else if (word == "c") {
            std::uint8_t magnitude, sign;
            if (!readByte(magnitude, kDataByteMs) || !readByte(sign, kDataByteMs)) {
                event("command-timeout c");
                return;
            }
            correction = sign ? -int(magnitude) : int(magnitude);
            event("correction " + std::to_string(correction));
        } else if (word == "g") {
            std::uint8_t a, b;
            if (!readByte(a, kDataByteMs) || !readByte(b, kDataByteMs)) {
                event("command-timeout g");
                return;
            }
            windowStart = a;
            windowEnd = b;
            event("window " + std::to_string(a) + " " + std::to_string(b));
        } else if (word == "fiud") {
            streaming = false;
            setBootloader(true);
            event("bootloader");
            bootloaderLoop();
        }
    }

    Image ram() const
    {
        std::lock_guard<std::mutex> lock(m);
        return ramImage;
    }

    void fullWrite()
    {
        event("write");
        for (int i = 0; i < int(kImageSize); ++i) {
            std::uint8_t b = 0;
            if (!readByte(b, i == 0 ? kFirstDataMs : kDataByteMs, true)) {
                event("write-timeout " + std::to_string(i));
                return;
            }
            if (i == cfg.echoStopAt) {
                event("write-echo-stop " + std::to_string(i));
                return;
            }
            {
                std::lock_guard<std::mutex> lock(m);
                ramImage[i] = b;
            }
            if (i == cfg.echoWrongAt) {
                sendEcho(std::uint8_t(b ^ 0xFF));
                event("write-wrong-echo " + std::to_string(i));
                return;
            }
            sendEcho(b);
        }
        std::vector<std::uint8_t> progress = cfg.eepromProgress;
        if (progress.empty()) {
            for (int i = 0; i < 389; ++i)
                progress.push_back(std::uint8_t(i % 255 + 1));
            progress.push_back(0);
        }
        send(progress);
        drainOut();
        {
            std::lock_guard<std::mutex> lock(m);
            // A unit whose firmware keeps its own value in a slot.
            if (cfg.ownByteAt >= 0 && cfg.ownByteAt < int(kImageSize))
                ramImage[size_t(cfg.ownByteAt)] = cfg.ownByteValue;
            eepromImage = ramImage;
        }
        event("eeprom " + std::to_string(progress.size()));
    }

    void quickWrite()
    {
        Image image;
        for (int i = 0; i < int(kImageSize); ++i) {
            if (!readByte(image[i], i == 0 ? kFirstDataMs : kDataByteMs)) {
                event("quick-write-timeout " + std::to_string(i));
                return;
            }
        }
        {
            std::lock_guard<std::mutex> lock(m);
            ramImage = image;
        }
        event("quick-write");
    }

    void calibrate()
    {
        SensorRecord r;
        for (int i = 0; i < 5; ++i) {
            if (!readByte(r[i], i == 0 ? kFirstDataMs : kDataByteMs)) {
                event("command-timeout se");
                return;
            }
        }
        {
            std::lock_guard<std::mutex> lock(m);
            record = r;
        }
        std::string text = "calibrate";
        for (std::uint8_t b : r)
            text += " " + std::to_string(b);
        event(text);
    }

    void setBootloader(bool on)
    {
        std::lock_guard<std::mutex> lock(m);
        bootloader = on;
    }

    void bootloaderLoop()
    {
        setBootloader(true);
        int acceptedHere = 0;
        int rejections = 0;
        for (;;) {
            std::uint8_t hi, lo;
            if (!readByte(hi, acceptedHere > 0 ? cfg.bootloaderExitMs : -1))
                break;
            takeConfig();
            int index;
            {
                std::lock_guard<std::mutex> lock(m);
                index = accepted;
            }
            const std::string name = "block " + std::to_string(index);
            if (!readByte(lo, kDataByteMs)) {
                event(name + " incomplete");
                continue;
            }
            const int length = hi << 8 | lo;
            std::vector<std::uint8_t> block{hi, lo};
            bool complete = true;
            for (int i = 0; i < length && complete; ++i) {
                std::uint8_t b = 0;
                complete = readByte(b, kDataByteMs);
                block.push_back(b);
            }
            if (!complete) {
                event(name + " incomplete");
                continue;
            }
            const std::string what = name + " len " + std::to_string(length);
            if (index == cfg.silenceAtBlock) {
                event(what + " ignored");
                continue;
            }
            if (index == cfg.rejectBlock && rejections < cfg.rejectTimes) {
                ++rejections;
                send(std::uint8_t(0x00));
                event(what + " rejected");
                continue;
            }
            rejections = 0;
            ++acceptedHere;
            send(std::uint8_t(0x11));
            {
                std::lock_guard<std::mutex> lock(m);
                ++accepted;
                blocks.push_back(std::move(block));
            }
            event(what + " accepted");
            if (length == 0)
                break;
        }
        drainOut();
        setBootloader(false);
        event("bootloader-exit");
    }

    void threadMain()
    {
        // Line pacing wakes every byte time; the default 50 us timer slack
        // would add to every echo round trip.
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
        takeConfig();
        try {
            if (cfg.startInBootloader)
                bootloaderLoop();
            // A unit left streaming by an earlier run goes on sending frames.
            if (cfg.streamAtStart)
                startStream();
            serve();
        } catch (const Stopped &) {
        }
        alive = false;
        cv.notify_all();
    }
};

Emulator::Emulator(Config cfg) : d(std::make_unique<Impl>(std::move(cfg))) {}

Emulator::~Emulator() { stop(); }

std::string Emulator::start()
{
    if (d->thread.joinable())
        return slavePath();
    termios tio{};
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    char name[256] = {};
    if (::openpty(&d->master, &d->slave, name, &tio, nullptr) != 0)
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    ::fcntl(d->master, F_SETFL, ::fcntl(d->master, F_GETFL) | O_NONBLOCK);
    ::fcntl(d->master, F_SETFD, FD_CLOEXEC);
    ::fcntl(d->slave, F_SETFD, FD_CLOEXEC);
    if (::pipe2(d->wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        const int err = errno;
        ::close(d->master);
        ::close(d->slave);
        d->master = d->slave = -1;
        throw std::runtime_error(std::string("pipe: ") + std::strerror(err));
    }
    {
        std::lock_guard<std::mutex> lock(d->m);
        d->path = name;
        d->bootloader = d->shared.startInBootloader;
    }
    d->started = Clock::now();
    d->stopping = false;
    d->alive = true;
    d->thread = std::thread([this] { d->threadMain(); });
    return name;
}

void Emulator::stop()
{
    if (d->thread.joinable()) {
        d->stopping = true;
        const char x = 1;
        [[maybe_unused]] ssize_t n = ::write(d->wake[1], &x, 1);
        d->thread.join();
    }
    for (int *fd : {&d->master, &d->slave, &d->wake[0], &d->wake[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    d->alive = false;
}

std::string Emulator::slavePath() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->path;
}

bool Emulator::running() const { return d->alive.load(); }

void Emulator::setConfig(const Config &cfg)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->shared = cfg;
    d->record = cfg.sensorRecord;
    d->configChanged = true;
}

Config Emulator::config() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->shared;
}

Image Emulator::ram() const { return d->ram(); }

Image Emulator::eeprom() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->eepromImage;
}

void Emulator::setRam(const Image &image)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->ramImage = image;
}

void Emulator::setEeprom(const Image &image)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->eepromImage = image;
}

SensorRecord Emulator::sensorRecord() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->record;
}

bool Emulator::inBootloader() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->bootloader;
}

std::vector<std::uint8_t> Emulator::received() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->rx;
}

std::vector<double> Emulator::receivedTimes() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->rxTimes;
}

std::vector<std::string> Emulator::events() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->log;
}

bool Emulator::waitForEvent(const std::string &prefix, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(d->m);
    return d->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::any_of(d->log.begin(), d->log.end(), [&](const std::string &e) {
            return e.compare(0, prefix.size(), prefix) == 0;
        });
    });
}

void Emulator::clearLog()
{
    std::lock_guard<std::mutex> lock(d->m);
    d->rx.clear();
    d->rxTimes.clear();
    d->log.clear();
}

int Emulator::framesSent() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->frames;
}

int Emulator::blocksAccepted() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->accepted;
}

std::vector<std::vector<std::uint8_t>> Emulator::firmwareBlocks() const
{
    std::lock_guard<std::mutex> lock(d->m);
    return d->blocks;
}

void Emulator::setEventCallback(std::function<void(const std::string &)> callback)
{
    std::lock_guard<std::mutex> lock(d->m);
    d->callback = std::move(callback);
}

} // namespace sim
