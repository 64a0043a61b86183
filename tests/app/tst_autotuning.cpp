// Autotuning from the window against an emulated engine whose oxygen signal
// answers the unit's table: it converges, it changes only what it learned,
// and each of its commits is one edit with one quick write.
#include <QtTest>

#include <QAction>
#include <QLabel>
#include <QSpinBox>
#include <QToolButton>

#include <cmath>

#include "app/Unit1.h"
#include "app/Unit2.h"
#include "app/WindowTestHelpers.h"
#include "link/MessageSink.h"
#include "log/Autotune.h"
#include "log/Log_iat_ect_corr.h"
#include "log/SoundPlayer.h"
#include "sim/Emulator.h"
#include "table/Table_iat_ect_corr.h"

namespace {

constexpr int kBandFirst = 96, kBandLast = 144;

// A straight ideal curve: the interpolation between learned points keeps it.
int ideal(int input)
{
    return std::min(255, 20 + input);
}

// 8 % lean inside the band, easing in over its first and last 8 codes so
// that the band's edges sit on the ideal curve.
double leanness(int input)
{
    if (input <= kBandFirst || input >= kBandLast)
        return 0.0;
    const int edge = std::min(input - kBandFirst, kBandLast - input);
    return 0.08 * std::min(1.0, edge / 8.0);
}

// Counts the autotuning requests that commit, as the window receives them.
struct CommitCounter : TSubscriber {
    void handleMessage(TMessage &message) override
    {
        if (message.id == kMsgAutocorrection && static_cast<TMsgAutocorrection &>(message).commitSet())
            ++commits;
    }
    int commits = 0;
};

int bandDistance(const QByteArray &image)
{
    int sum = 0;
    for (int i = kBandFirst; i <= kBandLast; ++i)
        sum += std::abs(int(std::uint8_t(image[i])) - ideal(i));
    return sum;
}

// Events named what until the stream stopped.
int eventsUntilStop(const std::vector<std::string> &events, const std::string &what)
{
    int count = 0;
    for (const std::string &e : events) {
        if (e == "stream-stop")
            break;
        count += e == what;
    }
    return count;
}

} // namespace

class TestAutotuning : public QObject {
    Q_OBJECT
private slots:
    void aLeanBandConvergesOneEditPerCommit();
    void whatCannotBeLearnedFromIsRefusedOnTheDashboard_data();
    void whatCannotBeLearnedFromIsRefusedOnTheDashboard();
    void aTuneKeepsAcrossWriteReconnectStartAndAnotherBand();
};

