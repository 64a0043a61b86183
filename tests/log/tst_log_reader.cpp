// The reader thread and the start/stop sequences against the emulator over a
// real pseudo-terminal: records, bad frames, silence, unplugging.
#include <QtTest>

#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

#include "link/Crc8.h"
#include "link/Logthread_.h"
#include "link/MessageSink.h"
#include "link/Protocol.h"
#include "link/Rxtx.h"
#include "log/LiveCommands.h"
#include "log/Log_iat_ect_corr.h"
#include "log/Oxygensensor.h"
#include "sim/Emulator.h"
#include "table/Table_iat_ect_corr.h"
#include "throttle/TpsCalibration.h"

namespace {

// Stands in for the main window: the first subscriber, keeping the running
// state the way the window's handlers of 32771/32772 do.
struct WindowStandIn : TSubscriber {
    explicit WindowStandIn(TZiravBroadcaster &b) { b.subscribe(this); }
    void handleMessage(TMessage &m) override
    {
        if (m.id == kMsgStartLiveData)
            running = true;
        if (m.id == kMsgStopLiveData) {
            running = false;
            ++stops;
        }
        if (m.id == kMsgDashData)
            ++dashes;
    }
    bool running = false;
    int stops = 0;
    int dashes = 0;
};

struct CountingChart : LogChartView {
    void rebuild(int, int, int) override { ++rebuilds; }
    int rebuilds = 0;
};

struct Rig {
    explicit Rig(sim::Config config = {})
        : unit(std::move(config)), window(broadcaster), channel(broadcaster), log(tps, channel, broadcaster)
    {
        channel.reopen(QString::fromStdString(unit.start()));
        log.setUpView(&chart, nullptr);
    }
    void start(int sensorType = o2::Signal05V)
    {
        TMsgStartLiveData m(sensorType);
        broadcaster.broadcast(m);
    }
    void stop()
    {
        TMsgStopLiveData m;
        broadcaster.broadcast(m);
    }
    bool waitForRecords(int n, int timeoutMs = 8000)
    {
        return QTest::qWaitFor([&] { return log.count() >= n; }, timeoutMs);
    }
    sim::Emulator unit;
    TZiravBroadcaster broadcaster;
    WindowStandIn window;
    TRXTX channel;
    TTpsCalibration tps;
    CountingChart chart;
    Log log;
};

std::array<std::uint8_t, 10> withCrc(std::array<std::uint8_t, 10> f)
{
    f[9] = crc8(f.data(), 9);
    return f;
}

// The frame number n (n > previous) whose model frame gives record r, looking
// at most `ahead` frames past previous; -1 when none does. Slot columns are
// left out: they depend on earlier frames.
int matchFrame(const TLogRecord &r, int previous, int ahead, int sensorType)
{
    const sim::Image ram = sim::defaultImage();
    for (int n = previous + 1; n <= previous + ahead; ++n) {
        const auto f = sim::modelFrame(n, ram, 0);
        if (r[ColConverter] == f[0] && r[ColAuxOut] == f[2] && r[ColMaf] == f[3] && r[ColTps] == f[4]
            && r[ColRpmPeriod] == f[5] * 256 + f[6] && r[ColO2] == o2::recordingValue(f[7], sensorType))
            return n;
    }
    return -1;
}

} // namespace

class TestLogReader : public QObject {
    Q_OBJECT
private slots:
    // The disk refuses the recording's bytes part-way (a file-size limit
    // stands for a full disk): one message, the keeping stops, the stream
    // and the records in memory go on.
    void diskErrorStopsOnlyTheKeeping()
    {
        QTemporaryDir dir;
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        Rig rig;
        rig.log.setRecordingsFolder(dir.filePath("recordings"));
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous{};
        ::getrlimit(RLIMIT_FSIZE, &previous);
        rlimit lowered = previous;
        lowered.rlim_cur = 15 + 15 * 30;
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &lowered) == 0);
        const auto restore = qScopeGuard([&] {
            ::setrlimit(RLIMIT_FSIZE, &previous);
            std::signal(SIGXFSZ, previousHandler);
        });
        rig.start();
        QVERIFY(rig.waitForRecords(200));
        QVERIFY(rig.log.recording());
        QCOMPARE(sink.messages.size(), 1);
        QVERIFY2(sink.messages.front().contains("File too large"), qPrintable(sink.messages.front()));
        QVERIFY2(sink.messages.front().contains(QString::fromUtf8("Запись больше не сохраняется")),
                 qPrintable(sink.messages.front()));
        rig.stop();
        QVERIFY(rig.log.count() >= 200);
        QVERIFY(QFileInfo(rig.log.keptRecording()).size() <= lowered.rlim_cur);
        QCOMPARE(sink.messages.size(), 1);
    }

    void frameToRecord_data();
    void frameToRecord();
    void recordsFollowTheStream();
    void oneLostByteCostsAtMostNineFrames();
    void twoHundredBadFramesEndTheStream();
    void deviceThatNeverStreamsKeepsThePreviousView();
    void previousRecordingStaysUntilTheFirstRecord_data();
    void previousRecordingStaysUntilTheFirstRecord();
    void portErrorOnTheFirstReadKeepsRunning();
    void unplugMidStreamStopsOnce();
    void stopEndsTheReaderWithoutASecondStop();
    void startAndStopCommands();
    void newRecordingHasNoHeaderBytes();
};

