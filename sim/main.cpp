// tarvix-sim: serves an emulated unit on a pseudo-terminal until SIGINT/SIGTERM,
// printing the slave path first and then one line per decoded event.
#include "sim/Emulator.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: tarvix-sim [options]\n"
    "Serves an emulated unit on a pseudo-terminal; prints \"pty: PATH\", then one\n"
    "line per event until interrupted. HEX... takes the following arguments\n"
    "that do not start with \"--\", each one or more hex byte pairs (\"00 06\",\n"
    "\"0006\"); none at all means an empty list.\n"
    "  --paced                  9600-baud line timing both ways\n"
    "  --demo                   the demo unit: its table, and an engine whose\n"
    "                           oxygen signal answers the table\n"
    "  --o2-sensor N            the demo engine's O2 sensor, by the window's\n"
    "                           sensor list (0 narrow band .. 4; default 2)\n"
    "  --o2-fault F             the demo engine's O2 signal: stuck-low (0 V),\n"
    "                           stuck-high (5 V) or flicker (rail to rail)\n"
    "  --cold | --warm          the demo engine stays cold / is warm at once\n"
    "                           (default: cold for its first 10 s)\n"
    "  --sweep                  the demo engine sweeps 48..208 in 15 s and back\n"
    "  --id-reply HEX...        identify reply (default 00 06 01 17 01 03 3E 80;\n"
    "                           none = silence, 17 = old one-byte unit)\n"
    "  --sensor-record HEX...   5-byte sensor record (default 5A 87 00 03 B5)\n"
    "  --sensor-bytes N         answer the sensor query with N bytes only\n"
    "  --read-bytes N           answer the image read with N bytes only\n"
    "  --echo-stop N            full write: no echo for image byte N\n"
    "  --echo-wrong N           full write: wrong echo for image byte N\n"
    "  --eeprom HEX...          bytes of the EEPROM progress phase\n"
    "  --lose-byte K            stream: frame K loses a byte\n"
    "  --corrupt K              stream: frame K has a bad check byte (repeatable)\n"
    "  --silence-after K        stream: nothing after K frames\n"
    "  --hangup-after K         stream: close the line after K frames (unplug)\n"
    "  --reject-block K --reject-times N\n"
    "                           boot loader: reject block K N times\n"
    "  --silence-block K        boot loader: never answer block K\n"
    "  --bootloader             start inside the boot loader (recovery)\n"
    "  --bootloader-exit-ms MS  idle time that ends the boot loader (default 2000)\n"
    "  --help                   this text\n";

[[noreturn]] void fail(const std::string &text)
{
    std::cerr << "tarvix-sim: " << text << "\n" << kUsage;
    std::exit(2);
}

bool parseHex(const std::string &text, std::vector<std::uint8_t> &out)
{
    std::string digits;
    for (char c : text)
        if (c != ',' && c != ':')
            digits += c;
    if (digits == "none")
        return true;
    if (digits.empty() || digits.size() % 2)
        return false;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        char *end = nullptr;
        const std::string pair = digits.substr(i, 2);
        const long v = std::strtol(pair.c_str(), &end, 16);
        if (*end)
            return false;
        out.push_back(std::uint8_t(v));
    }
    return true;
}

