// Autotuning: live step decisions, guards and pace, the full-throttle
// analysis, magic learn, and the window's side of the two requests.
#include <QtTest>

#include "link/Rxtx.h"
#include "log/Autotune.h"
#include "log/Log_iat_ect_corr.h"
#include "log/SoundPlayer.h"
#include "table/TableParams.h"
#include "table/Table_iat_ect_corr.h"
#include "throttle/TpsCalibration.h"

namespace {

// Air flow of a pulsating run: 10 records at 120 (on the average), then 5
// above and 5 below it; one pulsation per 20 records.
int pulsatingMaf(int i)
{
    const int phase = i % 20;
    return phase < 10 ? 120 : (phase < 15 ? 150 : 90);
}

struct Requests : TSubscriber {
    void handleMessage(TMessage &m) override
    {
        if (m.id == kMsgAutocorrection)
            autocorr.append(static_cast<TMsgAutocorrection &>(m));
        if (m.id == kMsgSmoothing)
            smoothing.append(static_cast<TMsgSmoothing &>(m).value);
    }
    QList<TMsgAutocorrection> autocorr;
    QList<int> smoothing;
};

struct Rig {
    Rig() : channel(broadcaster), log(tps, channel, broadcaster)
    {
        broadcaster.subscribe(&requests);
        log.setUpView(nullptr, &table);
        table.quickWriteHook = [this] { ++quickWrites; };
        TStartSettings s;
        s.autocorrection = true;
        s.trackBarB = 5; // window 5, an evaluation every tick
        s.trackBarT = 5;
        s.trackBarRefO2 = 26;
        log.setStartSettings(s);
        // The pace of the rules themselves; the sensor's lag has tests of its own.
        log.setSensorLagMs(0);
    }
    // n records of one operating point: 1000 rpm, TPS raw code tps.
    void fill(int n, int o2, int tpsRaw = 51, int maf = 100, int period = 1500)
    {
        TLogRecord r{};
        r[ColO2] = o2;
        r[ColTps] = tpsRaw;
        r[ColMaf] = maf;
        r[ColRpmPeriod] = period;
        r[ColConverter] = 120;
        for (int i = 0; i < n; ++i)
            QVERIFY(log.addRecord(r));
    }
    // One live tick's step on the newest record, as the tick runs it.
    TMsgAutocorrection step()
    {
        const int window = log.autotune().crossings > 0 ? log.settings().fineWindow : log.settings().fastWindow;
        return autotune::liveStep(log, log.count() - 1, log.o2Average(window), window);
    }
    TZiravBroadcaster broadcaster;
    TRXTX channel;
    TTpsCalibration tps{0, 255};
    Table table;
    Requests requests;
    Log log;
    int quickWrites = 0;
};

// Full throttle is raw 250 (98 %), part throttle raw 128 (50 %).
constexpr int kWot = 250;
constexpr int kPart = 128;

} // namespace

class TestAutotune : public QObject {
    Q_OBJECT
private slots:
    void decisions_data();
    void decisions();
    void evaluationPace();
    void autocorrectionOffFollowsTheBand();
    void guards_data();
    void guards();
    void fullThrottleOption();
    void fullThrottleRuns_data();
    void fullThrottleRuns();
    void smoothingCountdownRunsOut();
    void magicLearn();
    void requestMovesTheWindow_data();
    void requestMovesTheWindow();
    void manualBordersDownJumpsToALearnedPoint();
    void smoothingRequest();
    void aTickWithoutNewRecordsLeavesTheCorrectionAlone();
};

