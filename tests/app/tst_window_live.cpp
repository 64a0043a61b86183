// The main window's side of live data: Start and Stop against a unit, the
// autotuning and correction-window requests, the oxygen sensor's set points
// and the O2 target grid.
#include <QtTest>

#include <algorithm>
#include <functional>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include "app/Unit1.h"
#include "app/WindowTestHelpers.h"
#include "link/MessageSink.h"
#include "link/TableTransfer.h"
#include "log/Autotune.h"
#include "log/Log_iat_ect_corr.h"
#include "log/SoundPlayer.h"
#include "sim/Emulator.h"
#include "table/TableCommon.h"
#include "table/Table_iat_ect_corr.h"

namespace {
const QString kPortMessage = QString::fromUtf8("Please choose right COM port\n\n Пожалуйста выберите правильный COM порт");
const QString kPortLostMessage =
    QString::fromUtf8("The COM port was lost: the adapter was unplugged or the unit lost power.\n"
                      "Plug it in again and press Reconnect.\n\n"
                      "COM порт потерян: адаптер отключён или пропало питание.\n"
                      "Подключите его снова и нажмите «Переподключить».");

// Counts the stop-live-data broadcasts (subscribed after the window's own objects).
struct StopCounter : TSubscriber {
    void handleMessage(TMessage &message) override
    {
        if (message.id == kMsgStopLiveData)
            ++stops;
    }
    int stops = 0;
};

// A rising table with Min 0, Max and Kick 255, so that corrections are not
// cut off by the learned-point bookkeeping.
void rampTable(Table &table)
{
    for (int i = 0; i < 256; ++i)
        table.setSlot(i, i);
    table.setSlot(tbl::kSlotMax, 255);
    table.setSlot(tbl::kSlotMin, 0);
    table.setSlot(tbl::kSlotKick, 255);
    table.rebuildLearned();
}

// Counts the quick writes the table asks for (and still lets them through).
void countQuickWrites(Table &table, int &counter)
{
    std::function<void()> previous = table.quickWriteHook;
    table.quickWriteHook = [&counter, previous] {
        ++counter;
        if (previous)
            previous();
    };
}

} // namespace

class TestWindowLive : public QObject {
    Q_OBJECT
    QTemporaryDir workDir_;

private slots:
    // The window keeps its history in the working folder.
    void initTestCase() { QVERIFY(QDir::setCurrent(workDir_.path())); }
    void init() { startAfresh(); }

