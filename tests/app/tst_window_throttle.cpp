// The throttle panel in the window against the emulated unit: presets and
// switch inversion, what keys and the correction panel change in each edit
// mode and when the unit gets it, the highlight of each mode, and the two
// calibrations.
#include <QtTest>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstring>

#include "app/Theme.h"
#include "app/Unit1.h"
#include "app/WindowTestHelpers.h"
#include "link/MessageSink.h"
#include "link/TableTransfer.h"
#include "log/Log_iat_ect_corr.h"
#include "sim/Emulator.h"
#include "ui/ThrottlePanel.h"
#include "ui/Unit3.h"

namespace {

// The unit's image: output = input, Min 10, Kick 128, Max 250, switch
// points 30 and 220, auxiliary pair (20, 100) and (180, 200), Ref 12 V.
sim::Image unitImage()
{
    sim::Image image = sim::defaultImage();
    for (int i = 0; i < 256; ++i)
        image[size_t(i)] = std::uint8_t(i);
    const std::pair<int, int> settings[] = {{264, 30}, {265, 30}, {267, 220}, {268, 220}, {270, 250}, {271, 10},
                                            {272, 128}, {273, 20},  {274, 100}, {275, 180}, {276, 200}};
    for (const auto &[slot, value] : settings)
        image[size_t(slot)] = std::uint8_t(value);
    const float ref = 12.0f;
    std::memcpy(&image[277], &ref, 4);
    return image;
}

int quickWrites(const sim::Emulator &unit)
{
    int n = 0;
    for (const std::string &e : unit.events())
        n += e == "quick-write";
    return n;
}

float ramRef(const sim::Emulator &unit)
{
    const sim::Image ram = unit.ram();
    float v;
    std::memcpy(&v, &ram[277], 4);
    return v;
}

struct Rig {
    Rig() : unit([] {
        sim::Config c;
        return c;
    }())
    {
        unit.setRam(unitImage());
        scoped = std::make_unique<ScopedMessageSink>(&sink);
        form = std::make_unique<TForm1>();
        ok = chooseAndIdentify(*form, QString::fromStdString(unit.start()), unit);
        form->MainPageControl->setCurrentWidget(form->DashboardTabSheet);
        unit.clearLog();
    }
    // Keys as the keyboard sends them, with the page control focused (the
    // track bars never take the focus).
    void key(int k, int times = 1)
    {
        focusOn(form->MainPageControl);
        for (int i = 0; i < times; ++i)
            clickKey(k);
    }
    // Waits until the unit has taken n quick writes since the last clearLog.
    bool writes(int n) { return QTest::qWaitFor([&] { return quickWrites(unit) >= n; }, 5000); }
    RecordingSink sink;
    std::unique_ptr<ScopedMessageSink> scoped;
    sim::Emulator unit;
    std::unique_ptr<TForm1> form;
    bool ok = false;
};

} // namespace