void TestLogReader::frameToRecord_data()
{
    QTest::addColumn<int>("selector");
    QTest::addColumn<int>("byte8");
    QTest::addColumn<int>("periodHi");
    QTest::addColumn<int>("periodLo");
    QTest::addColumn<int>("column");   // the slot column that changes
    QTest::addColumn<int>("expected"); // its value
    QTest::addColumn<int>("rpm");
    // Only bits 0 and 1 select; slots 2 and 3 are signed bytes.
    QTest::newRow("0x7E selects slot 2, 200 is -56") << 0x7E << 200 << 0x03 << 0xE8 << int(ColAuxSlot2) << -56 << 1500;
    QTest::newRow("0x06 selects slot 2, 0xF0 is -16") << 0x06 << 0xF0 << 0 << 0 << int(ColAuxSlot2) << -16 << 1;
    QTest::newRow("slot 3 0x80 is -128") << 0xFF << 0x80 << 0 << 1 << int(ColAuxSlot3) << -128 << 1500000;
    QTest::newRow("slot 1 unsigned") << 0x01 << 200 << 0x05 << 0xDC << int(ColEct) << 200 << 1000;
    QTest::newRow("slot 0 unsigned") << 0xFC << 0xFF << 0x03 << 0xE8 << int(ColIat) << 255 << 1500;
}

void TestLogReader::frameToRecord()
{
    QFETCH(int, selector);
    QFETCH(int, byte8);
    QFETCH(int, periodHi);
    QFETCH(int, periodLo);
    QFETCH(int, column);
    QFETCH(int, expected);
    QFETCH(int, rpm);
    const std::array<int, 4> before = {11, 22, -33, -44};
    const auto f = withCrc({7, std::uint8_t(selector), 9, 10, 11, std::uint8_t(periodHi), std::uint8_t(periodLo),
                            102, std::uint8_t(byte8), 0});
    const proto::LiveFrame frame = proto::decodeFrame(f.data());
    const TLogRecord r =
        Log::frameRecord(frame, TLogThread::withFrameSlot(before, frame), o2::InnovateMtxL, 128, -5);
    QCOMPARE(r[std::size_t(column)], expected);
    const int slotColumns[4] = {ColIat, ColEct, ColAuxSlot2, ColAuxSlot3};
    for (int s = 0; s < 4; ++s)
        if (slotColumns[s] != column)
            QCOMPARE(r[std::size_t(slotColumns[s])], before[std::size_t(s)]);
    QCOMPARE(r[ColConverter], 7);
    QCOMPARE(r[ColMarker], 128);
    QCOMPARE(r[ColAuxOut], 9);
    QCOMPARE(r[ColMaf], 10);
    QCOMPARE(r[ColTps], 11);
    QCOMPARE(r[ColRpmPeriod], periodHi * 256 + periodLo);
    QCOMPARE(proto::rpmFromPeriod(r[ColRpmPeriod]), rpm);
    QCOMPARE(r[ColO2], 133); // 2.0 V on the Innovate scale
    QCOMPARE(r[ColCorr], -5);
    QCOMPARE(r[ColO2SM], 0);
    QCOMPARE(r[ColLogCorr], 0);
}