void TestAutotuning::aLeanBandConvergesOneEditPerCommit()
{
    RecordingSink sink;
    ScopedMessageSink scoped(&sink);
    RecordingSoundPlayer sounds;
    ScopedSoundPlayer soundsInstalled(&sounds);

    auto engine = std::make_shared<sim::EngineModel>();
    for (int i = 0; i < 256; ++i)
        engine->ideal[std::size_t(i)] = std::uint8_t(ideal(i));
    // A foot that holds the throttle at each of six points of the band.
    for (int input = 100; input <= 140; input += 8)
        engine->drive.push_back({input, 350});
    sim::Config config;
    config.engine = engine;
    sim::Emulator unit(config);
    // Lean over the band, on the ideal curve elsewhere. A commit interpolates
    // between the point it learns and its learned neighbours: the band's lower
    // edge is a learned point (the list in slots 281..), and the straight
    // curve below it is what the interpolation from point 0 gives.
    sim::Image image = sim::defaultImage();
    for (int i = 0; i < 256; ++i)
        image[std::size_t(i)] = std::uint8_t(std::lround(ideal(i) * (1.0 - leanness(i))));
    image[281] = kBandFirst;
    unit.setRam(image);
    unit.setEeprom(image);
    const QString path = QString::fromStdString(unit.start());

    CommitCounter counter;
    TForm1 form;
    form.broadcaster()->subscribe(&counter);
    form.choosePort(path);
    QVERIFY(unit.waitForEvent("read", 5000));
    QTRY_COMPARE(form.mainTable()->imageBytes(1), QByteArray(reinterpret_cast<const char *>(image.data()), 392));

    // Autotuning on with automatic borders, as a user does: the Auto button.
    QVERIFY(!form.SpeedButtonManualBorders->isChecked());
    QVERIFY(!form.SpeedButtonAutocorr->isHidden());
    focusOn(form.SpeedButtonAutocorr);
    QTest::mouseClick(form.SpeedButtonAutocorr, Qt::LeftButton);
    QVERIFY(form.SpeedButtonAutocorr->isChecked());
    QVERIFY(form.log()->settings().autocorrection);

    form.ActionStart->trigger();
    QVERIFY(unit.waitForEvent("stream-start", 5000));
    // The loop needs 121 records before its first request.
    QCOMPARE(counter.commits, 0);
    unit.clearLog();
    const int historyBefore = form.mainTable()->history().count();
    // What the loop starts from (Start learns the beginning of the table).
    const QByteArray before = form.mainTable()->imageBytes(1);
    // Waits for the engine's programme, however slowly the machine runs it.
    QTRY_VERIFY_WITH_TIMEOUT(unit.framesSent() >= engine->driveFrames(), 180000);
    form.ActionStop->trigger();
    QVERIFY(unit.waitForEvent("stream-stop", 5000));

    // Live data stopped: what the loop committed stays, in the window and the unit.
    const QByteArray after = form.mainTable()->imageBytes(1);
    QTRY_COMPARE(QByteArray(reinterpret_cast<const char *>(unit.ram().data()), 392), after);
    const int distanceBefore = bandDistance(before), distanceAfter = bandDistance(after);
    qInfo("band distance to the ideal curve: %d before, %d after, %d commits", distanceBefore, distanceAfter,
          counter.commits);
    QVERIFY2(distanceAfter * 2 <= distanceBefore,
             qPrintable(QStringLiteral("distance %1 -> %2").arg(distanceBefore).arg(distanceAfter)));
    // A commit reaches a few codes beyond the inputs held (100..140, +/-1):
    // nothing further moves.
    const int reachFirst = 100 - 1 - Table::kLiveCommitReach, reachLast = 140 + 1 + Table::kLiveCommitReach;
    for (int i = 0; i < 392; ++i) {
        if (before[i] != after[i])
            QVERIFY2(i >= reachFirst && i <= reachLast, qPrintable(QStringLiteral("slot %1 changed").arg(i)));
    }

    // Each commit: one quick write to the unit and one step of undo.
    QVERIFY(counter.commits >= 3);
    QCOMPARE(eventsUntilStop(unit.events(), "quick-write"), counter.commits);
    Table &table = *form.mainTable();
    QCOMPARE(table.history().count() - historyBefore, counter.commits);
    focusOn(form.UpDownCorrection);
    QByteArray previous = after;
    for (int k = 0; k < counter.commits; ++k) {
        clickKey(Qt::Key_Z, Qt::ControlModifier);
        const QByteArray now = table.imageBytes(1);
        QVERIFY2(now != previous, qPrintable(QStringLiteral("undo %1 changed nothing").arg(k + 1)));
        previous = now;
    }
    QCOMPARE(table.imageBytes(1), before);
    QTRY_COMPARE(QByteArray(reinterpret_cast<const char *>(unit.ram().data()), 392), before);
    QVERIFY(sink.messages.isEmpty());
}

void TestAutotuning::whatCannotBeLearnedFromIsRefusedOnTheDashboard_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("warmUpFrames");
    QTest::addColumn<int>("input"); // held
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("colour");
    QTest::addColumn<QString>("cue");
    using F = sim::EngineModel::Fault;
    using R = autotune::Reason;
    QTest::newRow("O2 at 5 V") << int(F::StuckHigh) << 0 << 120 << int(R::SensorAtRail) << autotune::kRefusedColour
                               << "puls.wav";
    QTest::newRow("O2 at 0 V") << int(F::StuckLow) << 0 << 120 << int(R::SensorAtRail) << autotune::kRefusedColour
                               << "puls.wav";
    QTest::newRow("O2 flickering") << int(F::Flicker) << 0 << 120 << int(R::SensorFlicker)
                                   << autotune::kRefusedColour << "puls.wav";
    QTest::newRow("engine cold") << int(F::None) << -1 << 120 << int(R::EngineCold) << autotune::kWaitingColour << "";
    // Between Kick (232) and Max (240): said once, silently, nothing stored.
    QTest::newRow("Kick..Max") << int(F::None) << 0 << 236 << int(R::NotLearnable) << autotune::kWaitingColour << "";
}

