// One edit path: every gesture of the window, made with the keyboard and the
// mouse as a user makes it, against the emulated unit. Each gesture changes
// only the slots it may change, ends in one quick write, and undo and redo
// give back the exact bytes on the window and on the unit.
#include <QtTest>

#include <QSlider>
#include <QWheelEvent>

#include <cmath>

#include <QStyleOptionSlider>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include <cstring>
#include <set>

#include "app/Unit1.h"
#include "app/WindowTestHelpers.h"
#include "link/MessageSink.h"
#include "sim/Emulator.h"
#include "table/TableFile.h"
#include "table/Table_iat_ect_corr.h"
#include "throttle/CorrectionWindow.h"
#include "ui/AdvancedPages.h"
#include "log/Log_iat_ect_corr.h"
#include "ui/ChartDashboard.h"
#include "ui/ChartLog.h"
#include "ui/LogPage.h"
#include "ui/ChartTableGraph.h"
#include "ui/TableCommands.h"
#include "ui/TablePage.h"
#include "ui/ThrottlePanel.h"

namespace {

// A throttle unit's image: output = input, Min 10, Kick 128, Max 250, switch
// points 30 and 220, auxiliary pair (20, 100) and (180, 200), Ref 12 V,
// learned points 50 and 100.
sim::Image unitImage()
{
    sim::Image image = sim::defaultImage();
    for (int i = 0; i < 256; ++i)
        image[size_t(i)] = std::uint8_t(i);
    const std::pair<int, int> settings[] = {{264, 30}, {265, 30}, {267, 220}, {268, 220}, {270, 250},
                                            {271, 10},  {272, 128}, {273, 20},  {274, 100}, {275, 180},
                                            {276, 200}, {281, 50},  {282, 100}};
    for (const auto &[slot, value] : settings)
        image[size_t(slot)] = std::uint8_t(value);
    const float ref = 12.0f;
    std::memcpy(&image[277], &ref, 4);
    return image;
}

QByteArray bytesOf(const sim::Image &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.data()), int(image.size()));
}

int count(const sim::Emulator &unit, const std::string &event)
{
    int n = 0;
    for (const std::string &e : unit.events())
        n += e == event;
    return n;
}

// Slots where two images differ.
std::set<int> changedSlots(const QByteArray &a, const QByteArray &b)
{
    std::set<int> changed;
    for (int i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            changed.insert(i);
    return changed;
}

struct Rig {
    explicit Rig(const sim::Image &image = unitImage())
    {
        unit.setRam(image);
        scoped = std::make_unique<ScopedMessageSink>(&sink);
        form = std::make_unique<TForm1>();
        form->resize(1366, 740);
        ok = chooseAndIdentify(*form, QString::fromStdString(unit.start()), unit);
        form->MainPageControl->setCurrentWidget(form->DashboardTabSheet);
        focusOn(form->MainPageControl);
        unit.clearLog();
    }
    ~Rig() { form->close(); }
    Table &table() const { return *form->mainTable(); }
    QByteArray shown() const { return table().imageBytes(1); }
    QByteArray ram() const { return bytesOf(unit.ram()); }
    int quickWrites() const { return count(unit, "quick-write"); }
    // Waits for n quick writes since the last clearLog, then a little longer
    // for one too many.
    bool writes(int n)
    {
        const bool reached = QTest::qWaitFor([&] { return quickWrites() >= n; }, 5000);
        QTest::qWait(30);
        return reached && quickWrites() == n;
    }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        focusOn(form->MainPageControl);
        clickKey(k, mods);
    }
    ChartDashboard &chart() const { return *form->dashboardChart; }
    QPoint onCurve(ChartBase &c, int code, int dy = 0) const
    {
        return QPoint(qRound(c.inputPixel(code)), qRound(c.valuePixel(table().slot(code))) + dy);
    }
    void drag(ChartBase &c, const QPoint &from, const QPoint &to)
    {
        QTest::mousePress(&c, Qt::LeftButton, {}, from);
        QTest::mouseMove(&c, (from + to) / 2);
        QTest::mouseMove(&c, to);
        QTest::mouseRelease(&c, Qt::LeftButton, {}, to);
    }
    void doubleClick(ChartBase &c, const QPoint &at)
    {
        QTest::mouseClick(&c, Qt::LeftButton, {}, at);
        QTest::mouseDClick(&c, Qt::LeftButton, {}, at);
        QTest::mouseRelease(&c, Qt::LeftButton, {}, at);
    }
    void mode(int m) { form->throttlePanel->modeAction(m)->trigger(); }

    RecordingSink sink;
    std::unique_ptr<ScopedMessageSink> scoped;
    sim::Emulator unit;
    std::unique_ptr<TForm1> form;
    bool ok = false;
};