void TestLogReader::recordsFollowTheStream()
{
    Rig rig;
    rig.log.setMarker(true);
    rig.log.setCorrectionValue(-7);
    rig.start(o2::InnovateMtxL);
    QVERIFY(rig.window.running);
    QVERIFY(rig.log.recording());
    QVERIFY(!rig.log.stopped());
    QVERIFY(rig.unit.waitForEvent("stream-start", 2000));
    QVERIFY(rig.waitForRecords(150));
    QTRY_VERIFY(rig.window.dashes > 0); // the live tick runs
    QVERIFY(rig.log.hasData());
    rig.stop();
    QVERIFY(rig.unit.waitForEvent("stream-stop", 2000));
    QVERIFY(!rig.log.recording());
    QVERIFY(rig.log.stopped());
    const int n = rig.log.count();
    QTest::qWait(150);
    QCOMPARE(rig.log.count(), n); // nothing appended after the stop

    // Every frame after the first, in order, none lost; the slots of a
    // record are the latest of each (the model cycles the slots 0..3).
    int frame = 0;
    for (int i = 0; i < n; ++i) {
        const TLogRecord r = rig.log.record(i);
        frame = matchFrame(r, frame, 1, o2::InnovateMtxL);
        QVERIFY2(frame == i + 1, qPrintable(QStringLiteral("record %1").arg(i)));
        QCOMPARE(r[ColMarker], 128);
        QCOMPARE(r[ColCorr], -7);
        if (i >= 4) {
            for (int s = 0; s < 4; ++s) {
                const int n4 = frame - ((frame - s) & 3);
                const auto f = sim::modelFrame(n4, sim::defaultImage(), 0);
                const int v = s >= 2 ? int(std::int8_t(f[8])) : int(f[8]);
                QCOMPARE(r[std::size_t(ColIat + s)], v);
            }
        }
    }
    // The stop sequence: visible range, O2SM from record 30, chart drawn.
    QCOMPARE(rig.log.visibleFirst(), 0);
    QCOMPARE(rig.log.visibleLast(), n - 2);
    QCOMPARE(rig.log.value(ColO2SM, 29), 0);
    long long sum = 0;
    for (int i = 10; i < 50; ++i)
        sum += rig.log.value(ColO2, i);
    QCOMPARE(rig.log.value(ColO2SM, 30), int(double(sum) * 0.025));
    QCOMPARE(rig.chart.rebuilds, 1);
    QCOMPARE(int(rig.log.viewHistory().size()), 1);
    QCOMPARE(rig.log.viewHistory().front().last, n - 1);
    QCOMPARE(rig.window.stops, 1);
}

void TestLogReader::oneLostByteCostsAtMostNineFrames()
{
    sim::Config config;
    config.loseByteAtFrame = 20;
    Rig rig(config);
    rig.start();
    QVERIFY(rig.waitForRecords(100));
    rig.stop();
    const int bad = rig.log.lastStreamBadFrames();
    QVERIFY2(bad >= 1 && bad <= 9, qPrintable(QString::number(bad)));
    // Records resume in step with the frames: one gap, then every frame again.
    int frame = 0, gaps = 0;
    for (int i = 0; i < rig.log.count(); ++i) {
        const int next = matchFrame(rig.log.record(i), frame, 12, o2::Signal05V);
        QVERIFY2(next > 0, qPrintable(QStringLiteral("record %1").arg(i)));
        if (next != frame + 1)
            ++gaps;
        frame = next;
    }
    QCOMPARE(gaps, 1);
    QCOMPARE(rig.window.stops, 1);
}

void TestLogReader::twoHundredBadFramesEndTheStream()
{
    // Every failed check slides the reads by a byte (11 bytes per read), so
    // the 200 failed checks from frame 11 on cover frames 11..230 and the
    // read after them falls exactly on frame 231, a good one. (Which
    // misaligned windows pass the check by chance depends only on the model's
    // bytes; from frame 11 none does.)
    sim::Config config;
    for (int k = 11; k <= 230; ++k)
        config.corruptFrames.insert(k);
    Rig rig(config);
    rig.start();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.window.running, 6000);
    QCOMPARE(rig.window.stops, 1);
    QVERIFY(!rig.log.recording());
    QCOMPARE(rig.log.lastStreamBadFrames(), TLogThread::kMaxBadFrames);
    QCOMPARE(rig.log.count(), 10); // frames 1..10; the bad ones left no record
    QVERIFY(rig.unit.waitForEvent("stream-stop", 2000));

    // The next stream starts with a fresh counter.
    rig.unit.setConfig(sim::Config{});
    rig.start();
    QVERIFY(rig.waitForRecords(30));
    QCOMPARE(rig.log.lastStreamBadFrames(), 0);
    rig.stop();
    QCOMPARE(rig.window.stops, 2);
}

