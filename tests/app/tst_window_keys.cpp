// The window's keys, sent as the keyboard sends them (to the control that has
// the focus): which command runs, and whether the control still sees the key.
#include <QtTest>

#include <algorithm>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include "app/Unit1.h"
#include "throttle/CorrectionWindow.h"
#include "ui/ChartLog.h"
#include "ui/ChartTableGraph.h"
#include "ui/LogPage.h"
#include "ui/TablePage.h"
#include "ui/TableCommands.h"
#include "app/WindowTestHelpers.h"
#include "sim/Emulator.h"
#include "link/MessageSink.h"
#include "log/Log_iat_ect_corr.h"
#include "table/Table_iat_ect_corr.h"

namespace {
// A control of the window that counts the key presses reaching it.
class KeyProbe : public QWidget {
public:
    explicit KeyProbe(QWidget *parent) : QWidget(parent) { setFocusPolicy(Qt::StrongFocus); }
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        // QTest presses the modifiers as keys of their own; they are not counted.
        const int k = event->key();
        if (k != Qt::Key_Control && k != Qt::Key_Shift && k != Qt::Key_Alt)
            ++presses;
        event->accept();
    }
};
const QString kPortMessage = QString::fromUtf8("Please choose right COM port\n\n Пожалуйста выберите правильный COM порт");
} // namespace