sim::Config parseArgs(int argc, char **argv)
{
    sim::Config cfg;
    // The demo engine, as the options below change it.
    bool demo = false;
    sim::EngineModel engine = sim::demoEngine();
    int i = 1;
    auto number = [&](const std::string &opt) {
        if (++i >= argc)
            fail(opt + " needs a number");
        char *end = nullptr;
        const long v = std::strtol(argv[i], &end, 10);
        if (*end || end == argv[i])
            fail(opt + ": not a number: " + argv[i]);
        return int(v);
    };
    auto hexList = [&](const std::string &opt) {
        std::vector<std::uint8_t> bytes;
        while (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0) {
            if (!parseHex(argv[++i], bytes))
                fail(opt + ": not hex bytes: " + argv[i]);
        }
        return bytes;
    };
    for (; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "--help" || opt == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else if (opt == "--paced") {
            cfg.paced = true;
        } else if (opt == "--demo") {
            demo = true;
        } else if (opt == "--o2-sensor") {
            demo = true;
            engine.sensorType = number(opt);
            if (engine.sensorType < 0 || engine.sensorType > 4)
                fail("--o2-sensor takes 0 to 4");
        } else if (opt == "--o2-fault") {
            demo = true;
            const std::string fault = i + 1 < argc ? argv[++i] : "";
            if (fault == "stuck-low")
                engine.fault = sim::EngineModel::Fault::StuckLow;
            else if (fault == "stuck-high")
                engine.fault = sim::EngineModel::Fault::StuckHigh;
            else if (fault == "flicker")
                engine.fault = sim::EngineModel::Fault::Flicker;
            else
                fail("--o2-fault takes stuck-low, stuck-high or flicker");
        } else if (opt == "--cold" || opt == "--warm") {
            demo = true;
            engine.warmUpFrames = opt == "--cold" ? -1 : 0;
        } else if (opt == "--sweep") {
            demo = true;
            engine.drive = {{208, 0}, {48, 0}};
            engine.rampFrames = 1500;
        } else if (opt == "--id-reply") {
            cfg.identifyReply = hexList(opt);
        } else if (opt == "--sensor-record") {
            const auto bytes = hexList(opt);
            if (bytes.size() != 5)
                fail("--sensor-record takes 5 bytes");
            std::copy(bytes.begin(), bytes.end(), cfg.sensorRecord.begin());
        } else if (opt == "--sensor-bytes") {
            cfg.sensorRecordBytes = number(opt);
        } else if (opt == "--read-bytes") {
            cfg.readImageBytes = number(opt);
        } else if (opt == "--echo-stop") {
            cfg.echoStopAt = number(opt);
        } else if (opt == "--echo-wrong") {
            cfg.echoWrongAt = number(opt);
        } else if (opt == "--eeprom") {
            cfg.eepromProgress = hexList(opt);
        } else if (opt == "--lose-byte") {
            cfg.loseByteAtFrame = number(opt);
        } else if (opt == "--corrupt") {
            cfg.corruptFrames.insert(number(opt));
        } else if (opt == "--silence-after") {
            cfg.silenceAfterFrames = number(opt);
        } else if (opt == "--hangup-after") {
            cfg.hangupAfterFrames = number(opt);
        } else if (opt == "--reject-block") {
            cfg.rejectBlock = number(opt);
        } else if (opt == "--reject-times") {
            cfg.rejectTimes = number(opt);
        } else if (opt == "--silence-block") {
            cfg.silenceAtBlock = number(opt);
        } else if (opt == "--bootloader") {
            cfg.startInBootloader = true;
        } else if (opt == "--bootloader-exit-ms") {
            cfg.bootloaderExitMs = number(opt);
        } else {
            fail("unknown option " + opt);
        }
    }
    if (demo)
        cfg.engine = std::make_shared<const sim::EngineModel>(engine);
    return cfg;
}

} // namespace

int main(int argc, char **argv)
{
    const sim::Config cfg = parseArgs(argc, argv);

    // Block the signals before the serving thread exists so that only the
    // wait below receives them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    sim::Emulator emulator(cfg);
    if (cfg.engine) {
        emulator.setRam(sim::demoImage());
        emulator.setEeprom(sim::demoImage());
    }
    std::mutex outputLock;
    emulator.setEventCallback([&](const std::string &event) {
        std::lock_guard<std::mutex> lock(outputLock);
        std::cout << event << std::endl;
    });
    std::string path;
    try {
        path = emulator.start();
    } catch (const std::exception &e) {
        std::cerr << "tarvix-sim: " << e.what() << "\n";
        return 1;
    }
    {
        std::lock_guard<std::mutex> lock(outputLock);
        std::cout << "pty: " << path << std::endl;
    }

    // Also ends after a simulated unplug, when nothing is left to serve.
    const timespec poll{0, 200 * 1000 * 1000};
    while (emulator.running()) {
        if (sigtimedwait(&signals, nullptr, &poll) > 0)
            break;
    }
    emulator.stop();
    return 0;
}