void TestLogReader::deviceThatNeverStreamsKeepsThePreviousView()
{
    Rig rig;
    rig.start();
    QVERIFY(rig.waitForRecords(130));
    rig.stop();
    QCOMPARE(rig.chart.rebuilds, 1);
    const int last = rig.log.visibleLast();

    sim::Config silent;
    silent.silenceAfterFrames = 0;
    rig.unit.setConfig(silent);
    rig.start();
    const int held = rig.log.count();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.window.running, 4000);
    QCOMPARE(rig.window.stops, 2);
    QVERIFY(!rig.log.recording());
    QVERIFY(rig.log.stopped());
    QVERIFY(rig.log.hasData());                 // the recording it shows is still there
    QCOMPARE(rig.log.count(), held);
    QVERIFY(!rig.log.holdsLastStream());
    QCOMPARE(rig.chart.rebuilds, 1);            // the chart keeps what it showed
    QCOMPARE(rig.log.visibleLast(), last);      // and the view its range
    QCOMPARE(int(rig.log.viewHistory().size()), 1);
    QTest::qWait(300);
    QCOMPARE(rig.window.stops, 2);
}

// A start replaces the recording held only once the new stream brings a
// record: a unit that sends nothing, or only the frame that confirms the
// stream, leaves the previous recording to be saved, with the header bytes
// of the file it came from.
void TestLogReader::previousRecordingStaysUntilTheFirstRecord_data()
{
    QTest::addColumn<bool>("confirmed"); // the first frame arrives
    QTest::newRow("silent unit") << false;
    QTest::newRow("first frame only") << true;
}

void TestLogReader::previousRecordingStaysUntilTheFirstRecord()
{
    QFETCH(bool, confirmed);
    RecordingSink sink;
    ScopedMessageSink scope(&sink);
    QTemporaryDir dir;
    Rig rig;
    TLogRecord r{};
    for (int i = 0; i < 150; ++i) {
        r[ColMaf] = i;
        QVERIFY(rig.log.addRecord(r));
    }
    rig.log.headerA = 0x5A;
    rig.log.headerB = 0xC3;
    sim::Config config;
    config.silenceAfterFrames = confirmed ? 1 : 0;
    rig.unit.setConfig(config);
    rig.start();
    if (confirmed)
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.hasData(), 4000); // the stream is confirmed
    QCOMPARE(rig.log.count(), 150);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.window.running, 8000);
    QCOMPARE(rig.log.count(), 150);
    QCOMPARE(rig.log.value(ColMaf, 149), 149);
    QVERIFY(!rig.log.holdsLastStream());
    QVERIFY(rig.log.saveToFile(dir.filePath(QStringLiteral("kept"))));
    QFile saved(dir.filePath(QStringLiteral("kept.log")));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    QCOMPARE(bytes.size(), 15 + 15 * 150);
    QCOMPARE(bytes.left(2), QByteArray("\x5A\xC3"));
    QVERIFY(sink.messages.isEmpty());

    // A stream that brings records replaces it at its first record.
    rig.unit.setConfig(sim::Config{});
    rig.start();
    QVERIFY(QTest::qWaitFor([&] { return rig.log.holdsLastStream(); }, 4000));
    QVERIFY(rig.log.count() < 150);
    rig.stop();
    QCOMPARE(int(rig.log.headerA), 0);
    QCOMPARE(int(rig.log.headerB), 0);
    QVERIFY(rig.log.holdsLastStream());
}

// A port error on the stream's very first read is told once; the stream is
// not stopped, so the window stays running until the user presses Stop.
void TestLogReader::portErrorOnTheFirstReadKeepsRunning()
{
    RecordingSink sink;
    ScopedMessageSink scope(&sink);
    sim::Config config;
    config.hangupAfterFrames = 0; // unplugged right after "sl", before any frame
    Rig rig(config);
    rig.start();
    QVERIFY(rig.unit.waitForEvent("hangup", 4000));
    QVERIFY(QTest::qWaitFor([&] { return !sink.messages.isEmpty(); }, 4000));
    QVERIFY(rig.window.running);
    QCOMPARE(rig.window.stops, 0);
    QVERIFY(rig.log.recording());
    QVERIFY(rig.channel.portIdle.load());

    // The user's Stop ends it; the reader has nothing more to say by then.
    rig.stop();
    rig.log.waitForReaders();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(rig.window.stops, 1);
    QVERIFY(!rig.window.running);
    QVERIFY(!rig.log.recording());
    QCOMPARE(sink.messages.size(), 1);
}

