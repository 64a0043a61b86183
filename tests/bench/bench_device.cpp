// Device benchmark against the emulator paced at 9600 baud: each job's time
// over its lower bound (the protocol's own waits and silences plus the line
// time of every byte that must cross in turn).
#include <chrono>
#include <cstdio>

#include <QApplication>
#include <QTemporaryDir>

#include "app/Unit1.h"
#include "app/Unit2.h"
#include "link/Firmware.h"
#include "link/MessageSink.h"
#include "link/TableTransfer.h"
#include "sim/Emulator.h"
#include "table/Table_iat_ect_corr.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void report(const char *what, double measured, double bound)
{
    std::printf("%-28s %9.1f ms  lower bound %9.1f ms  ratio %.3f\n", what, measured, bound, measured / bound);
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RecordingSink sink;
    ScopedMessageSink scoped(&sink);
    QTemporaryDir work;
    QDir::setCurrent(work.path());

    sim::Config config;
    config.paced = true;
    sim::Emulator unit(config);
    const QString path = QString::fromStdString(unit.start());
    const int idReply = int(config.identifyReply.size());

    // Port choice: identify (reply, then a second of silence), 300 ms, sensor
    // query with its 200 ms wait, 300 ms, table read.
    TForm1 form;
    TForm2 progress(&form);
    form.setProgressWindow(&progress);
    auto start = Clock::now();
    form.choosePort(path);
    const double choice = msSince(start);
    const double choiceBound = (8 + idReply) * kByteMs + 1000 + 300 + 200 + 300 + (4 + 392) * kByteMs;
    report("port choice to table shown", choice, choiceBound);

    // Full write: command word, every byte out and its echo back in turn, the
    // unit's EEPROM progress bytes, then the verification read.
    start = Clock::now();
    const auto written = transfer::fullWrite(*form.mainTable(), *form.channel(), progress);
    const double write = msSince(start);
    const double writeBound = (8 + 2 * 392 + 390 + 4 + 392) * kByteMs;
    report("full write with verification", write, writeBound);

    // The same write against an unpaced unit: what the echo round trips cost
    // on this machine beyond line time (thread wake-ups on both sides).
    {
        sim::Emulator fast;
        TZiravBroadcaster b;
        TRXTX channel(b);
        channel.reopen(QString::fromStdString(fast.start()));
        start = Clock::now();
        transfer::fullWrite(*form.mainTable(), channel, progress);
        const double unpaced = msSince(start);
        std::printf("%-28s %9.1f ms  (%.3f ms per echoed byte with no line time)\n", "  same write, unpaced unit",
                    unpaced, unpaced / 392);
    }

    // Firmware: 512 blocks of 126 payload bytes (64 KiB on the wire); each
    // block crosses the line, then its one-byte acknowledgement comes back.
    QByteArray text;
    constexpr int kBlocks = 512, kPayload = 126;
    for (int b = 0; b < kBlocks; ++b) {
        text += QByteArray::number(kPayload >> 8, 16).rightJustified(2, '0') + ' ';
        text += QByteArray::number(kPayload & 0xFF, 16).rightJustified(2, '0') + ' ';
        for (int i = 0; i < kPayload; ++i)
            text += QByteArray::number((b + i) & 0xFF, 16).rightJustified(2, '0');
        text += '\n';
    }
    QFile file(work.filePath("fw.enc"));
    file.open(QIODevice::WriteOnly);
    file.write(text);
    file.close();
    start = Clock::now();
    const auto flashed = firmware::update(*form.channel(), file.fileName(), false);
    const double flash = msSince(start);
    const double flashBound = 300 + (4 + kBlocks * (kPayload + 2) + kBlocks) * kByteMs;
    report("firmware update, 64 KiB", flash, flashBound);

    const bool ok = written == transfer::Outcome::Done && flashed == firmware::Outcome::Success;
    if (!ok)
        for (const QString &m : sink.messages)
            std::fprintf(stderr, "message: %s\n", qPrintable(m));
    return ok ? 0 : 1;
}