void TestAutotune::decisions_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<int>("ref");
    QTest::addColumn<int>("prev");
    QTest::addColumn<int>("crossings");
    QTest::addColumn<int>("avg");
    QTest::addColumn<int>("tpsRaw");
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("commit");
    QTest::addColumn<int>("colour");
    QTest::addColumn<int>("crossingsAfter");
    QTest::addColumn<int>("prevAfter");
    using namespace autotune;
    QTest::newRow("narrow, above the reference") << 0 << false << 26 << 1024 << 0 << 30 << 51 << -1 << false << kFastColour << 0 << 30;
    QTest::newRow("narrow, above, descending") << 0 << true << 26 << 1024 << 0 << 30 << 51 << 1 << false << kFastColour << 0 << 30;
    QTest::newRow("narrow, below") << 0 << false << 26 << 30 << 0 << 20 << 51 << 1 << false << kFastColour << 0 << 20;
    QTest::newRow("narrow, below, descending") << 0 << true << 26 << 30 << 0 << 20 << 51 << -1 << false << kFastColour << 0 << 20;
    QTest::newRow("crossing in the fast phase: fine phase next") << 0 << false << 26 << 20 << 0 << 27 << 51 << -1 << false << kFastColour << 1 << 27;
    QTest::newRow("crossing in the fine phase commits") << 0 << false << 26 << 20 << 1 << 27 << 51 << 0 << true << kReadyColour << 0 << 1024;
    QTest::newRow("fine phase step") << 0 << false << 26 << 1024 << 1 << 30 << 51 << -1 << false << kFineColour << 1 << 30;
    QTest::newRow("full throttle: first crossing commits") << 0 << false << 26 << 20 << 0 << 27 << kWot << 0 << true << kReadyColour << 0 << 1024;
    QTest::newRow("wide-band lean, above") << 1 << false << 147 << 1024 << 0 << 150 << 51 << 1 << false << kFastColour << 0 << 150;
    QTest::newRow("wide-band rich, below") << 4 << false << 147 << 150 << 0 << 140 << 51 << -1 << false << kFastColour << 0 << 140;
    QTest::newRow("0-5V lean, above") << 2 << false << 128 << 1024 << 0 << 140 << 51 << 1 << false << kFastColour << 0 << 140;
    QTest::newRow("average on the reference from above: none") << 0 << false << 26 << 30 << 0 << 26 << 51 << 0 << false << kFastColour << 0 << 26;
    QTest::newRow("previous on the reference, average below: none") << 0 << false << 26 << 26 << 0 << 20 << 51 << 0 << false << kFastColour << 0 << 20;
    QTest::newRow("previous average 0: none") << 0 << false << 26 << 0 << 0 << 30 << 51 << 0 << false << kFastColour << 0 << 30;
}

void TestAutotune::decisions()
{
    QFETCH(int, type);
    QFETCH(bool, descending);
    QFETCH(int, ref);
    QFETCH(int, prev);
    QFETCH(int, crossings);
    QFETCH(int, avg);
    QFETCH(int, tpsRaw);
    QFETCH(int, step);
    QFETCH(bool, commit);
    QFETCH(int, colour);
    QFETCH(int, crossingsAfter);
    QFETCH(int, prevAfter);
    Rig rig;
    rig.log.setStartSettings({10, descending, true, 1200, 2, 5, 5, ref});
    rig.fill(130, avg, tpsRaw);
    rig.log.setSensorType(type);
    rig.log.autotune().previousAverage = prev;
    rig.log.autotune().crossings = crossings;
    const TMsgAutocorrection r = rig.step();
    QCOMPARE(r.step, step);
    QCOMPARE(r.commitSet(), commit);
    QVERIFY(!r.discardSet());
    QCOMPARE(r.stateColour, colour);
    QCOMPARE(r.windowStart, 100);
    QCOMPARE(r.windowEnd, 100);
    QCOMPARE(rig.log.autotune().crossings, crossingsAfter);
    QCOMPARE(rig.log.autotune().previousAverage, prevAfter);
    QCOMPARE(rig.requests.autocorr.size(), 1);
}

void TestAutotune::evaluationPace()
{
    Rig rig;
    rig.log.setTrackBarB(20); // window 20, an evaluation every second tick
    rig.fill(130, 30);
    rig.log.autotune().tickCounter = 0;
    TMsgAutocorrection r = rig.step();
    QCOMPARE(r.step, 0);
    QCOMPARE(r.stateColour, autotune::kFastColour);
    QCOMPARE(rig.log.autotune().previousAverage, 1024); // no evaluation yet
    r = rig.step();
    QCOMPARE(r.step, -1);
    QCOMPARE(rig.log.autotune().previousAverage, 30);
    QCOMPARE(rig.log.autotune().tickCounter, 0u);
}

void TestAutotune::autocorrectionOffFollowsTheBand()
{
    Rig rig;
    rig.log.setAutocorrection(false, false);
    rig.fill(150, 30);
    rig.log.setValue(ColMaf, 149 - 21, 0); // just outside the last 21 records
    rig.log.setValue(ColMaf, 149 - 20, 90);
    rig.log.setValue(ColMaf, 140, 104);
    rig.log.autotune().crossings = 3;
    const TMsgAutocorrection r = rig.step();
    QCOMPARE(r.windowStart, 90);
    QCOMPARE(r.windowEnd, 104);
    QCOMPARE(r.step, 0);
    QCOMPARE(r.stateColour, autotune::kIdleColour);
    QVERIFY(!r.commitSet() && !r.discardSet());
    QCOMPARE(rig.log.autotune().crossings, 0);
}