// The slots a gesture may change.
std::set<int> range(int first, int last)
{
    std::set<int> s;
    for (int i = first; i <= last; ++i)
        s.insert(i);
    return s;
}

} // namespace

class TestWindowEdits : public QObject {
    Q_OBJECT
    QTemporaryDir workDir_;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(workDir_.path())); }
    void init() { startAfresh(); }

    // Each gesture: only its slots change, the unit gets one quick write and
    // then holds what the window shows; Ctrl+Z gives back the bytes before
    // on both, Ctrl+Shift+Z the bytes after.
    void gestureIsOneEditAndUndoes_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("firstSlot");
        QTest::addColumn<int>("lastSlot");
        QTest::newRow("dashboard drag of a learned point") << "dashboard drag" << 0 << 255;
        QTest::newRow("dashboard double click learns a point") << "dashboard double click" << 0 << 300;
        QTest::newRow("Up in the main mode applies to the table") << "Up" << 0 << 255;
        QTest::newRow("Right in the idle switch mode") << "idle Right" << 264 << 265;
        QTest::newRow("Down in the auxiliary minimum mode") << "aux Down" << 274 << 274;
        QTest::newRow("Right in the reference voltage mode") << "Ref Right" << 277 << 280;
        QTest::newRow("table chart drag") << "table chart drag" << 0 << 255;
        QTest::newRow("switch inversion box") << "inversion" << 266 << 266;
        QTest::newRow("one-to-one from the menu") << "one-to-one" << 0 << 391;
        QTest::newRow("smoothing track bar step") << "smoothing bar" << 260 << 260;
        QTest::newRow("smoothing track bar drag") << "smoothing bar drag" << 260 << 260;
    }
    void gestureIsOneEditAndUndoes()
    {
        QFETCH(QString, gesture);
        QFETCH(int, firstSlot);
        QFETCH(int, lastSlot);
        Rig rig;
        QVERIFY(rig.ok);
        if (gesture == "idle Right")
            rig.mode(EditIdleSw);
        else if (gesture == "aux Down")
            rig.mode(EditAuxMin);
        else if (gesture == "Ref Right")
            rig.mode(EditRefVoltage);
        if (gesture == "table chart drag") {
            rig.form->advancedPages->action()->setChecked(true);
            rig.form->MainPageControl->setCurrentWidget(rig.form->TableTabSheet);
            QVERIFY(QTest::qWaitForWindowExposed(rig.form->tablePage->graph()));
        }
        rig.unit.clearLog();
        const QByteArray before = rig.shown();
        QCOMPARE(rig.ram(), before);

        if (gesture == "dashboard drag") {
            const QPoint from = rig.onCurve(rig.chart(), 52);
            rig.drag(rig.chart(), from, from - QPoint(0, 40));
        } else if (gesture == "dashboard double click") {
            rig.doubleClick(rig.chart(), rig.onCurve(rig.chart(), 70));
        } else if (gesture == "Up") {
            rig.key(Qt::Key_Up);
        } else if (gesture == "idle Right") {
            rig.key(Qt::Key_Right);
        } else if (gesture == "aux Down") {
            rig.key(Qt::Key_Down);
        } else if (gesture == "Ref Right") {
            rig.key(Qt::Key_Right);
        } else if (gesture == "table chart drag") {
            ChartTableGraph &graph = *rig.form->tablePage->graph();
            const QPoint from = rig.onCurve(graph, 150);
            rig.drag(graph, from, from - QPoint(0, 30));
        } else if (gesture == "inversion") {
            rig.form->CheckBoxIdleSwitch->click();
        } else if (gesture == "one-to-one") {
            rig.form->tableCommands->oneToOne[4]->trigger(); // Ref=12V: the same reference, the settings cleared
        } else if (gesture == "smoothing bar") {
            rig.form->trackBars[tbl::TrackBarMafSm]->triggerAction(QAbstractSlider::SliderPageStepSub);
        } else if (gesture == "smoothing bar drag") {
            // Pressed on its handle, dragged through several values, released.
            QSlider *bar = rig.form->trackBars[tbl::TrackBarMafSm];
            rig.form->MainPageControl->setCurrentWidget(rig.form->MainTabSheet);
            QVERIFY(QTest::qWaitForWindowExposed(bar));
            QStyleOptionSlider option;
            option.initFrom(bar);
            option.orientation = bar->orientation();
            option.minimum = bar->minimum();
            option.maximum = bar->maximum();
            option.sliderPosition = option.sliderValue = bar->value();
            const QPoint handle =
                bar->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, bar).center();
            const int valueBefore = bar->value();
            QTest::mousePress(bar, Qt::LeftButton, {}, handle);
            for (int dx = 10; dx <= 60; dx += 10)
                QTest::mouseMove(bar, handle - QPoint(dx, 0));
            QTest::mouseRelease(bar, Qt::LeftButton, {}, handle - QPoint(60, 0));
            QVERIFY(bar->value() < valueBefore - 1); // several values on the way
        }

        const QByteArray after = rig.shown();
        QVERIFY(after != before);
        for (int slot : changedSlots(before, after))
            QVERIFY2(slot >= firstSlot && slot <= lastSlot, qPrintable(QStringLiteral("slot %1").arg(slot)));
        QVERIFY(rig.writes(1));
        QCOMPARE(rig.ram(), after);

        rig.form->MainPageControl->setCurrentWidget(rig.form->DashboardTabSheet);
        rig.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(rig.shown(), before);
        QVERIFY(rig.writes(2));
        QCOMPARE(rig.ram(), before);
        rig.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(rig.shown(), after);
        QVERIFY(rig.writes(3));
        QCOMPARE(rig.ram(), after);
        QVERIFY2(rig.sink.messages.isEmpty(), qPrintable(rig.sink.messages.join('|')));
    }

    // The undo and redo buttons reach the unit too; Ctrl released before Z
    // (the usual order) sends the undone image once.
    void undoButtonsAndCtrlReleasedFirst()
    {
        Rig rig;
        QVERIFY(rig.ok);
        const QByteArray before = rig.shown();
        rig.key(Qt::Key_Up);
        QVERIFY(rig.writes(1));
        const QByteArray after = rig.shown();
        rig.form->findChild<QToolButton *>(QStringLiteral("SpeedButtonUndo1"))->click();
        QVERIFY(rig.writes(2));
        QCOMPARE(rig.ram(), before);
        rig.form->findChild<QToolButton *>(QStringLiteral("SpeedButtonRedo1"))->click();
        QVERIFY(rig.writes(3));
        QCOMPARE(rig.ram(), after);
        // Ctrl down, Z down, Ctrl up, Z up.
        focusOn(rig.form->MainPageControl);
        pressKey(Qt::Key_Control);
        pressKey(Qt::Key_Z, Qt::ControlModifier);
        releaseKey(Qt::Key_Control);
        releaseKey(Qt::Key_Z);
        QCOMPARE(rig.shown(), before);
        QVERIFY(rig.writes(4));
        QCOMPARE(rig.ram(), before);
    }

    // A read is one step of the history: undo goes back to the image before it.
    void undoAfterAReadReturnsToTheImageBefore()
    {
        Rig rig;
        QVERIFY(rig.ok);
        // A few edits first: the history then holds enough states for a
        // read's undo to skip some, as it once did.
        for (int i = 0; i < 3; ++i)
            rig.key(Qt::Key_Up);
        QVERIFY(rig.writes(3));
        const QByteArray edited = rig.shown();
        sim::Image other = unitImage();
        other[60] = 7;
        rig.unit.setRam(other);
        rig.form->ActionReadCoverter->trigger();
        QVERIFY(rig.unit.waitForEvent("read", 5000));
        QCOMPARE(rig.shown(), bytesOf(other));
        QCOMPARE(rig.quickWrites(), 3); // nothing sent back after the read
        rig.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(rig.shown(), edited);
        rig.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(rig.shown(), bytesOf(other));
    }

    // Start and Stop leave every point of the curve as it was, whether it
    // was read from the unit, shaped by hand or loaded from a file, and
    // send no table.
    void startKeepsTheCurve_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("read") << "read";
        QTest::newRow("hand-shaped") << "hand";
        QTest::newRow("loaded") << "loaded";
    }
    void startKeepsTheCurve()
    {
        QFETCH(QString, source);
        sim::Image image = unitImage();
        for (int i = 0; i < 256; ++i) // a power curve between the learned points 50 and 100
            image[size_t(i)] = std::uint8_t(std::nearbyint(255.0 * std::pow(i / 255.0, 1.7)));
        Rig rig(image);
        QVERIFY(rig.ok);
        QTemporaryDir dir;
        if (source == "hand") {
            const TableEdit edit(rig.table());
            for (int i = 1; i < 256; i += 7)
                rig.table().setSlot(i, (i * 37) % 256);
        } else if (source == "loaded") {
            sim::Image file = image;
            for (int i = 0; i < 256; ++i)
                file[size_t(i)] = std::uint8_t(255 - (i * i) / 256);
            QFile f(dir.filePath("curve.tab"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytesOf(file));
            f.close();
            QVERIFY(rig.form->tableCommands->openTab(rig.table(), 1, f.fileName()));
        }
        if (source != "read") // the edit or the load went to the unit
            QVERIFY(rig.writes(1));
        const QByteArray before = rig.shown();
        QCOMPARE(rig.ram().toHex(), before.toHex());
        rig.unit.clearLog();
        rig.form->ActionStart->trigger();
        QVERIFY(QTest::qWaitFor([&] { return rig.form->log()->count() > 20; }, 10000));
        rig.form->ActionStop->trigger();
        QVERIFY(rig.unit.waitForEvent("stream-stop", 5000));
        QCOMPARE(rig.shown().left(256).toHex(), before.left(256).toHex());
        QCOMPARE(rig.shown().toHex(), before.toHex());
        QCOMPARE(rig.quickWrites(), 0);
    }

    // A key at the end of its range changes nothing, so nothing is sent.
    void keyAtItsLimitSendsNothing()
    {
        Rig rig;
        QVERIFY(rig.ok);
        rig.mode(EditSmoothing);
        for (int i = 0; i < 11; ++i) // ten steps of 10 reach the end, whichever way
            rig.key(Qt::Key_Right);
        QVERIFY(QTest::qWaitFor([&] { return rig.ram() == rig.shown(); }, 5000));
        const QByteArray atLimit = rig.shown();
        const int steps = rig.table().history().count();
        rig.unit.clearLog();
        rig.key(Qt::Key_Right);
        QVERIFY(rig.writes(0));
        QCOMPARE(rig.shown().toHex(), atLimit.toHex());
        QCOMPARE(rig.table().history().count(), steps);
    }

    // Wheel notches on one track bar in quick succession are one gesture:
    // one edit, one write, one step back.
    void wheelNotchesAreOneGesture()
    {
        Rig rig;
        QVERIFY(rig.ok);
        rig.form->MainPageControl->setCurrentWidget(rig.form->MainTabSheet);
        QSlider *bar = rig.form->trackBars[tbl::TrackBarMafSm];
        bar->setValue(50);
        QVERIFY(rig.writes(1));
        rig.unit.clearLog();
        const QByteArray before = rig.shown();
        const int steps = rig.table().history().count();
        const QPointF at(bar->width() / 2.0, bar->height() / 2.0);
        for (int i = 0; i < 5; ++i) {
            QWheelEvent notch(at, bar->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(bar, &notch);
        }
        QVERIFY(bar->value() != 50);
        QVERIFY(QTest::qWaitFor([&] { return rig.quickWrites() >= 1; }, 5000));
        QVERIFY(rig.writes(1));
        QCOMPARE(rig.ram(), rig.shown());
        QCOMPARE(rig.table().history().count(), steps + 1);
        rig.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(rig.shown().toHex(), before.toHex());
    }

    // An older unit keeps another value than 255 in slot 263: an edit's undo
    // still brings the unit back to every byte it held before the gesture.
    void undoReachesAnOlderUnit()
    {
        sim::Image image = unitImage();
        image[263] = 100;
        Rig rig(image);
        QVERIFY(rig.ok);
        QCOMPARE(rig.form->correctionWindow()->editMode(), int(EditMain)); // as the window starts
        const QByteArray ramBefore = rig.ram();
        QCOMPARE(int(std::uint8_t(ramBefore[263])), 100);
        rig.key(Qt::Key_Up);
        QVERIFY(rig.writes(1));
        QVERIFY(rig.ram() != ramBefore);
        rig.key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(rig.writes(2));
        QCOMPARE(rig.ram().toHex(), ramBefore.toHex());
        QCOMPARE(rig.shown().toHex(), ramBefore.toHex());
    }

    // Ctrl+Z on the comparison page takes back nothing of the main table
    // (the comparison keeps no history) and says so; on the dashboard it does.
    void undoOnTheComparisonPageDoesNothing()
    {
        Rig rig;
        QVERIFY(rig.ok);
        rig.mode(EditMain);
        const QByteArray start = rig.shown();
        rig.key(Qt::Key_Up);
        QVERIFY(rig.writes(1));
        const QByteArray edited = rig.shown();
        QVERIFY(edited != start);
        rig.form->MainPageControl->setCurrentWidget(rig.form->TableTabSheet);
        rig.form->tablePage->pageControl()->setCurrentWidget(rig.form->tablePage->compareSheet());
        focusOn(rig.form->MainPageControl);
        clickKey(Qt::Key_Z, Qt::ControlModifier);
        clickKey(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(rig.writes(1));
        QCOMPARE(rig.shown().toHex(), edited.toHex());
        QCOMPARE(rig.form->statusBar()->currentMessage(),
                 QStringLiteral("The comparison keeps no undo history: Ctrl+Z does nothing here"));
        rig.form->MainPageControl->setCurrentWidget(rig.form->DashboardTabSheet);
        rig.key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(rig.writes(2));
        QCOMPARE(rig.shown().toHex(), start.toHex());
    }

    // A held key is one gesture even where the platform does not mark its
    // repeats: press and release pairs 35 ms apart, without the repeat flag
    // (as X delivers them when its detection fails). Up in Main mode: one
    // edit, one write, and one Ctrl+Z takes the unit back to every byte it
    // held before.
    void heldArrowWithoutRepeatFlagIsOneGesture()
    {
        Rig rig;
        QVERIFY(rig.ok);
        rig.mode(EditMain);
        const QByteArray before = rig.shown();
        const QByteArray ramBefore = rig.ram();
        focusOn(rig.form->MainPageControl);
        const int steps = rig.table().history().count();
        holdKeyWithoutRepeatFlag(Qt::Key_Up, 30);
        QVERIFY(waitForKeysUp());
        QVERIFY(rig.writes(1));
        QVERIFY(rig.shown() != before);
        QCOMPARE(rig.ram(), rig.shown());
        QCOMPARE(rig.table().history().count(), steps + 1);
        rig.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(rig.shown().toHex(), before.toHex());
        QVERIFY(rig.writes(2));
        QCOMPARE(rig.ram().toHex(), ramBefore.toHex());
    }

    // Held Ctrl+Z steps back once, with or without the repeat flag.
    void heldUndoStepsOnce_data()
    {
        QTest::addColumn<bool>("flagged");
        QTest::newRow("repeats flagged") << true;
        QTest::newRow("repeats unflagged") << false;
    }
    void heldUndoStepsOnce()
    {
        QFETCH(bool, flagged);
        Rig rig;
        QVERIFY(rig.ok);
        rig.mode(EditMain);
        const QByteArray start = rig.shown();
        rig.key(Qt::Key_Up);
        const QByteArray first = rig.shown();
        rig.key(Qt::Key_Up);
        rig.key(Qt::Key_Up);
        QVERIFY(rig.writes(3));
        QVERIFY(first != start);
        focusOn(rig.form->MainPageControl);
        if (flagged)
            holdKeyWithRepeatFlag(Qt::Key_Z, 10, Qt::ControlModifier);
        else
            holdKeyWithoutRepeatFlag(Qt::Key_Z, 10, Qt::ControlModifier);
        QVERIFY(waitForKeysUp());
        QVERIFY(rig.writes(4));
        // Back one step: two Up presses left, not none.
        QVERIFY(rig.shown() != start);
        rig.key(Qt::Key_Z, Qt::ControlModifier);
        rig.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(rig.shown().toHex(), start.toHex());
        QCOMPARE(rig.ram().toHex(), start.toHex());
    }

    // Holding an arrow key: the repeats go on editing, the one release sends once.
    void heldArrowKeySendsOnce()
    {
        Rig rig;
        QVERIFY(rig.ok);
        rig.mode(EditRefVoltage);
        rig.unit.clearLog();
        QWidget *focus = focusOn(rig.form->MainPageControl);
        QCOMPARE(QApplication::focusWidget(), focus);
        // X11 repeats a held key as release and press pairs marked as repeats.
        holdKeyWithRepeatFlag(Qt::Key_Down, 5);
        QVERIFY(std::abs(rig.table().referenceVoltage() - 11.94f) < 1e-4f);
        QVERIFY(rig.writes(1));
    }

    // Choosing Aux Min after a live correction: the correction goes back to 0
    // on the unit and the auxiliary pair keeps its values; one Up moves only
    // the pair's lower output, by one.
    void auxiliaryPairKeptWhenItsModeIsChosen()
    {
        Rig rig;
        QVERIFY(rig.ok);
        rig.form->UpDownCorrection->stepUp(); // the spin box's arrow
        QVERIFY(rig.unit.waitForEvent("correction 1", 3000));
        rig.mode(EditAuxMin);
        QVERIFY(rig.unit.waitForEvent("correction 0", 3000));
        QCOMPARE(rig.form->UpDownCorrection->value(), 0);
        QCOMPARE(rig.table().slot(273), 20);
        QCOMPARE(rig.table().slot(274), 100);
        QCOMPARE(rig.table().slot(275), 180);
        QCOMPARE(rig.table().slot(276), 200);
        rig.unit.clearLog();
        rig.key(Qt::Key_Up);
        QVERIFY(rig.writes(1));
        const sim::Image ram = rig.unit.ram();
        QCOMPARE((std::vector<int>{ram[273], ram[274], ram[275], ram[276]}), (std::vector<int>{20, 101, 180, 200}));
    }

    // A throttle unit keeps its settings where the converter keeps
    // temperature corrections: neither drawn nor offered for editing.
    void temperatureCorrectionsNotOfferedForTheThrottleUnit()
    {
        Rig rig;
        QVERIFY(rig.ok);
        QVERIFY(!rig.form->SpeedButtonApplyCorrToIat->isEnabled());
        QVERIFY(!rig.form->SpeedButtonApplyCorrToECT->isEnabled());
        QVERIFY(rig.form->SpeedButtonAplToTable->isChecked());
        QCOMPARE(rig.chart().series(ChartDashboard::IatCorr)->data()->size(), 0);
        QCOMPARE(rig.chart().series(ChartDashboard::EctCorr)->data()->size(), 0);
        ChartTableGraph &graph = *rig.form->tablePage->graph();
        QCOMPARE(graph.series(ChartTableGraph::IATCorr)->data()->size(), 0);
        graph.selectSeries(ChartTableGraph::IATCorr);
        rig.form->advancedPages->action()->setChecked(true);
        rig.form->MainPageControl->setCurrentWidget(rig.form->TableTabSheet);
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        const QByteArray before = rig.shown();
        // Alt and a drag would edit the selected series: nothing happens.
        const QPoint at(qRound(graph.inputPixel(40)), qRound(graph.valuePixel(0)));
        QTest::mousePress(&graph, Qt::LeftButton, Qt::AltModifier, at);
        QTest::mouseMove(&graph, at - QPoint(0, 30));
        QTest::mouseRelease(&graph, Qt::LeftButton, Qt::AltModifier, at - QPoint(0, 30));
        QCOMPARE(rig.shown(), before);
        QVERIFY(rig.writes(0));
    }

    // After every kind of replacement the window shows the image: the
    // point-mode window start, the panel's values and the inversion boxes;
    // the next Left moves the point the image holds.
    void shownValuesFollowTheImage_data()
    {
        QTest::addColumn<QString>("replacement");
        QTest::newRow("tab file") << "load";
        QTest::newRow("read") << "read";
        QTest::newRow("undo") << "undo";
        QTest::newRow("one-to-one") << "one-to-one";
    }
    void shownValuesFollowTheImage()
    {
        QFETCH(QString, replacement);
        sim::Image replaced = unitImage();
        replaced[264] = replaced[265] = 20;
        replaced[266] = 128;
        Rig rig(replacement == "undo" ? replaced : unitImage());
        QVERIFY(rig.ok);
        rig.mode(EditIdleSw);
        if (replacement == "undo") {
            // From 20, two steps right, then back.
            rig.key(Qt::Key_Right);
            rig.key(Qt::Key_Right);
            QCOMPARE(rig.form->TrackBarMafNach->value(), 22);
            rig.key(Qt::Key_Z, Qt::ControlModifier);
            rig.key(Qt::Key_Z, Qt::ControlModifier);
        } else if (replacement == "load") {
            QFile file(QStringLiteral("idle20.tab"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytesOf(replaced));
            file.close();
            QVERIFY(rig.form->tableCommands->openTab(rig.table(), 1, QStringLiteral("idle20.tab")));
        } else if (replacement == "read") {
            rig.unit.setRam(replaced);
            rig.form->ActionReadCoverter->trigger();
        } else {
            rig.form->tableCommands->oneToOne[0]->trigger();
        }
        // The replacement's own sends first (a read sends nothing back).
        const int sent = replacement == "undo" ? 4 : replacement == "read" ? 0 : 1;
        QVERIFY(rig.writes(sent));
        const int idle = rig.table().byteAt(264);
        QCOMPARE(idle, replacement == "one-to-one" ? 0 : 20);
        QCOMPARE(rig.form->TrackBarMafNach->value(), idle);
        QCOMPARE(rig.form->TrackBarMafKon->value(), idle);
        QCOMPARE(rig.form->CheckBoxIdleSwitch->isChecked(), rig.table().slot(266) != 0);
        QCOMPARE(rig.form->throttlePanel->label(QStringLiteral("LabelIdleSwValue"))->text(),
                 kma::panelValues(rig.table()).idleSwitch);
        rig.key(replacement == "one-to-one" ? Qt::Key_Right : Qt::Key_Left);
        QVERIFY(rig.writes(sent + 1));
        const int expected = replacement == "one-to-one" ? 1 : 19;
        QCOMPARE(int(rig.unit.ram()[264]), expected);
        QCOMPARE(int(rig.unit.ram()[265]), expected);
    }

    // With Max not above Min (a blank unit) a double click does not make the
    // whole curve one value: the limit step is refused and the status line says why.
    void doubleClickNeverFlattensTheCurve()
    {
        sim::Image blank = unitImage();
        blank[270] = blank[271] = 0;
        Rig rig(blank);
        QVERIFY(rig.ok);
        const QByteArray before = rig.shown();
        rig.doubleClick(rig.chart(), rig.onCurve(rig.chart(), 120));
        QCOMPARE(rig.shown(), before);
        QVERIFY(rig.writes(0));
        QVERIFY(rig.form->statusBar()->currentMessage().contains(QStringLiteral("Max")));
        // In the Min mode a double click beyond Max leaves the points too.
        rig.form->statusBar()->clearMessage();
        rig.mode(EditMin);
        rig.doubleClick(rig.chart(), rig.onCurve(rig.chart(), 200));
        for (int i = 0; i < 256; ++i)
            QCOMPARE(rig.table().slot(i), i);
        QVERIFY(!rig.form->statusBar()->currentMessage().isEmpty());
    }

    // A point edited on the log chart's "Tab" curve reaches the unit, and
    // undo takes it back there too.
    void logChartEditReachesTheUnit()
    {
        Rig rig;
        QVERIFY(rig.ok);
        Log &log = *rig.form->log();
        for (int i = 0; i < 500; ++i) {
            TLogRecord r{};
            r[ColMaf] = 200;
            r[ColConverter] = 90;
            QVERIFY(log.addRecord(r));
        }
        QVERIFY(log.saveToFile(QStringLiteral("edit.log")));
        QVERIFY(log.loadFromFile(QStringLiteral("edit.log")));
        rig.form->advancedPages->action()->setChecked(true);
        rig.form->MainPageControl->setCurrentWidget(rig.form->LogTabSheet);
        ChartLog &chart = *rig.form->logPage->chart();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        rig.unit.clearLog();
        const QByteArray before = rig.shown();
        const QPoint at(chart.axisRect()->center().x(), qRound(chart.valuePixel(150)));
        QTest::mousePress(&chart, Qt::LeftButton, Qt::AltModifier, at);
        QTest::mouseRelease(&chart, Qt::LeftButton, Qt::AltModifier, at);
        QCOMPARE(rig.table().slot(200), 150);
        QCOMPARE(changedSlots(before, rig.shown()), std::set<int>{200});
        QVERIFY(rig.writes(1));
        QCOMPARE(rig.ram(), rig.shown());
        rig.form->MainPageControl->setCurrentWidget(rig.form->DashboardTabSheet);
        rig.key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(rig.writes(2));
        QCOMPARE(rig.ram(), before);
    }

    // The dashboard drag edits the series chosen on the table chart.
    void dashboardDragEditsTheChosenSeries()
    {
        Rig rig;
        QVERIFY(rig.ok);
        rig.form->tablePage->graph()->selectSeries(ChartTableGraph::Trained);
        const QByteArray before = rig.shown();
        const QPoint from = rig.onCurve(rig.chart(), 100);
        rig.drag(rig.chart(), from, from - QPoint(0, 40));
        // "Trained" learns or un-learns; the conversion point stays.
        QCOMPARE(rig.table().slot(100), 100);
        rig.form->tablePage->graph()->selectSeries(ChartTableGraph::Tab1);
        rig.drag(rig.chart(), from, from - QPoint(0, 40));
        QVERIFY(rig.table().slot(100) > 100);
        QVERIFY(rig.shown() != before);
    }
};

QTEST_MAIN(TestWindowEdits)
#include "tst_window_edits.moc"