    // Every recording is on disk as it arrives, in the log file format,
    // whether or not the user saves it; the status line names the file.
    void recordingKeptWithoutASave()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        QDir(QStringLiteral("recordings")).removeRecursively();
        sim::Emulator unit;
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        QVERIFY(chooseAndIdentify(form, path, unit));
        form.ActionStart->trigger();
        QVERIFY(QTest::qWaitFor([&] { return form.log()->count() > 50; }, 10000));
        const QString kept = form.log()->keptRecording();
        QVERIFY(kept.startsWith(QDir::current().filePath("recordings/")));
        QCOMPARE(form.statusBar()->currentMessage(),
                 "Recording kept in " + QDir::toNativeSeparators("recordings/" + QFileInfo(kept).fileName()));
        form.ActionStopExecute();
        QVERIFY(form.log()->saveToFile(QStringLiteral("saved.log")));
        QFile keptFile(kept), savedFile(QStringLiteral("saved.log"));
        QVERIFY(keptFile.open(QIODevice::ReadOnly) && savedFile.open(QIODevice::ReadOnly));
        const QByteArray k = keptFile.readAll(), v = savedFile.readAll();
        QCOMPARE(k.size(), 15 + 15 * form.log()->count());
        QCOMPARE(k.size(), v.size());
        QCOMPARE(k.left(15), v.left(15));
        // Byte for byte but the columns computed after the stream (O2SM, LogCorr).
        for (int i = 15; i < k.size(); i += 15)
            QCOMPARE(k.mid(i, 12), v.mid(i, 12));
        QVERIFY(sink.messages.isEmpty());
    }

    void createdWithLiveControls()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        // The log is the third subscriber and knows the main table.
        QCOMPARE(form.broadcaster()->subscribers().size(), std::size_t(3));
        QCOMPARE(form.broadcaster()->subscribers().at(2), static_cast<TSubscriber *>(form.log()));
        QCOMPARE(form.log()->table(), form.mainTable());
        QCOMPARE(&form.log()->tpsCalibration(), &form.tpsCalibration);
        QCOMPARE(form.ComboBoxO2->count(), 5);
        QCOMPARE(form.ComboBoxO2->currentIndex(), 2);
        QCOMPARE(form.ComboBoxO2->currentText(), QStringLiteral("0-5V Signal"));
        // The set points keep their design positions; their labels follow.
        QCOMPARE(form.TrackBarRefO2->value(), 127);
        QCOMPARE(form.LabelRefO2->text(), QStringLiteral("2.50V"));
        QCOMPARE(form.MaskEditO2REF->text(), QStringLiteral("30"));
        QCOMPARE(form.log()->settings().o2RefLive, 128);
        // Autotuning options at their design positions reach the log.
        QCOMPARE(form.UpDown1->value(), 10);
        QCOMPARE(form.MaskEditForcedIdleRpm->text(), QStringLiteral("1200"));
        QCOMPARE(form.MaskEditForcedIdleTps->text(), QStringLiteral("2"));
        QCOMPARE(form.TrackBarB->value(), 1000);
        QCOMPARE(form.TrackBarT->value(), 1000);
        QCOMPARE(form.log()->settings().fastWindow, 1);
        QCOMPARE(form.log()->settings().fineWindow, 10);
        QVERIFY(form.CheckBoxWotCorr->isHidden());
        QVERIFY(!form.CheckBoxWotCorr->isChecked());
        // The autotuning options page exists but its tab is hidden.
        const int tab = form.PageControl1->indexOf(form.TabSheetAutotuningSetup);
        QVERIFY(tab >= 0);
        QVERIFY(!form.PageControl1->isTabVisible(tab));
        // Correction window, correction and speed buttons.
        QCOMPARE(form.TrackBarMafNach->value(), 0);
        QCOMPARE(form.TrackBarMafKon->value(), 255);
        QCOMPARE(form.LabelPulsations->text(), QStringLiteral("255"));
        QCOMPARE(form.UpDownCorrection->minimum(), -255);
        QCOMPARE(form.UpDownCorrection->maximum(), 255);
        QVERIFY(form.SpeedButtonAplToTable->isChecked());
        QVERIFY(!form.SpeedButtonManualBorders->isChecked());
        // Autotuning is offered with automatic borders too, and is off.
        QVERIFY(!form.SpeedButtonAutocorr->isHidden());
        QVERIFY(!form.SpeedButtonAutocorr->isChecked());
        QCOMPARE(form.Button2->defaultAction(), form.ActionStart);
        QCOMPARE(form.Button6->defaultAction(), form.ActionStop);
        // The MAF limit is locked at start.
        QVERIFY(form.LockLogLimitSpeedButton->isChecked());
        QVERIFY(!form.LogLimitTrackBar->isEnabled());
        QCOMPARE(form.dashboardColour, 7139565);
        QVERIFY(sink.messages.isEmpty());
    }

    void startAndStopAgainstTheDemoUnit_data()
    {
        QTest::addColumn<bool>("autotuning");
        QTest::newRow("autotuning off") << false;
        QTest::newRow("autotuning on: released and MAF limit locked at Stop") << true;
    }
    void startAndStopAgainstTheDemoUnit()
    {
        QFETCH(bool, autotuning);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        RecordingSoundPlayer sounds;
        ScopedSoundPlayer soundsInstalled(&sounds);
        TForm1 form;
        form.choosePort(QString::fromLatin1(TForm1::kDemoUnitEntry));
        sim::Emulator *unit = form.demoUnit();
        QVERIFY(unit && unit->waitForEvent("read", 2000));
        if (autotuning) {
            form.SpeedButtonManualBorders->click();
            QVERIFY(!form.SpeedButtonAutocorr->isHidden());
            form.SpeedButtonAutocorr->click();
            QVERIFY(form.log()->settings().autocorrection);
            form.LockLogLimitSpeedButton->click();
            QVERIFY(form.LogLimitTrackBar->isEnabled());
        }
        form.UpDownCorrection->setValue(7);
        // The forced-idle boxes are read at Start only.
        form.MaskEditForcedIdleRpm->setText(QStringLiteral("1500"));
        form.MaskEditForcedIdleTps->setText(QStringLiteral("4"));
        QCOMPARE(form.log()->settings().forcedIdleRpm, 1200);
        unit->clearLog();

        form.ActionStart->trigger();
        QVERIFY(!form.ActionStart->isEnabled());
        QVERIFY(form.ActionStop->isEnabled());
        QVERIFY(!form.ActionReadCoverter->isEnabled());
        QVERIFY(!form.ComboBoxO2->isEnabled());
        QVERIFY(form.log()->recording());
        QCOMPARE(form.log()->sensorType(), 2);
        QCOMPARE(form.UpDownCorrection->value(), 0);
        QCOMPARE(form.log()->correctionValue(), 0);
        QCOMPARE(form.log()->settings().forcedIdleRpm, 1500);
        QCOMPARE(form.log()->settings().forcedIdleTps, 4);
        QCOMPARE(form.log()->settings().o2RefLive, 128);
        QCOMPARE(form.log()->settings().autocorrection, autotuning);
        QVERIFY(unit->waitForEvent("stream-start", 2000));
        // Start keeps the curve as it is: no table is sent.
        const auto events = unit->events();
        QVERIFY(std::find(events.begin(), events.end(), std::string("quick-write")) == events.end());
        QTRY_VERIFY_WITH_TIMEOUT(form.log()->count() > 30, 5000);
        // From 121 records on, the live tick's requests steer the window: over
        // the air-flow band with automatic borders, to a learned point with
        // manual borders and autotuning on.
        if (autotuning)
            QTRY_VERIFY_WITH_TIMEOUT(form.TrackBarMafNach->value() > 0, 5000);
        else
            QTRY_VERIFY_WITH_TIMEOUT(form.TrackBarMafNach->value() > 0 && form.TrackBarMafKon->value() < 255, 5000);
        QVERIFY(form.log()->count() >= Log::kAutotuneMinRecords);
        QVERIFY(autotuning ? form.TrackBarMafNach->value() == form.TrackBarMafKon->value()
                           : form.TrackBarMafNach->value() < form.TrackBarMafKon->value());
        QCOMPARE(form.mainTable()->correctionWindowStart(), form.TrackBarMafNach->value());
        QCOMPARE(form.UpDownCorrection->value(), 0);

        form.ActionStop->trigger();
        QVERIFY(form.ActionStart->isEnabled());
        QVERIFY(!form.ActionStop->isEnabled());
        QVERIFY(form.ActionReadCoverter->isEnabled());
        QVERIFY(form.ComboBoxO2->isEnabled());
        QVERIFY(!form.log()->recording());
        QVERIFY(form.log()->hasData());
        QCOMPARE(form.dashboardColour, 7139565);
        QVERIFY(unit->waitForEvent("stream-stop", 2000));
        QVERIFY(!form.SpeedButtonAutocorr->isChecked());
        QVERIFY(!form.log()->settings().autocorrection);
        QCOMPARE(form.LockLogLimitSpeedButton->isChecked(), true);
        QCOMPARE(form.LogLimitTrackBar->isEnabled(), false);
        QVERIFY(sink.messages.isEmpty());
    }

    void startWithoutAPortShowsTheMessage()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        int writes = 0;
        countQuickWrites(*form.mainTable(), writes);
        form.ActionStart->trigger();
        QCOMPARE(sink.messages, QStringList{kPortMessage});
        QVERIFY(form.ActionStart->isEnabled());
        QVERIFY(form.ComboBoxO2->isEnabled());
        QVERIFY(!form.log()->recording());
        QCOMPARE(writes, 0);
    }

    // Unplugged while live data runs, with autotuning sending corrections
    // and the stream's reader both failing on the lost port: one message,
    // that the port was lost, and the window back in the stopped state.
    void unplugMidStreamReturnsToStopped_data()
    {
        QTest::addColumn<bool>("autotuning");
        QTest::newRow("plain stream") << false;
        QTest::newRow("autotuning sends corrections") << true;
    }
    void unplugMidStreamReturnsToStopped()
    {
        QFETCH(bool, autotuning);
        // The message box runs an event loop of its own: by the time it
        // shows, live data must have stopped and the correction be back at 0.
        struct StateAtMessage : RecordingSink {
            void showMessage(const QString &text) override
            {
                RecordingSink::showMessage(text);
                if (atMessage)
                    atMessage();
            }
            std::function<void()> atMessage;
        } sink;
        ScopedMessageSink scoped(&sink);
        sim::Config config = sim::demoConfig();
        auto engine = std::make_shared<sim::EngineModel>(sim::demoEngine());
        engine->warmUpFrames = 0; // warm: the loop corrects from its first request
        config.engine = engine;
        config.hangupAfterFrames = autotuning ? 400 : 60;
        sim::Emulator unit(config);
        unit.setRam(sim::demoImage());
        const QString path = QString::fromStdString(unit.start());
        StopCounter counter;
        TForm1 form;
        form.broadcaster()->subscribe(&counter);
        QVERIFY(chooseAndIdentify(form, path, unit));
        counter.stops = 0; // the table read stops live data too
        bool recordingAtMessage = true;
        int correctionAtMessage = -1000;
        sink.atMessage = [&] {
            recordingAtMessage = form.log()->recording();
            correctionAtMessage = form.UpDownCorrection->value();
        };
        if (autotuning)
            form.SpeedButtonAutocorr->click();
        form.ActionStart->trigger();
        QVERIFY(!form.ActionStart->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(form.ActionStart->isEnabled(), 10000);
        QVERIFY(!form.ActionStop->isEnabled());
        QVERIFY(form.ComboBoxO2->isEnabled());
        QVERIFY(!form.log()->recording());
        QVERIFY(form.log()->hasData());
        QCOMPARE(counter.stops, 1);
        QCOMPARE(sink.messages, QStringList{kPortLostMessage});
        QVERIFY(!recordingAtMessage);
        QCOMPARE(correctionAtMessage, 0);
        QVERIFY(form.statusBar()->currentMessage().contains(QStringLiteral("the port was lost")));
        QTest::qWait(300);
        QCOMPARE(counter.stops, 1);
        QCOMPARE(sink.messages.size(), 1);
        if (autotuning) { // the loop was sending corrections when the port went
            const std::vector<std::string> events = unit.events();
            QVERIFY(std::any_of(events.begin(), events.end(),
                                [](const std::string &e) { return e.rfind("correction ", 0) == 0; }));
        }
    }

    void closingWhileRunningStopsTheStreamFirst()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator unit;
        const QString path = QString::fromStdString(unit.start());
        {
            TForm1 form;
            QVERIFY(chooseAndIdentify(form, path, unit));
            form.ActionStart->trigger();
            QTRY_VERIFY_WITH_TIMEOUT(form.log()->count() > 10, 5000);
            unit.clearLog();
            form.close();
            QVERIFY(!form.log()->recording());
            QVERIFY(!form.channel());
        }
        QVERIFY(unit.waitForEvent("stream-stop", 2000));
        QVERIFY(sink.messages.isEmpty());
    }

    void closingRaisesManualBordersBeforeReleasingThePort()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator unit;
        const QString path = QString::fromStdString(unit.start());
        {
            TForm1 form;
            QVERIFY(chooseAndIdentify(form, path, unit));
            form.SpeedButtonManualBorders->click();
            QVERIFY(form.SpeedButtonManualBorders->isChecked());
            // Pressing the borders sends a correction 0 of its own; the one
            // this test is after comes with the close.
            form.UpDownCorrection->setValue(7);
            QVERIFY(unit.waitForEvent("correction 7", 5000));
            unit.clearLog();
            form.close();
            QVERIFY(!form.SpeedButtonManualBorders->isChecked());
        }
        // Raising the borders put the unit's live correction back to 0.
        QVERIFY(unit.waitForEvent("correction 0", 2000));
        QVERIFY(sink.messages.isEmpty());
    }

    void autocorrectionRequestWithManualBordersUp_data()
    {
        QTest::addColumn<int>("commit");
        QTest::addColumn<int>("discard");
        QTest::addColumn<int>("colour");
        QTest::addColumn<int>("correction");
        QTest::addColumn<int>("point45");
        QTest::addColumn<int>("quickWrites");
        QTest::addColumn<QStringList>("played");
        // The correction starts at 3, the step is +1, point 45 outputs 45.
        QTest::newRow("step (fast phase)") << 0 << 0 << autotune::kFastColour << 4 << 45 << 0
                                           << QStringList{"corr.wav"};
        QTest::newRow("step (fine phase)") << 0 << 0 << autotune::kFineColour << 4 << 45 << 0
                                           << QStringList{"training.wav"};
        QTest::newRow("discard (forced idle)") << 0 << 1 << autotune::kForcedIdleColour << 0 << 45 << 0
                                               << QStringList{"forcedidle.wav"};
        QTest::newRow("discard (band too wide)") << 0 << 1 << autotune::kPulsationColour << 0 << 45 << 0
                                                 << QStringList{"puls.wav"};
        // A store's cue interrupts whatever plays: its state lasts one tick.
        QTest::newRow("commit") << 1 << 0 << autotune::kReadyColour << 0 << 49 << 1 << QStringList{"!ready.wav"};
        QTest::newRow("commit wins over discard") << 1 << 1 << autotune::kReadyColour << 0 << 49 << 1
                                                  << QStringList{"!ready.wav"};
        QTest::newRow("idle: no cue") << 0 << 0 << autotune::kIdleColour << 4 << 45 << 0 << QStringList{};
        QTest::newRow("flags read from their low byte") << 0x100 << 0x100 << autotune::kFastColour << 4 << 45 << 0
                                                        << QStringList{"corr.wav"};
    }
    void autocorrectionRequestWithManualBordersUp()
    {
        QFETCH(int, commit);
        QFETCH(int, discard);
        QFETCH(int, colour);
        QFETCH(int, correction);
        QFETCH(int, point45);
        QFETCH(int, quickWrites);
        QFETCH(QStringList, played);
        RecordingSoundPlayer sounds;
        ScopedSoundPlayer soundsInstalled(&sounds);
        TForm1 form;
        Table &table = *form.mainTable();
        rampTable(table);
        int writes = 0;
        countQuickWrites(table, writes);
        form.UpDownCorrection->setValue(3);

        TMsgAutocorrection request;
        request.windowStart = 40;
        request.windowEnd = 50;
        request.step = 1;
        request.commit = std::uint32_t(commit);
        request.discard = std::uint32_t(discard);
        request.stateColour = colour;
        form.broadcaster()->broadcast(request);

        QCOMPARE(form.TrackBarMafNach->value(), 40);
        QCOMPARE(form.TrackBarMafKon->value(), 50);
        QCOMPARE(form.LabelMafNach->text(), QStringLiteral("40"));
        QCOMPARE(form.LabelMafKon->text(), QStringLiteral("50"));
        QCOMPARE(form.LabelPulsations->text(), QStringLiteral("10"));
        QCOMPARE(form.UpDownCorrection->value(), correction);
        QCOMPARE(form.CorrPanel->text(), QString::number(correction));
        QCOMPARE(form.log()->correctionValue(), correction);
        QCOMPARE(table.correctionValue(), correction);
        QCOMPARE(table.correctionWindowStart(), 40);
        QCOMPARE(table.correctionWindowEnd(), 50);
        QCOMPARE(table.slot(45), point45);
        QCOMPARE(writes, quickWrites);
        QCOMPARE(form.dashboardColour, colour);
        QCOMPARE(sounds.played, played);
    }

    void autocorrectionRequestWithManualBordersDown_data()
    {
        QTest::addColumn<bool>("autotuning");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("position");
        QTest::newRow("autotuning on: first learned point from end - 2") << true << 62 << 60;
        QTest::newRow("autotuning on: none learned above") << true << 90 << 255;
        QTest::newRow("autotuning off: nothing") << false << 62 << -1;
    }
    void autocorrectionRequestWithManualBordersDown()
    {
        QFETCH(bool, autotuning);
        QFETCH(int, end);
        QFETCH(int, position);
        RecordingSoundPlayer sounds;
        ScopedSoundPlayer soundsInstalled(&sounds);
        TForm1 form;
        Table &table = *form.mainTable();
        rampTable(table);
        table.learnedValues()[60] = 60;
        form.SpeedButtonManualBorders->click();
        if (autotuning)
            form.SpeedButtonAutocorr->click();
        form.UpDownCorrection->setValue(5);

        TMsgAutocorrection request;
        request.windowStart = 30;
        request.windowEnd = end;
        request.step = 1;
        request.commit = 1;
        request.stateColour = autotune::kReadyColour;
        form.broadcaster()->broadcast(request);

        QCOMPARE(form.TrackBarMafNach->value(), position < 0 ? 0 : position);
        QCOMPARE(form.TrackBarMafKon->value(), position < 0 ? 255 : position);
        // Nothing else of the request is used.
        QCOMPARE(form.UpDownCorrection->value(), 5);
        QCOMPARE(table.slot(40), 40);
        QCOMPARE(form.dashboardColour, 7139565);
        QVERIFY(sounds.played.isEmpty());
    }

    void smoothingRequest_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("correction");
        QTest::addColumn<int>("quickWrites");
        QTest::addColumn<QStringList>("played");
        QTest::newRow("255: no change") << 255 << "" << 6 << 0 << QStringList{};
        QTest::newRow("21: box and quick write, no sound") << 21 << "21" << 0 << 1 << QStringList{};
        QTest::newRow("20: also the countdown cue, interrupting") << 20 << "20" << 0 << 1
                                                                  << QStringList{"!20.wav"};
        QTest::newRow("1") << 1 << "1" << 0 << 1 << QStringList{"!1.wav"};
    }
    void smoothingRequest()
    {
        QFETCH(int, value);
        QFETCH(QString, box);
        QFETCH(int, correction);
        QFETCH(int, quickWrites);
        QFETCH(QStringList, played);
        RecordingSoundPlayer sounds;
        ScopedSoundPlayer soundsInstalled(&sounds);
        TForm1 form;
        auto *smoothMaf = form.findChild<QLineEdit *>(QStringLiteral("MaskEditSmoothMaf"));
        QVERIFY(smoothMaf);
        const QString before = smoothMaf->text();
        int writes = 0;
        countQuickWrites(*form.mainTable(), writes);
        form.UpDownCorrection->setValue(6);

        TMsgSmoothing request(value);
        form.broadcaster()->broadcast(request);

        QCOMPARE(smoothMaf->text(), box.isEmpty() ? before : box);
        QCOMPARE(form.UpDownCorrection->value(), correction);
        QCOMPARE(form.log()->correctionValue(), correction);
        QCOMPARE(writes, quickWrites);
        QCOMPARE(sounds.played, played);
    }

    void correctionWindowRequest_data()
    {
        QTest::addColumn<bool>("clear");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("learned100");
        // Point 100 is learned and in the learned-point list.
        QTest::newRow("move only") << false << 100 << 100;
        QTest::newRow("move and clear the window") << true << 100 << 0;
        QTest::newRow("clear elsewhere leaves 100") << true << 120 << 100;
        QTest::newRow("move, clear refused at Min") << true << 0 << 100;
    }
    void correctionWindowRequest()
    {
        QFETCH(bool, clear);
        QFETCH(int, position);
        QFETCH(int, learned100);
        TForm1 form;
        Table &table = *form.mainTable();
        rampTable(table);
        table.learnedValues()[100] = 100;
        QVERIFY(table.addLearnedPoint(100));
        form.UpDownCorrection->setValue(2);

        TMsgCorrectionWindow request(clear, position);
        form.broadcaster()->broadcast(request);

        QCOMPARE(form.TrackBarMafNach->value(), position);
        QCOMPARE(form.TrackBarMafKon->value(), position);
        QCOMPARE(form.LabelPulsations->text(), QStringLiteral("0"));
        QCOMPARE(table.correctionWindowStart(), position);
        QCOMPARE(table.correctionWindowEnd(), position);
        QCOMPARE(table.learnedValues()[100], learned100);
        QCOMPARE(table.slot(281) == 100, learned100 == 100); // the list entry goes with it
        QCOMPARE(table.slot(100), 100);
        QCOMPARE(form.UpDownCorrection->value(), 2);
    }

    void windowTrackBarsKeepTheirOrder()
    {
        TForm1 form;
        form.TrackBarMafKon->setValue(80);
        form.TrackBarMafNach->setValue(100); // drags the end along
        QCOMPARE(form.TrackBarMafKon->value(), 100);
        form.TrackBarMafKon->setValue(60); // drags the start along
        QCOMPARE(form.TrackBarMafNach->value(), 60);
        form.TrackBarMafKon->setValue(90);
        QCOMPARE(form.TrackBarMafNach->value(), 60);
        QCOMPARE(form.LabelPulsations->text(), QStringLiteral("30"));
        QCOMPARE(form.mainTable()->correctionWindowStart(), 60);
        QCOMPARE(form.mainTable()->correctionWindowEnd(), 90);
    }

    void manualBordersAndDescendingButtons()
    {
        TForm1 form;
        form.UpDownCorrection->setValue(9);
        form.SpeedButtonManualBorders->click();
        QVERIFY(!form.SpeedButtonAutocorr->isHidden());
        QCOMPARE(form.UpDownCorrection->value(), 0);
        form.SpeedButtonAutocorr->click();
        QVERIFY(form.log()->settings().autocorrection);
        form.UpDownCorrection->setValue(4);
        form.SpeedButtonManualBorders->click(); // up again: autotuning off, still offered
        QVERIFY(!form.SpeedButtonAutocorr->isHidden());
        QVERIFY(!form.SpeedButtonAutocorr->isChecked());
        QVERIFY(!form.log()->settings().autocorrection);
        QCOMPARE(form.UpDownCorrection->value(), 0);
        QCOMPARE(form.log()->correctionValue(), 0);

        form.SpeedButtonToyota->click();
        QVERIFY(form.mainTable()->descending());
        QVERIFY(form.compareTable()->descending());
        QVERIFY(form.log()->settings().descending);
        form.SpeedButtonToyota->click();
        QVERIFY(!form.mainTable()->descending());
        QVERIFY(!form.log()->settings().descending);
    }

    void sensorTypeChange_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("reference");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("percent");
        QTest::newRow("0-1V Signal") << 0 << 51 << 25 << 26 << "0.51V" << " ";
        QTest::newRow("Innovate MTX-L") << 1 << 255 << 108 << 147 << "14.7" << "0%";
        QTest::newRow("0-5V Signal") << 2 << 255 << 127 << 128 << "2.50V" << " ";
        QTest::newRow("AEM 30-4110") << 3 << 255 << 108 << 147 << "14.7" << "0%";
        QTest::newRow("AEM 30-0300") << 4 << 255 << 108 << 147 << "14.7" << "0%";
    }
    void sensorTypeChange()
    {
        QFETCH(int, type);
        QFETCH(int, maximum);
        QFETCH(int, position);
        QFETCH(int, reference);
        QFETCH(QString, label);
        QFETCH(QString, percent);
        TForm1 form;
        form.MaskEditO2REF->setText(QStringLiteral("999"));
        // From another type, so that the change handler runs for every row.
        form.ComboBoxO2->setCurrentIndex(type == 0 ? 1 : 0);
        form.ComboBoxO2->setCurrentIndex(type);
        QCOMPARE(form.TrackBarRefO2->maximum(), maximum);
        QCOMPARE(form.TrackBarRefO2->value(), position);
        QCOMPARE(form.TrackBarLogO2Target->maximum(), maximum);
        QCOMPARE(form.TrackBarLogO2Target->value(), position);
        QCOMPARE(form.MaskEditO2REF->text(), QString::number(reference));
        QCOMPARE(form.LabelRefO2->text(), label);
        QCOMPARE(form.LabelRefO2FromDashInPercent->text(), percent);
        QCOMPARE(form.log()->settings().o2RefLive, reference);
        QCOMPARE(form.log()->settings().o2Target, reference);
        QCOMPARE(form.log()->sensorType(), type);
    }

    void o2TargetStaysOnTheRichSide()
    {
        TForm1 form;
        form.ComboBoxO2->setCurrentIndex(4); // air-fuel ratio: leaner is higher
        form.TrackBarLogO2Target->setValue(255 - 160); // 16.0, leaner than 14.7
        QCOMPARE(form.TrackBarLogO2Target->value(), 108);
        QCOMPARE(form.LabelRefO2Log->text(), QStringLiteral("14.7"));
        QCOMPARE(form.log()->settings().o2Target, 147);
        form.TrackBarRefO2->setValue(255 - 140); // reference 14.0 pulls the target along
        QCOMPARE(form.TrackBarLogO2Target->value(), 255 - 140);
        QCOMPARE(form.LabelLogMixtuePercent->text(), QStringLiteral("5%"));
        QCOMPARE(form.MaskEditO2REF->text(), QStringLiteral("147")); // only a sensor change rewrites it
    }

    void o2RefEditTakesDigitsAndEnterOnly()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        form.MaskEditO2REF->clear();
        QTest::keyClicks(form.MaskEditO2REF, QStringLiteral("1x4"));
        QTest::keyClick(form.MaskEditO2REF, Qt::Key_Return);
        QCOMPARE(form.MaskEditO2REF->text(), QStringLiteral("14"));
        QCOMPARE(sink.messages, QStringList{QString::fromUtf8("Ай-ай-ай, это не циферка! This is not digit!!!")});
        QTest::keyClick(form.MaskEditO2REF, Qt::Key_Left);
        QTest::keyClick(form.MaskEditO2REF, Qt::Key_Delete);
        QCOMPARE(form.MaskEditO2REF->text(), QStringLiteral("1"));
        QCOMPARE(sink.messages.size(), 1);
        // Its hint is the value for the selected sensor, set when the mouse enters.
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(form.MaskEditO2REF, &enter);
        QCOMPARE(form.MaskEditO2REF->toolTip(), QStringLiteral("0.02 V"));
    }

    void o2TargetGrid()
    {
        TForm1 form;
        QTableWidget *grid = form.StringGridO2Table;
        QCOMPARE(grid->rowCount(), 11);
        QCOMPARE(grid->columnCount(), 11);
        QVERIFY(!(grid->item(10, 0)->flags() & Qt::ItemIsEditable));
        QVERIFY(grid->item(10, 1)->flags() & Qt::ItemIsEditable);
        QVERIFY(grid->item(3, 0)->flags() & Qt::ItemIsEditable);
        QCOMPARE(grid->item(10, 0)->background().color(), QColor(128, 128, 128));
        QCOMPARE(grid->item(3, 0)->background().color(), grid->item(9, 0)->background().color());
        QCOMPARE(grid->item(10, 5)->background().color(), grid->item(10, 10)->background().color());
        QVERIFY(grid->item(3, 0)->background().color() != grid->item(10, 5)->background().color());
        QCOMPARE(grid->item(3, 5)->background().style(), Qt::NoBrush);

        grid->item(10, 4)->setText(QStringLiteral("3000"));
        form.MaskEditO2REF->setText(QStringLiteral("14x"));
        form.ButtonFillLoadTableWithO2RefValue->click();
        for (int row = 0; row < 10; ++row)
            for (int col = 1; col < 11; ++col)
                QCOMPARE(grid->item(row, col)->text(), QStringLiteral("14"));
        QCOMPARE(grid->item(10, 4)->text(), QStringLiteral("3000"));
        QCOMPARE(grid->item(4, 0)->text(), QString());

        // Hints: a value cell shows its value for the sensor, an axis cell none.
        form.ComboBoxO2->setCurrentIndex(1);
        grid->item(2, 3)->setText(QStringLiteral("147"));
        grid->setCurrentCell(2, 3);
        QCOMPARE(grid->toolTip(), QStringLiteral("14.70 AFR"));
        grid->setCurrentCell(10, 3);
        QCOMPARE(grid->toolTip(), QString());
        form.ComboBoxO2->setCurrentIndex(2);
        grid->setCurrentCell(5, 5);
        QCOMPARE(grid->toolTip(), QStringLiteral("0.27 V"));
    }

    void logLimitFollowsTheLock()
    {
        TForm1 form;
        form.LogLimitTrackBar->setValue(155); // locked: nothing taken
        QCOMPARE(form.log()->settings().mafLimit, 0);
        form.LockLogLimitSpeedButton->click();
        QVERIFY(form.LogLimitTrackBar->isEnabled());
        form.LogLimitTrackBar->setValue(55);
        QCOMPARE(form.log()->settings().mafLimit, 200);
        QCOMPARE(form.Label30->text(), QStringLiteral("200"));
        QCOMPARE(form.mainTable()->maxMafPosition(), 200);
    }

    void autotuningOptionsReachTheLog()
    {
        TForm1 form;
        form.UpDown1->setValue(25);
        QCOMPARE(form.log()->settings().maxMafSpread, 25);
        form.TrackBarB->setValue(1001 - 200);
        QCOMPARE(form.log()->settings().fastWindow, 200);
        QCOMPARE(form.log()->settings().fastPeriod, 20);
        QCOMPARE(form.LabelTrackBarB->text(), QStringLiteral("200"));
        form.TrackBarT->setValue(1010 - 500);
        QCOMPARE(form.log()->settings().fineWindow, 500);
        QCOMPARE(form.log()->settings().finePeriod, 50);
    }
};

QTEST_MAIN(TestWindowLive)
#include "tst_window_live.moc"