void TestAutotune::guards_data()
{
    QTest::addColumn<int>("period");   // RpmPeriod
    QTest::addColumn<int>("tpsRaw");
    QTest::addColumn<int>("bandTop"); // MAF of one record in the band (others 40)
    QTest::addColumn<int>("learnedAt"); // -1: none
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("colour");
    QTest::addColumn<bool>("discard");
    QTest::addColumn<int>("prevAfter");
    using namespace autotune;
    // Raw 2 is 1 % (0.78 rounded).
    QTest::newRow("1500 rpm at 1 %: forced idle") << 1000 << 2 << 40 << -1 << 5 << kForcedIdleColour << true << 77;
    QTest::newRow("1199 rpm at 1 %: normal path") << 1251 << 2 << 40 << -1 << 5 << kFineColour << false << 30;
    // Both limits count as forced idle: 1200 rpm exactly, 2 % exactly (raw 5 is 1.96 %).
    QTest::newRow("exactly 1200 rpm at 1 %: forced idle") << 1250 << 2 << 40 << -1 << 5 << kForcedIdleColour << true << 77;
    QTest::newRow("1500 rpm at exactly 2 %: forced idle") << 1000 << 5 << 40 << -1 << 5 << kForcedIdleColour << true << 77;
    QTest::newRow("1500 rpm at 3 %: normal path") << 1000 << 8 << 40 << -1 << 5 << kFineColour << false << 30;
    QTest::newRow("band 40..51 wider than 10") << 1500 << 51 << 51 << -1 << 5 << kPulsationColour << true << 1024;
    QTest::newRow("band 40..50 is not") << 1500 << 51 << 50 << -1 << 5 << kFineColour << false << 30;
    // Learned and the mixture not off for long: skipped, silently (not the grey of a store).
    QTest::newRow("learned point in the band") << 1500 << 51 << 45 << 45 << 5 << kSkippingColour << true << 77;
    QTest::newRow("learned point outside the band") << 1500 << 51 << 45 << 46 << 5 << kFineColour << false << 30;
    QTest::newRow("fewer records than the window") << 1500 << 51 << 40 << -1 << 1000 << kIdleColour << false << 77;
}

void TestAutotune::guards()
{
    QFETCH(int, period);
    QFETCH(int, tpsRaw);
    QFETCH(int, bandTop);
    QFETCH(int, learnedAt);
    QFETCH(int, window);
    QFETCH(int, colour);
    QFETCH(bool, discard);
    QFETCH(int, prevAfter);
    Rig rig;
    rig.log.setTrackBarB(window);
    rig.log.setTrackBarT(window);
    rig.fill(130, 30, tpsRaw, 40, period);
    rig.log.setValue(ColMaf, 125, bandTop);
    if (learnedAt >= 0)
        rig.table.learnedValues()[std::size_t(learnedAt)] = 99;
    rig.log.autotune().previousAverage = 77;
    rig.log.autotune().crossings = 2; // fine phase: every guard starts over
    const TMsgAutocorrection r = rig.step();
    QCOMPARE(r.stateColour, colour);
    QCOMPARE(r.discardSet(), discard);
    QCOMPARE(r.step, colour == autotune::kFineColour ? -1 : 0);
    QCOMPARE(rig.log.autotune().previousAverage, prevAfter);
    if (colour != autotune::kFastColour && colour != autotune::kFineColour)
        QCOMPARE(rig.log.autotune().crossings, 0);
}

void TestAutotune::fullThrottleOption()
{
    Rig rig;
    rig.log.setAutocorrection(true, true);
    rig.fill(130, 30, kWot);
    rig.log.autotune().crossings = 1;
    const TMsgAutocorrection r = rig.step();
    QCOMPARE(r.stateColour, autotune::kFullThrottleColour);
    QVERIFY(r.discardSet());
    QCOMPARE(rig.log.autotune().crossings, 0);
    QCOMPARE(rig.log.previousTpsPercent, 98);
    QVERIFY(rig.requests.smoothing.isEmpty());
}