class TestWindowThrottle : public QObject {
    Q_OBJECT
    QTemporaryDir workDir_;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(workDir_.path())); }
    void init() { startAfresh(); }

    // "Nissan" inverts both switches and sends the image once (one edit);
    // "Korvel" calibrates at the minimum angle of 90 degrees and sends nothing.
    void presetsAndSwitchInversion()
    {
        Rig rig;
        QVERIFY(rig.ok);
        rig.form->ComboBoxKmaSensorType->setCurrentIndex(4);
        QVERIFY(rig.writes(1));
        QVERIFY(rig.form->CheckBoxIdleSwitch->isChecked());
        QVERIFY(rig.form->CheckBoxFullSwitch->isChecked());
        QCOMPARE(int(rig.unit.ram()[266]), 128);
        QCOMPARE(int(rig.unit.ram()[269]), 128);
        rig.form->ComboBoxKmaSensorType->setCurrentIndex(5);
        QVERIFY(rig.writes(2)); // both boxes come off again, in one image
        QCOMPARE(rig.form->ComboBoxKmaCalAtMinOrMaxAngle->currentIndex(), 0);
        QCOMPARE(rig.form->ComboBoxKmaAngleDegrees->currentText(), QString::fromUtf8("90°"));
        // A click on a box writes its slot and sends the image.
        rig.form->CheckBoxFullSwitch->click();
        QVERIFY(rig.writes(3));
        QCOMPARE(int(rig.unit.ram()[269]), 128);
        QCOMPARE(int(rig.unit.ram()[266]), 0);
        QVERIFY(rig.sink.messages.isEmpty());
    }

    // Choosing a mode: the menu caption, manual borders, the window at the
    // mode's point; then what the arrow keys change and when the unit gets it.
    void modesAndKeys_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("windowAt"); // where choosing the mode puts the window
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("times");
        QTest::addColumn<int>("slot");     // the slot that changes (277: Ref as a float)
        QTest::addColumn<double>("value"); // its value after the keys
        QTest::addColumn<int>("sends");    // quick writes for the keys
        QTest::newRow("idle switch, Right twice") << int(EditIdleSw) << 30 << int(Qt::Key_Right) << 2 << 264 << 32.0 << 2;
        QTest::newRow("full switch, Left") << int(EditFullSw) << 220 << int(Qt::Key_Left) << 1 << 267 << 219.0 << 1;
        QTest::newRow("aux max, Right") << int(EditAuxMax) << 180 << int(Qt::Key_Right) << 1 << 275 << 181.0 << 1;
        QTest::newRow("aux min, Up once") << int(EditAuxMin) << 20 << int(Qt::Key_Up) << 1 << 274 << 101.0 << 1;
        QTest::newRow("aux max, Down three times") << int(EditAuxMax) << 180 << int(Qt::Key_Down) << 3 << 276 << 197.0 << 3;
        QTest::newRow("max, Left then Up applies") << int(EditMax) << 250 << int(Qt::Key_Left) << 4 << 270 << 250.0 << 0;
        QTest::newRow("smoothing, Left from 100") << int(EditSmoothing) << -1 << int(Qt::Key_Left) << 2 << 260 << 102.0 << 2;
        // The fourth press finds Ref at its 15 V end: nothing changes, nothing is sent.
        QTest::newRow("Ref, Right four times from 12 V") << int(EditRefVoltage) << -1 << int(Qt::Key_Right) << 4 << 277 << 15.0 << 3;
        QTest::newRow("Ref, Down") << int(EditRefVoltage) << -1 << int(Qt::Key_Down) << 1 << 277 << 11.99 << 1;
    }
    void modesAndKeys()
    {
        QFETCH(int, mode);
        QFETCH(int, windowAt);
        QFETCH(int, key);
        QFETCH(int, times);
        QFETCH(int, slot);
        QFETCH(double, value);
        QFETCH(int, sends);
        Rig rig;
        QVERIFY(rig.ok);
        rig.form->throttlePanel->modeAction(mode)->trigger();
        QCOMPARE(rig.form->ActionEdit->text(), kma::editCaption(mode));
        QCOMPARE(rig.form->SpeedButtonManualBorders->isChecked(), kma::modeNeedsManualBorders(mode));
        if (windowAt >= 0) {
            QCOMPARE(rig.form->TrackBarMafNach->value(), windowAt);
            QCOMPARE(rig.form->TrackBarMafKon->value(), windowAt);
        }
        rig.unit.clearLog();
        rig.key(key, times);
        if (sends > 0)
            QVERIFY(rig.writes(sends));
        QTest::qWait(20);
        QCOMPARE(quickWrites(rig.unit), sends);
        Table &t = *rig.form->mainTable();
        if (slot == 277) {
            QCOMPARE(double(t.referenceVoltage()), double(float(value)));
            QCOMPARE(double(ramRef(rig.unit)), double(float(value)));
        } else if (slot == 260) {
            QCOMPARE(rig.form->trackBars[tbl::TrackBarMafSm]->value(), 80);
            QCOMPARE(int(rig.unit.ram()[260]), tbl::paramStored(tbl::ParamSmoothMaf, 80));
        } else {
            QCOMPARE(t.slot(slot), int(value));
            if (sends > 0)
                QCOMPARE(int(rig.unit.ram()[size_t(slot)]), int(value));
        }
        if (mode == EditIdleSw)
            QCOMPARE(t.slot(265), int(value)); // both slots of the point
        if (mode == EditMax) {
            // Up applies the window start as the new Max and sends the image.
            rig.key(Qt::Key_Up);
            QVERIFY(rig.writes(1));
            QCOMPARE(t.slot(270), 246);
            QCOMPARE(int(rig.unit.ram()[270]), 246);
        }
        QCOMPARE(rig.form->UpDownCorrection->value(), 0);
        QVERIFY2(rig.sink.messages.isEmpty(), qPrintable(rig.sink.messages.join('|')));
    }

    // Exactly the labels of the mode stand out; its value is bold, the
    // other values italic; the edit menu is captioned with the mode.
    void highlight_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("lit");  // drawn in the highlight colour
        QTest::addColumn<QString>("bold");     // the value label in bold (none in Main)
        QTest::newRow("Main") << 0 << "Main" << QStringList{"LabelMain"} << "";
        QTest::newRow("Idle SW") << 1 << "Idle SW" << QStringList{"LabelIdleSw", "LabelIdleSwValue"} << "LabelIdleSwValue";
        QTest::newRow("Full SW") << 2 << "Full SW" << QStringList{"LabelFullSw", "LabelFullSwValue"} << "LabelFullSwValue";
        QTest::newRow("Aux Min") << 3 << "Aux Min" << QStringList{"LabelAuxMin"} << "LabelAuxMin";
        QTest::newRow("Aux Max") << 4 << "Aux Max" << QStringList{"LabelAuxMax"} << "LabelAuxMax";
        QTest::newRow("Max") << 5 << "Max" << QStringList{"LabelMainMax"} << "LabelMainMax";
        QTest::newRow("Min") << 6 << "Min" << QStringList{"LabelMainMin"} << "LabelMainMin";
        QTest::newRow("Kick") << 7 << "Kick" << QStringList{"LabelKick"} << "LabelKick";
        QTest::newRow("smoothing") << 8 << "TPS signal smoothing" << QStringList{"LabelSmoothTPSSignal"}
                                   << "LabelSmoothTPSSignal";
        QTest::newRow("Ref") << 9 << "Ref" << QStringList{"LabelRefVoltage"} << "LabelRefVoltage";
    }
    void highlight()
    {
        QFETCH(int, mode);
        QFETCH(QString, caption);
        QFETCH(QStringList, lit);
        QFETCH(QString, bold);
        const QStringList panel = {"LabelMain",    "LabelAux",         "LabelMainMax",     "LabelKick",
                                   "LabelMainMin", "LabelAuxMax",      "LabelAuxMin",      "LabelIdleSw",
                                   "LabelIdleSwValue", "LabelFullSw",  "LabelFullSwValue", "LabelSmoothTPSSignal",
                                   "LabelRefVoltage"};
        const QStringList values = {"LabelMainMax",     "LabelKick",       "LabelMainMin",
                                    "LabelIdleSwValue", "LabelFullSwValue", "LabelAuxMax",
                                    "LabelAuxMin",      "LabelSmoothTPSSignal", "LabelRefVoltage"};
        TForm1 form;
        form.throttlePanel->chooseMode(mode);
        const QColor red(233, 22, 22);
        for (const QString &name : panel) {
            const QLabel *label = form.throttlePanel->label(name);
            QVERIFY2(label, qPrintable(name));
            QCOMPARE(label->palette().color(QPalette::WindowText) == red, lit.contains(name));
            if (values.contains(name)) {
                QCOMPARE(label->font().bold(), name == bold);
                QCOMPARE(label->font().italic(), name != bold);
            }
        }
        QCOMPARE(form.ActionEdit->text(), caption);
    }

    // Under the program's theme the highlight still shows: the Kick value is
    // drawn in red, Max is not.
    void highlightVisibleUnderTheTheme()
    {
        applyTheme(*qApp);
        TForm1 form;
        form.resize(1366, 740);
        form.MainPageControl->setCurrentWidget(form.DashboardTabSheet);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.throttlePanel->chooseMode(EditKick);
        auto redPixels = [](QLabel *label) {
            const QImage image = label->grab().toImage();
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    n += c.red() > 180 && c.green() < 90 && c.blue() < 90;
                }
            return n;
        };
        QVERIFY(redPixels(form.throttlePanel->label("LabelKick")) > 5);
        QCOMPARE(redPixels(form.throttlePanel->label("LabelMainMax")), 0);
        qApp->setStyleSheet(QString());
    }

    // Label gestures choose modes: a click on a caption, a double click on a value.
    void labelGestures()
    {
        TForm1 form;
        QTest::mouseDClick(form.throttlePanel->label("LabelKick"), Qt::LeftButton);
        QCOMPARE(form.throttlePanel->mode(), int(EditKick));
        QTest::mouseClick(form.throttlePanel->label("LabelIdleSw"), Qt::LeftButton);
        QCOMPARE(form.throttlePanel->mode(), int(EditIdleSw));
        QTest::mouseClick(form.throttlePanel->label("LabelMain"), Qt::LeftButton);
        QCOMPARE(form.throttlePanel->mode(), int(EditMain));
        QVERIFY(form.throttlePanel->modeAction(EditMain)->isChecked());
    }

    // A drag on the correction panel: one step per 10 px upwards, limited to
    // the bar's range; leaving the panel puts the value back. Smoothing stayed
    // at 100, so the release sends nothing.
    void correctionPanelDrag()
    {
        Rig rig;
        QVERIFY(rig.ok);
        rig.form->throttlePanel->chooseMode(EditSmoothing);
        QWidget *panel = rig.form->CorrPanel;
        const QPoint start(panel->width() / 2, panel->height() - 1);
        QTest::mousePress(panel, Qt::LeftButton, {}, start);
        QMouseEvent move(QEvent::MouseMove, QPointF(start.x(), start.y() - 10), panel->mapToGlobal(QPointF(start.x(), start.y() - 10)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(panel, &move);
        QCOMPARE(rig.form->trackBars[tbl::TrackBarMafSm]->value(), 100); // limited to the bar's range
        QMouseEvent down(QEvent::MouseMove, QPointF(start.x(), start.y() + 25), panel->mapToGlobal(QPointF(start.x(), start.y() + 25)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(panel, &down);
        QCOMPARE(rig.form->trackBars[tbl::TrackBarMafSm]->value(), 100); // outside: back to the press value
        QMouseEvent inside(QEvent::MouseMove, QPointF(start.x(), start.y() + 0), panel->mapToGlobal(QPointF(start.x(), start.y())),
                           Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(panel, &inside);
        QTest::mouseRelease(panel, Qt::LeftButton, {}, start);
        QVERIFY(rig.writes(0));
        QCOMPARE(rig.form->trackBars[tbl::TrackBarMafSm]->value(), 100);
    }

    // The border panel: in Ref mode a double click in the right half raises
    // Ref by 0.01 V and the release sends it; in the main mode a double click
    // moves the window to the next learned point that way.
    void borderPanelGestures()
    {
        Rig rig;
        QVERIFY(rig.ok);
        QWidget *panel = rig.form->MafBordersSliderPanel;
        const QPoint right(panel->width() * 3 / 4, panel->height() / 2);
        rig.form->throttlePanel->chooseMode(EditRefVoltage);
        QTest::mouseDClick(panel, Qt::LeftButton, {}, right);
        QTest::mouseRelease(panel, Qt::LeftButton, {}, right);
        QVERIFY(rig.writes(1));
        QCOMPARE(double(ramRef(rig.unit)), double(12.01f));
        QCOMPARE(rig.form->LabelRefVoltage->text(), QStringLiteral("Ref: 12.01V"));

        rig.form->throttlePanel->chooseMode(EditMain);
        Table &t = *rig.form->mainTable();
        QCOMPARE(t.nextLearnedPoint(0, true) > 0, true);
        const int next = t.nextLearnedPoint(rig.form->TrackBarMafNach->value(), true);
        QTest::mouseDClick(panel, Qt::LeftButton, {}, right);
        QCOMPARE(rig.form->TrackBarMafNach->value(), next);
        QCOMPARE(rig.form->TrackBarMafKon->value(), next);
    }

    // The calibration sends "se" and the record from the lists, and counts
    // down over the window until it closes.
    void sensorCalibration_data()
    {
        QTest::addColumn<int>("side");
        QTest::addColumn<QString>("event");
        QTest::newRow("max angle") << 1 << "calibrate 85 135 1 3 181";
        QTest::newRow("min angle") << 0 << "calibrate 85 135 1 0 51";
    }
    void sensorCalibration()
    {
        QFETCH(int, side);
        QFETCH(QString, event);
        Rig rig;
        QVERIFY(rig.ok);
        TForm1 &form = *rig.form;
        form.ComboBoxKmaAngleDegrees->setCurrentIndex(form.ComboBoxKmaAngleDegrees->findText(QString::fromUtf8("85°")));
        form.ComboBoxKmaDirection->setCurrentIndex(1);
        form.ComboBoxKmaCalAtMinOrMaxAngle->setCurrentIndex(side);
        form.calibrationSeconds = 4;
        form.calibrationTickMs = 20;
        QStringList shown;
        QTimer watch;
        watch.setInterval(2);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (auto *overlay = form.findChild<TCalibrationOverlayForm *>())
                if (shown.isEmpty() || shown.last() != overlay->LabelTimer->text())
                    shown.append(overlay->LabelTimer->text());
        });
        watch.start();
        form.ButtonCalibrateKMA->click();
        watch.stop();
        QCOMPARE(shown, (QStringList{"4", "3", "2", "1"}));
        QVERIFY(!form.findChild<TCalibrationOverlayForm *>()); // released when done
        QVERIFY(rig.unit.waitForEvent(event.toStdString(), 5000));
        QVERIFY(rig.sink.messages.isEmpty());
    }

    // The pedal calibration asks for the two pedal positions while live data
    // records; a pedal that did not move gives the full range.
    void pedalCalibration()
    {
        Rig rig;
        QVERIFY(rig.ok);
        rig.form->ButtonCalibrate->click();
        QCOMPARE(rig.sink.messages.size(), 2);
        QVERIFY(rig.sink.messages[0].startsWith("Release accelerator pedal fully"));
        QVERIFY(rig.sink.messages[1].startsWith("Depress accelerator pedal down to the floor"));
        QVERIFY(!rig.form->log()->recording());
        QCOMPARE(rig.form->LabelTpsMin->text(), QStringLiteral("Min=0"));
        QCOMPARE(rig.form->LabelTpsMax->text(), QStringLiteral("Max=255"));
        QCOMPARE(int(rig.form->tpsCalibration.tpsMax), 255);
    }
};

QTEST_MAIN(TestWindowThrottle)
#include "tst_window_throttle.moc"