void TestLogReader::unplugMidStreamStopsOnce()
{
    RecordingSink sink;
    ScopedMessageSink scope(&sink);
    sim::Config config;
    config.hangupAfterFrames = 60;
    Rig rig(config);
    rig.start();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.window.running, 6000);
    QCOMPARE(rig.window.stops, 1);
    QCOMPARE(sink.messages.size(), 1); // the port error's own text, before the stop
    QVERIFY(!rig.log.recording());
    QVERIFY(rig.log.hasData());
    QVERIFY(rig.log.count() >= 50 && rig.log.count() <= 59);
    QVERIFY(rig.channel.portIdle.load());
    QTest::qWait(300);
    QCOMPARE(rig.window.stops, 1);
}

void TestLogReader::stopEndsTheReaderWithoutASecondStop()
{
    Rig rig;
    rig.start();
    QVERIFY(rig.waitForRecords(20));
    rig.stop();
    QCOMPARE(rig.window.stops, 1);
    rig.stop(); // Stop again: nothing stops twice, the view stays
    QCOMPARE(rig.window.stops, 2);
    QVERIFY(rig.unit.waitForEvent("stream-stop", 2000));
    const int n = rig.log.count();
    QTest::qWait(1200); // longer than a frame read's time-out
    QCOMPARE(rig.window.stops, 2);
    QCOMPARE(rig.log.count(), n);
    QVERIFY(rig.channel.portIdle.load());
}

void TestLogReader::startAndStopCommands()
{
    RecordingSink sink;
    ScopedMessageSink scope(&sink);
    Rig rig;
    Table table;
    int quickWrites = 0;
    table.quickWriteHook = [&] { ++quickWrites; };
    TWindowState w;
    w.correction = 9;
    TStartCommand command;
    command.sensorType = o2::Aem304110;
    command.settings.trackBarB = 35;
    command.settings.autocorrection = true;
    int resets = 0;

    QVERIFY(!runStartCommand(command, rig.log, table, w, rig.broadcaster, [&] { ++resets; }));
    QCOMPARE(sink.messages,
             QStringList{QString::fromUtf8("Please choose right COM port\n\n Пожалуйста выберите правильный COM порт")});
    QVERIFY(!rig.window.running);
    QCOMPARE(resets, 0);

    command.portSelected = true;
    QVERIFY(runStartCommand(command, rig.log, table, w, rig.broadcaster, [&] { ++resets; }));
    QCOMPARE(resets, 1);
    QCOMPARE(quickWrites, 0); // the curve stays as it is: nothing to send
    QCOMPARE(w.correction, 0);
    QVERIFY(rig.window.running);
    QCOMPARE(rig.log.sensorType(), int(o2::Aem304110));
    QCOMPARE(rig.log.settings().fastWindow, 35);
    QCOMPARE(rig.log.settings().fastPeriod, 3);
    QVERIFY(rig.waitForRecords(20));

    w.autocorrDown = true;
    w.correction = 4;
    const TStopOutcome out = runStopCommand(rig.log, w, rig.broadcaster);
    QVERIFY(out.autocorrReleased && out.lockLogLimit);
    QVERIFY(!w.autocorrDown);
    QCOMPARE(w.correction, 0);
    QVERIFY(!rig.log.settings().autocorrection);
    QVERIFY(!rig.window.running);
    QVERIFY(!rig.log.recording());
    QVERIFY(rig.unit.waitForEvent("stream-stop", 2000));
    QCOMPARE(sink.messages.size(), 1);
}

// Header bytes A and B belong to the file a log was loaded from; a log
// recorded afterwards is saved with 0 in both.
void TestLogReader::newRecordingHasNoHeaderBytes()
{
    RecordingSink sink;
    ScopedMessageSink scope(&sink);
    QTemporaryDir dir;
    QByteArray loaded(15 + 15 * 3, '\x05');
    loaded[0] = char(0xA7);
    loaded[1] = char(0x3C);
    QFile in(dir.filePath("in.log"));
    QVERIFY(in.open(QIODevice::WriteOnly));
    in.write(loaded);
    in.close();
    Rig rig;
    QVERIFY(rig.log.loadFromFile(in.fileName()));
    QCOMPARE(int(rig.log.headerA), 0xA7);
    rig.start();
    QVERIFY(rig.waitForRecords(5));
    rig.stop();
    QVERIFY(rig.log.saveToFile(dir.filePath("out.log")));
    QFile out(dir.filePath("out.log"));
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QByteArray saved = out.readAll();
    QCOMPARE(int(saved.at(0)), 0);
    QCOMPARE(int(saved.at(1)), 0);
    QVERIFY(sink.messages.isEmpty());
}

QTEST_GUILESS_MAIN(TestLogReader)
#include "tst_log_reader.moc"