void TestAutotune::fullThrottleRuns_data()
{
    QTest::addColumn<int>("runLength"); // e - b
    QTest::addColumn<bool>("pulsating");
    QTest::addColumn<bool>("fromFirstRecord");
    QTest::addColumn<int>("smoothing"); // -1: no request
    QTest::newRow("run of 59 records does nothing") << 59 << true << false << -1;
    QTest::newRow("steady air flow: no pulsations") << 200 << false << false << -1;
    QTest::newRow("pulsating run asks for 20") << 200 << true << false << 20;
    QTest::newRow("run reaching back to the first record") << 200 << true << true << 20;
}

void TestAutotune::fullThrottleRuns()
{
    QFETCH(int, runLength);
    QFETCH(bool, pulsating);
    QFETCH(bool, fromFirstRecord);
    QFETCH(int, smoothing);
    Rig rig;
    rig.log.setAutocorrection(true, true);
    const int lead = fromFirstRecord ? 0 : 50;
    TLogRecord r{};
    r[ColRpmPeriod] = 500; // 3000 rpm
    r[ColConverter] = 150;
    r[ColO2] = 30;
    for (int i = 0; i < lead + runLength + 30; ++i) {
        const bool wot = (fromFirstRecord ? i <= runLength : (i > lead && i <= lead + runLength));
        r[ColTps] = wot ? kWot : kPart;
        r[ColMaf] = pulsating ? pulsatingMaf(i) : 120;
        rig.log.addRecord(r);
    }
    const int last = rig.log.count() - 1;
    rig.log.previousTpsPercent = 98; // the tick before was at full throttle
    rig.step();
    QCOMPARE(rig.log.previousTpsPercent, 50);
    if (smoothing < 0) {
        QVERIFY(rig.requests.smoothing.isEmpty());
        QCOMPARE(rig.log.smoothingCountdown, 21);
    } else {
        QCOMPARE(rig.requests.smoothing, QList<int>{smoothing});
        QCOMPARE(rig.log.smoothingCountdown, 20);
        // Every pulsation start is marked with its MAF code.
        int marked = 0;
        for (int i = 0; i <= last; ++i)
            if (rig.log.value(ColMarker, i) != 0) {
                QCOMPARE(rig.log.value(ColMarker, i), rig.log.value(ColMaf, i));
                ++marked;
            }
        QVERIFY(marked >= autotune::kMinPulsations);
    }
    if (runLength >= autotune::kMinRunRecords) {
        // The run b..e: its first record keeps its output, the next 29 take
        // 50, the rest the 40-record moving average of MAF, the last its output.
        const int b = fromFirstRecord ? 0 : lead;
        const int e = fromFirstRecord ? runLength : lead + runLength;
        QCOMPARE(rig.log.value(ColLogCorr, b), rig.log.value(ColConverter, b));
        for (int i = b + 1; i <= b + 29; ++i)
            QCOMPARE(rig.log.value(ColLogCorr, i), 50);
        for (int k = b + 30; k <= e - 1; ++k) {
            int sum = 0;
            for (int j = k - 20; j <= k + 19; ++j)
                sum += rig.log.value(ColMaf, j);
            QCOMPARE(rig.log.value(ColLogCorr, k), sum / 40);
        }
        QCOMPARE(rig.log.value(ColLogCorr, e), 150);
        for (int i = e + 1; i <= last; ++i)
            QCOMPARE(rig.log.value(ColLogCorr, i), 0);
    }
    if (runLength < autotune::kMinRunRecords)
        for (int i = 0; i <= last; ++i)
            QCOMPARE(rig.log.value(ColLogCorr, i), 0);
    // The smoothing request goes out before the tick's autotuning request.
    QCOMPARE(rig.requests.autocorr.size(), 1);
}

void TestAutotune::smoothingCountdownRunsOut()
{
    Rig rig;
    rig.log.setAutocorrection(true, true);
    TLogRecord r{};
    r[ColRpmPeriod] = 500;
    for (int i = 0; i < 300; ++i) {
        r[ColTps] = i > 20 && i < 250 ? kWot : kPart;
        r[ColMaf] = pulsatingMaf(i);
        rig.log.addRecord(r);
    }
    rig.log.smoothingCountdown = 2;
    QCOMPARE(autotune::fullThrottleAnalysis(rig.log, 299), std::optional<int>(1));
    QCOMPARE(autotune::fullThrottleAnalysis(rig.log, 299), std::optional<int>(255));
    QCOMPARE(rig.requests.smoothing, (QList<int>{1, 255}));
    // No full-throttle record at all: nothing.
    Rig part;
    part.fill(130, 30, kPart);
    QVERIFY(!autotune::fullThrottleAnalysis(part.log, 129));
}