class TestWindowKeys : public QObject {
    Q_OBJECT
    QTemporaryDir workDir_;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(workDir_.path())); }
    void init() { startAfresh(); }

    void keys_data()
    {
        QTest::addColumn<bool>("dashboard"); // the page in front
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("consumed");
        QTest::addColumn<QString>("effect");
        const int none = Qt::NoModifier;
        QTest::newRow("2 shows the dashboard") << false << int(Qt::Key_2) << none << true << "dashboard";
        QTest::newRow("3 shows the settings") << true << int(Qt::Key_3) << none << true << "settings";
        QTest::newRow("4 does nothing") << false << int(Qt::Key_4) << none << true << "main";
        QTest::newRow("0 does nothing") << false << int(Qt::Key_0) << none << true << "main";
        QTest::newRow("Left off the dashboard is consumed") << false << int(Qt::Key_Left) << none << true << "window 0";
        QTest::newRow("Up off the dashboard passes on") << false << int(Qt::Key_Up) << none << false << "correction 0";
        QTest::newRow("Up on the dashboard") << true << int(Qt::Key_Up) << none << true << "correction 1";
        QTest::newRow("Right on the dashboard") << true << int(Qt::Key_Right) << none << true << "window 1";
        QTest::newRow("S runs Start") << false << int(Qt::Key_S) << none << true << "port message";
        QTest::newRow("F9 on the dashboard") << true << int(Qt::Key_F9) << none << true << "descending";
        QTest::newRow("F9 elsewhere does nothing") << false << int(Qt::Key_F9) << none << false << "ascending";
        QTest::newRow("F8 on the dashboard") << true << int(Qt::Key_F8) << none << true << "manual borders";
        QTest::newRow("A with automatic borders") << true << int(Qt::Key_A) << none << true << "autotuning";
        QTest::newRow("Delete") << true << int(Qt::Key_Delete) << none << true << "cleared";
        QTest::newRow("O") << true << int(Qt::Key_O) << none << true << "cleared";
        QTest::newRow("an unlisted key passes on") << true << int(Qt::Key_K) << none << false << "";
    }
    void keys()
    {
        QFETCH(bool, dashboard);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, consumed);
        QFETCH(QString, effect);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        QWidget *page = dashboard ? form.DashboardTabSheet : form.MainTabSheet;
        auto *probe = new KeyProbe(page);
        form.MainPageControl->setCurrentWidget(page);
        QCOMPARE(focusOn(probe), probe);
        Table &table = *form.mainTable();
        if (effect == "cleared") {
            // Min 10, Kick 128, Max 250, a learned point 50 inside the window 40..60.
            table.setSlot(tbl::kSlotMax, 250);
            table.setSlot(tbl::kSlotMin, 10);
            table.setSlot(tbl::kSlotKick, 128);
            for (int i = 0; i < 256; ++i)
                table.setSlot(i, i);
            table.learnedValues()[50] = 50;
            form.correctionWindow()->moveEnd(60);
            form.correctionWindow()->moveStart(40);
            QCOMPARE(table.nextLearnedPoint(40, true), 50);
        }
        // What the press does, seen before the release (which may apply it).
        pressKey(key, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(probe->presses, consumed ? 0 : 1);
        page = form.MainPageControl->currentWidget();
        if (effect == "dashboard")
            QCOMPARE(page, form.DashboardTabSheet);
        else if (effect == "settings")
            QCOMPARE(page, form.SetupTabSheet);
        else if (effect == "main")
            QCOMPARE(page, form.MainTabSheet);
        else if (effect.startsWith("window "))
            QCOMPARE(form.TrackBarMafNach->value(), effect.mid(7).toInt());
        else if (effect.startsWith("correction "))
            QCOMPARE(form.UpDownCorrection->value(), effect.mid(11).toInt());
        else if (effect == "port message")
            QCOMPARE(sink.messages, QStringList{kPortMessage});
        else if (effect == "descending" || effect == "ascending")
            QCOMPARE(form.mainTable()->descending(), effect == "descending");
        else if (effect == "manual borders")
            QVERIFY(form.SpeedButtonManualBorders->isChecked());
        else if (effect == "autotuning")
            QVERIFY(form.SpeedButtonAutocorr->isChecked() && form.log()->settings().autocorrection);
        else if (effect == "cleared")
            QCOMPARE(table.learnedValues()[50], 0);
        if (effect != "port message")
            QVERIFY(sink.messages.isEmpty());
        releaseKey(key, Qt::KeyboardModifiers(modifiers));
    }

    // Ctrl+O and Ctrl+S ask for a table file from any page, with the table
    // filters and, for a save, the date-time name; a cancelled dialog changes nothing.
    void tableFileKeys_data()
    {
        QTest::addColumn<bool>("dashboard");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("filter");
        QTest::newRow("Ctrl+O on the main page") << false << int(Qt::Key_O) << false << "Tab files (*.tab)";
        QTest::newRow("Ctrl+O on the dashboard") << true << int(Qt::Key_O) << false << "Tab files (*.tab)";
        QTest::newRow("Ctrl+S on the main page") << false << int(Qt::Key_S) << true << "Tab Files (*.tab)";
        QTest::newRow("Ctrl+S on the dashboard") << true << int(Qt::Key_S) << true << "Tab Files (*.tab)";
    }
    void tableFileKeys()
    {
        QFETCH(bool, dashboard);
        QFETCH(int, key);
        QFETCH(bool, save);
        QFETCH(QString, filter);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        FakeDialogs dialogs;
        form.tableCommands->setDialogs(&dialogs);
        QWidget *page = dashboard ? form.DashboardTabSheet : form.MainTabSheet;
        auto *probe = new KeyProbe(page);
        form.MainPageControl->setCurrentWidget(page);
        focusOn(probe);
        const QByteArray image = form.mainTable()->imageBytes(1);
        clickKey(key, Qt::ControlModifier);
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(probe->presses, 0);
        QCOMPARE(dialogs.asked[0].save, save);
        QCOMPARE(dialogs.asked[0].request.filter, filter);
        QCOMPARE(dialogs.asked[0].request.defaultSuffix, QStringLiteral("tab"));
        if (save)
            QVERIFY(QRegularExpression(QStringLiteral("^D[0-9][^:./ ]+$"))
                        .match(dialogs.asked[0].request.proposedName)
                        .hasMatch());
        // Neither the window clearing (O) nor live data (S) ran.
        QCOMPARE(form.mainTable()->imageBytes(1), image);
        QVERIFY(form.ActionStart->isEnabled());
        QVERIFY(sink.messages.isEmpty());
        QVERIFY(!QFileInfo::exists(QStringLiteral(".tab")));
    }

    // Changing the page lets go of every latched modifier button of the charts.
    void pageChangeReleasesModifiers()
    {
        TForm1 form;
        const QList<QToolButton *> latched{form.tablePage->graph()->shiftButton(), form.tablePage->graph()->ctrlButton(),
                                           form.tablePage->compare()->shiftButton(),
                                           form.logPage->chart()->shiftButton()};
        for (QToolButton *b : latched)
            b->setChecked(true);
        form.MainPageControl->setCurrentWidget(form.DashboardTabSheet);
        for (QToolButton *b : latched)
            QVERIFY2(!b->isChecked(), qPrintable(b->objectName()));
    }

    // A release acts only when the window took the press: Down scrolling a
    // control off the dashboard changes nothing; Up pressed on the dashboard
    // applies when it comes up, whichever page is in front by then.
    void releaseActsOnlyAfterTheWindowsPress()
    {
        TForm1 form;
        auto *list = new KeyProbe(form.MainTabSheet);
        form.MainPageControl->setCurrentWidget(form.MainTabSheet);
        form.UpDownCorrection->setValue(20);
        const QByteArray before = form.mainTable()->imageBytes(1);
        focusOn(list);
        clickKey(Qt::Key_Down);
        QCOMPARE(list->presses, 1);
        QCOMPARE(form.mainTable()->imageBytes(1), before);
        QCOMPARE(form.UpDownCorrection->value(), 20);

        auto *probe = new KeyProbe(form.DashboardTabSheet);
        form.MainPageControl->setCurrentWidget(form.DashboardTabSheet);
        focusOn(probe);
        pressKey(Qt::Key_Up);
        QCOMPARE(form.UpDownCorrection->value(), 21);
        QCOMPARE(form.mainTable()->imageBytes(1), before);
        form.MainPageControl->setCurrentWidget(form.SetupTabSheet);
        releaseKey(Qt::Key_Up);
        QVERIFY(form.mainTable()->imageBytes(1) != before);
        QCOMPARE(form.UpDownCorrection->value(), 0);
    }

    // S starts live data with the demo unit, and S again stops it.
    void sStartsAndStops()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        form.choosePort(QString::fromLatin1(TForm1::kDemoUnitEntry));
        sim::Emulator *unit = form.demoUnit();
        QVERIFY(unit && unit->waitForEvent("read", 5000));
        auto *probe = new KeyProbe(form.MainTabSheet);
        focusOn(probe);
        clickKey(Qt::Key_S);
        QVERIFY(form.ActionStop->isEnabled());
        QVERIFY(!form.ActionStart->isEnabled());
        clickKey(Qt::Key_S);
        QTRY_VERIFY_WITH_TIMEOUT(form.ActionStart->isEnabled(), 5000);
        QVERIFY(!form.ActionStop->isEnabled());
        QCOMPARE(probe->presses, 0);
        QVERIFY(sink.messages.isEmpty());
    }

    // S held down starts live data once, whether the platform marks its
    // repeats or sends them as plain press and release pairs.
    void heldSStartsOnce_data()
    {
        QTest::addColumn<bool>("flagged");
        QTest::newRow("repeats flagged") << true;
        QTest::newRow("repeats unflagged") << false;
    }
    void heldSStartsOnce()
    {
        QFETCH(bool, flagged);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        form.choosePort(QString::fromLatin1(TForm1::kDemoUnitEntry));
        sim::Emulator *unit = form.demoUnit();
        QVERIFY(unit && unit->waitForEvent("read", 5000));
        unit->clearLog();
        auto *probe = new KeyProbe(form.MainTabSheet);
        QWidget *focus = focusOn(probe);
        QCOMPARE(QApplication::focusWidget(), focus);
        if (flagged)
            holdKeyWithRepeatFlag(Qt::Key_S, 12);
        else
            holdKeyWithoutRepeatFlag(Qt::Key_S, 12);
        QVERIFY(waitForKeysUp());
        QVERIFY(unit->waitForEvent("stream-start", 5000));
        QTRY_VERIFY_WITH_TIMEOUT(form.log()->count() > 5, 5000);
        QVERIFY(form.ActionStop->isEnabled());
        const auto events = unit->events();
        QCOMPARE(std::count(events.begin(), events.end(), std::string("stream-start")), 1);
        QCOMPARE(std::count(events.begin(), events.end(), std::string("stream-stop")), 0);
        QCOMPARE(probe->presses, 0);
        clickKey(Qt::Key_S);
        QTRY_VERIFY_WITH_TIMEOUT(form.ActionStart->isEnabled(), 5000);
    }

    // After a port is chosen with Enter in the chooser, the keys reach the
    // page: S starts and stops live data instead of typing into the port's
    // name, and Down switches to no other port, not even in the closed chooser.
    void keysReachThePageAfterChoosingAPort()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QString demo = QString::fromLatin1(TForm1::kDemoUnitEntry);
        focusOn(form.ComComboBox1);
        form.ComComboBox1->addItem(QStringLiteral("/dev/ttyUSB-no-such")); // another entry below it
        form.ComComboBox1->lineEdit()->setText(demo);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(form.demoUnit() && form.ActionReadCoverter->isEnabled(), 10000);
        sim::Emulator *unit = form.demoUnit();
        QWidget *focus = QApplication::focusWidget();
        QVERIFY2(focus && (focus == form.MainPageControl || form.MainPageControl->isAncestorOf(focus)),
                 focus ? focus->metaObject()->className() : "no focus");
        clickKey(Qt::Key_S);
        QVERIFY(form.ActionStop->isEnabled());
        QVERIFY(unit->waitForEvent("stream-start", 5000));
        clickKey(Qt::Key_S);
        QTRY_VERIFY_WITH_TIMEOUT(form.ActionStart->isEnabled(), 5000);
        clickKey(Qt::Key_Down);
        focusOn(form.ComComboBox1);
        clickKey(Qt::Key_Down);
        QTest::qWait(50);
        QCOMPARE(form.ComComboBox1->currentText(), demo);
        QCOMPARE(form.demoUnit(), unit);
        const auto events = unit->events();
        QCOMPARE(std::count(events.begin(), events.end(), std::string("identify")), 1);
        QVERIFY(form.channel()->isConnected());
        QVERIFY2(sink.messages.isEmpty(), qPrintable(sink.messages.join('|')));
    }

    // After "1" the keys are on the page, not in the sensor-type list; Up and
    // Down, even held or in the closed list itself, apply no preset.
    void digitThenArrowsApplyNoPreset()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator unit;
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(chooseAndIdentify(form, QString::fromStdString(unit.start()), unit));
        auto *presets = form.findChild<QComboBox *>(QStringLiteral("ComboBoxKmaSensorType"));
        QVERIFY(presets);
        presets->setCurrentIndex(0); // the first preset, so that Down has one to go to
        QTest::qWait(300); // its write, if it changed anything, is out
        const int preset = presets->currentIndex();
        const QByteArray before = form.mainTable()->imageBytes(1);
        unit.clearLog();
        focusOn(form.MainPageControl);
        clickKey(Qt::Key_1);
        QCOMPARE(form.MainPageControl->currentWidget(), form.MainTabSheet);
        QVERIFY(QApplication::focusWidget() != presets);
        clickKey(Qt::Key_Down);
        holdKeyWithoutRepeatFlag(Qt::Key_Up, 8);
        QVERIFY(waitForKeysUp());
        focusOn(presets);
        clickKey(Qt::Key_Down);
        QCOMPARE(presets->currentIndex(), preset);
        holdKeyWithoutRepeatFlag(Qt::Key_Down, 4);
        QVERIFY(waitForKeysUp());
        QTest::qWait(100);
        QCOMPARE(presets->currentIndex(), preset);
        QCOMPARE(form.mainTable()->imageBytes(1).toHex(), before.toHex());
        const auto events = unit.events();
        QCOMPARE(std::count(events.begin(), events.end(), std::string("quick-write")), 0);
    }

    // A switches autotuning on and off with either kind of borders; F8, up or
    // down, releases it.
    void autotuningKey()
    {
        TForm1 form;
        form.show();
        form.MainPageControl->setCurrentWidget(form.DashboardTabSheet);
        focusOn(form.MainPageControl);
        // The button and the log agree, on or off.
        auto autotuning = [&form] {
            return form.SpeedButtonAutocorr->isChecked() && form.log()->settings().autocorrection;
        };
        auto released = [&form] {
            return !form.SpeedButtonAutocorr->isChecked() && !form.log()->settings().autocorrection;
        };
        clickKey(Qt::Key_A);
        QVERIFY(autotuning());
        clickKey(Qt::Key_F8);
        QVERIFY(form.SpeedButtonManualBorders->isChecked());
        QVERIFY(released());
        clickKey(Qt::Key_A);
        QVERIFY(autotuning());
        clickKey(Qt::Key_F8);
        QVERIFY(!form.SpeedButtonManualBorders->isChecked());
        QVERIFY(released());
        clickKey(Qt::Key_A);
        QVERIFY(autotuning());
        clickKey(Qt::Key_A);
        QVERIFY(released());
    }

    // A path typed into the port chooser keeps every letter and digit, and
    // Ctrl+A there selects the text instead of switching autotuning on.
    void typingStaysInTextFields_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("USB adapter") << "/dev/ttyUSB0";
        QTest::newRow("pseudo-terminal") << "/dev/pts/12";
        QTest::newRow("letters the window uses") << "/dev/SAO9";
    }
    void typingStaysInTextFields()
    {
        QFETCH(QString, path);
        TForm1 form;
        form.ComComboBox1->setCurrentIndex(-1);
        form.ComComboBox1->clearEditText();
        focusOn(form.ComComboBox1);
        QTest::keyClicks(QApplication::focusWidget(), path);
        QCOMPARE(form.ComComboBox1->currentText(), path);
        QCOMPARE(form.MainPageControl->currentWidget(), form.MainTabSheet);
        QVERIFY(form.ActionStart->isEnabled()); // S did not start anything
        form.SpeedButtonManualBorders->click();
        clickKey(Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(form.ComComboBox1->lineEdit()->selectedText(), path);
        QVERIFY(!form.SpeedButtonAutocorr->isChecked());
    }

    // One press of F8 or F9 toggles once, however deep the focused control sits.
    void functionKeysToggleOnce()
    {
        TForm1 form;
        form.MainPageControl->setCurrentWidget(form.DashboardTabSheet);
        focusOn(form.UpDownCorrection);
        clickKey(Qt::Key_F8);
        QVERIFY(form.SpeedButtonManualBorders->isChecked());
        clickKey(Qt::Key_F8);
        QVERIFY(!form.SpeedButtonManualBorders->isChecked());
        clickKey(Qt::Key_F9);
        QVERIFY(form.mainTable()->descending());
        QVERIFY(form.SpeedButtonToyota->isChecked());
    }
};

QTEST_MAIN(TestWindowKeys)
#include "tst_window_keys.moc"