void TestAutotuning::whatCannotBeLearnedFromIsRefusedOnTheDashboard()
{
    QFETCH(int, fault);
    QFETCH(int, warmUpFrames);
    QFETCH(int, input);
    QFETCH(int, reason);
    QFETCH(int, colour);
    QFETCH(QString, cue);
    RecordingSink sink;
    ScopedMessageSink scoped(&sink);
    RecordingSoundPlayer sounds;
    ScopedSoundPlayer soundsInstalled(&sounds);
    auto engine = std::make_shared<sim::EngineModel>(sim::demoEngine());
    engine->fault = sim::EngineModel::Fault(fault);
    engine->warmUpFrames = warmUpFrames;
    engine->drive = {{input, 5000}};
    sim::Config config;
    config.engine = engine;
    sim::Emulator unit(config);
    // 8 % lean: a working loop would correct and store at once.
    const sim::Image image = sim::imageOff(*engine, [](int) { return -8.0; });
    unit.setRam(image);
    const QString path = QString::fromStdString(unit.start());
    CommitCounter counter; // outlives the window, which broadcasts as it closes
    TForm1 form;
    form.broadcaster()->subscribe(&counter);
    QVERIFY(chooseAndIdentify(form, path, unit));
    focusOn(form.SpeedButtonAutocorr);
    QTest::mouseClick(form.SpeedButtonAutocorr, Qt::LeftButton);
    form.ActionStart->trigger();
    QVERIFY(unit.waitForEvent("stream-start", 5000));
    auto *state = form.findChild<QLabel *>(QStringLiteral("LabelAutotuneState"));
    QVERIFY(state);
    const QString says = autotune::reasonText(autotune::Reason(reason), true);
    QTRY_COMPARE_WITH_TIMEOUT(state->text(), says, 20000);
    // Five more seconds of the stream: still refused, nothing corrected or stored.
    const int frames = unit.framesSent();
    QTRY_VERIFY_WITH_TIMEOUT(unit.framesSent() > frames + 500, 30000);
    QCOMPARE(state->text(), says);
    QCOMPARE(form.dashboardColour, colour);
    QCOMPARE(form.UpDownCorrection->value(), 0);
    QCOMPARE(counter.commits, 0);
    if (cue.isEmpty())
        QVERIFY(sounds.played.isEmpty());
    else
        QVERIFY(sounds.played.contains(cue));
    form.ActionStop->trigger();
    QVERIFY(unit.waitForEvent("stream-stop", 5000));
    QCOMPARE(unit.ram(), image);
    QVERIFY(sink.messages.isEmpty());
}

void TestAutotuning::aTuneKeepsAcrossWriteReconnectStartAndAnotherBand()
{
    RecordingSink sink;
    ScopedMessageSink scoped(&sink);
    RecordingSoundPlayer sounds;
    ScopedSoundPlayer soundsInstalled(&sounds);
    auto first = std::make_shared<sim::EngineModel>(sim::demoEngine());
    first->warmUpFrames = 0;
    first->drive = {{96, 300}, {112, 300}, {128, 300}};
    sim::Config config;
    config.engine = first;
    sim::Emulator unit(config);
    const sim::Image image = sim::imageOff(*first, [](int) { return -6.0; });
    unit.setRam(image);
    unit.setEeprom(image);
    const QString path = QString::fromStdString(unit.start());

    // A tuner tunes 96..128 and stores it with "Write to converter".
    sim::Image written;
    {
        CommitCounter counter;
        TForm1 form;
        TForm2 progress(&form);
        form.setProgressWindow(&progress);
        form.broadcaster()->subscribe(&counter);
        QVERIFY(chooseAndIdentify(form, path, unit));
        form.SpeedButtonAutocorr->click();
        form.ActionStart->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(counter.commits >= 4, 120000);
        form.ActionStop->trigger();
        QVERIFY(unit.waitForEvent("stream-stop", 5000));
        form.ActionWriteConverter->trigger();
        QVERIFY(sink.messages.isEmpty());
        written = unit.eeprom();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(written.data()), 392), form.mainTable()->imageBytes(1));
    }
    QVERIFY(written != image);
    // The unit is switched off and on; another day, another band: 176..200.
    unit.setRam(unit.eeprom());
    auto second = std::make_shared<sim::EngineModel>(*first);
    second->drive = {{176, 300}, {188, 300}, {200, 300}};
    config.engine = second;
    unit.setConfig(config);
    CommitCounter counter; // outlives the window, which broadcasts as it closes
    TForm1 form;
    form.broadcaster()->subscribe(&counter);
    QVERIFY(chooseAndIdentify(form, path, unit));
    form.SpeedButtonAutocorr->click();
    form.ActionStart->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(counter.commits >= 3, 120000);
    form.ActionStop->trigger();
    QVERIFY(unit.waitForEvent("stream-stop", 5000));
    const sim::Image now = unit.ram();
    QVERIFY(now != written);
    // Everything below the reach of the second band is as written.
    for (int i = 0; i < 176 - 1 - Table::kLiveCommitReach; ++i)
        QCOMPARE(int(now[std::size_t(i)]), int(written[std::size_t(i)]));
    QVERIFY(sink.messages.isEmpty());
}

QTEST_MAIN(TestAutotuning)
#include "tst_autotuning.moc"