void TestAutotune::magicLearn()
{
    Rig rig;
    for (int i = 0; i < 256; ++i)
        rig.table.setSlot(i, 100);
    rig.table.setSlot(180, 0);
    rig.table.setSlot(181, 0);
    rig.table.setSlot(200, 255);
    rig.table.setSlot(201, 1);
    rig.log.setMafLimit(100);
    rig.log.setO2Target(140);      // wide-band: rich below 140
    rig.log.setO2Reference(150);   // lean above 150
    struct Row { int maf, o2sm, converter; };
    const Row rows[] = {
        {50, 120, 100},  // at or below the MAF limit: untouched
        {100, 120, 100}, // the limit itself
        {150, 145, 100}, // dead band first: the code keeps its value
        {150, 120, 100}, // a later rich record does not change it
        {160, 120, 100}, // rich: one down
        {170, 160, 100}, // lean: one up
        {180, 160, 90},  // point 0: recorded output + 1
        {181, 160, 0},   // point 0 and no output: left
        {200, 160, 100}, // 255 stays 255
        {201, 120, 100}, // 1 goes to 0
        {220, 120, 100}, // outside the visible range
    };
    TLogRecord r{};
    for (const Row &row : rows) {
        r[ColMaf] = row.maf;
        r[ColO2SM] = row.o2sm;
        r[ColConverter] = row.converter;
        rig.log.addRecord(r);
    }
    rig.log.setVisibleRange(0, 9);
    const int before = rig.quickWrites;
    rig.log.magicLearn(o2::InnovateMtxL, false);
    QCOMPARE(rig.table.slot(50), 100);
    QCOMPARE(rig.table.slot(100), 100);
    QCOMPARE(rig.table.slot(150), 100);
    QCOMPARE(rig.table.slot(160), 99);
    QCOMPARE(rig.table.slot(170), 101);
    QCOMPARE(rig.table.slot(180), 91);
    QCOMPARE(rig.table.slot(181), 0);
    QCOMPARE(rig.table.slot(200), 255);
    QCOMPARE(rig.table.slot(201), 0);
    QCOMPARE(rig.table.slot(220), 100);
    QCOMPARE(rig.quickWrites, before + 1);

    // Descending characteristic and the narrow-band sense reverse the steps.
    Rig narrow;
    narrow.table.setSlot(120, 100);
    narrow.log.setO2Target(30);    // rich above 30
    narrow.log.setO2Reference(26); // lean below 26
    r[ColMaf] = 120;
    r[ColO2SM] = 40;
    narrow.log.addRecord(r);
    narrow.log.setVisibleRange(0, 0);
    narrow.log.magicLearn(o2::Narrow01V, true);
    QCOMPARE(narrow.table.slot(120), 101);
}

void TestAutotune::requestMovesTheWindow_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("commit");
    QTest::addColumn<bool>("discard");
    QTest::addColumn<int>("colour");
    QTest::addColumn<int>("correction");
    QTest::addColumn<QString>("sound");
    using namespace autotune;
    QTest::newRow("idle: window only, no sound") << 0 << false << false << kIdleColour << 5 << "";
    QTest::newRow("step down") << -1 << false << false << kFastColour << 4 << "corr.wav";
    QTest::newRow("step up in the fine phase") << 1 << false << false << kFineColour << 6 << "training.wav";
    QTest::newRow("discard") << 0 << false << true << kForcedIdleColour << 0 << "forcedidle.wav";
    QTest::newRow("pulsation") << 0 << false << true << kPulsationColour << 0 << "puls.wav";
    // A store's cue interrupts: it lasts one tick and must be heard.
    QTest::newRow("commit applies to the table") << 0 << true << false << kReadyColour << 0 << "!ready.wav";
}

void TestAutotune::requestMovesTheWindow()
{
    QFETCH(int, step);
    QFETCH(bool, commit);
    QFETCH(bool, discard);
    QFETCH(int, colour);
    QFETCH(int, correction);
    QFETCH(QString, sound);
    RecordingSoundPlayer player;
    ScopedSoundPlayer scope(&player);
    Table table;
    for (int i = 0; i < 256; ++i)
        table.setSlot(i, 100); // the correction may reach 25, a commit 10
    int quickWrites = 0;
    table.quickWriteHook = [&] { ++quickWrites; };
    TWindowState w;
    w.correction = 5;
    w.recording = true;
    w.applyArmed = true; // armed by an earlier apply
    TMsgAutocorrection request;
    request.windowStart = 40;
    request.windowEnd = 50;
    request.step = step;
    request.commit = commit ? 0x101 : 0x100; // only the low byte counts
    request.discard = discard ? 1 : 0;
    request.stateColour = colour;
    const autotune::RequestOutcome out = autotune::applyAutocorrectionRequest(request, table, w);
    QVERIFY(out.used);
    QCOMPARE(out.colour, std::optional<int>(colour));
    QCOMPARE(w.windowStart, 40);
    QCOMPARE(w.windowEnd, 50);
    QCOMPARE(w.correction, correction);
    QCOMPARE(player.played, sound.isEmpty() ? QStringList{} : QStringList{sound});
    // Only a commit runs apply to table, which sends the table to the unit.
    QCOMPARE(quickWrites, commit ? 1 : 0);
}

void TestAutotune::manualBordersDownJumpsToALearnedPoint()
{
    Table table;
    for (int i = 0; i < 256; ++i)
        table.setSlot(i, 1); // learned values 0: no point learned
    table.learnedValues()[57] = 1;
    TMsgAutocorrection request;
    request.windowStart = 10;
    request.windowEnd = 50;
    request.step = 1;
    request.discard = 1;

    TWindowState w;
    w.manualBorders = true;
    w.correction = 3;
    QVERIFY(!autotune::applyAutocorrectionRequest(request, table, w).used); // autocorrection up
    QCOMPARE(w.windowStart, 0);

    w.autocorrDown = true;
    const autotune::RequestOutcome out = autotune::applyAutocorrectionRequest(request, table, w);
    QVERIFY(out.used && !out.colour);
    QCOMPARE(w.windowStart, 57);
    QCOMPARE(w.windowEnd, 57);
    QCOMPARE(w.correction, 3); // nothing else of the request is used

    request.windowEnd = 60; // search from 58: none left
    autotune::applyAutocorrectionRequest(request, table, w);
    QCOMPARE(w.windowStart, 255);
    request.windowEnd = 1; // below 2: only 255 is looked at
    table.learnedValues()[255] = 1;
    w.setWindowStart(0);
    autotune::applyAutocorrectionRequest(request, table, w);
    QCOMPARE(w.windowStart, 255);
}

void TestAutotune::smoothingRequest()
{
    RecordingSoundPlayer player;
    ScopedSoundPlayer scope(&player);
    Table table;
    int quickWrites = 0;
    table.quickWriteHook = [&] { ++quickWrites; };
    TWindowState w;
    w.correction = 7;
    table.paramFields(1).setText(tbl::ParamSmoothMaf, QStringLiteral("50"));

    QVERIFY(!autotune::applySmoothingRequest(TMsgSmoothing(255), table, w));
    QCOMPARE(table.paramFields(1).text(tbl::ParamSmoothMaf), QStringLiteral("50"));
    QCOMPARE(w.correction, 7);
    QCOMPARE(quickWrites, 0);

    QVERIFY(autotune::applySmoothingRequest(TMsgSmoothing(21), table, w));
    QCOMPARE(table.paramFields(1).text(tbl::ParamSmoothMaf), QStringLiteral("21"));
    QCOMPARE(w.correction, 0);
    QCOMPARE(quickWrites, 1);
    QVERIFY(player.played.isEmpty());

    QVERIFY(autotune::applySmoothingRequest(TMsgSmoothing(20), table, w));
    QCOMPARE(quickWrites, 2);
    QCOMPARE(player.played, QStringList{QStringLiteral("!20.wav")});
}

void TestAutotune::aTickWithoutNewRecordsLeavesTheCorrectionAlone()
{
    // A stream that stalls or ends leaves its last records: the tick does not
    // go on stepping the correction from them.
    Rig rig;
    rig.fill(130, 30);
    rig.log.liveTick();
    QCOMPARE(rig.requests.autocorr.size(), 1);
    QCOMPARE(rig.requests.autocorr.last().step, -1);
    rig.log.liveTick();
    rig.log.liveTick();
    QCOMPARE(rig.requests.autocorr.size(), 1);
    rig.fill(1, 30);
    rig.log.liveTick();
    QCOMPARE(rig.requests.autocorr.size(), 2);
}

QTEST_GUILESS_MAIN(TestAutotune)
#include "tst_autotune.moc"
