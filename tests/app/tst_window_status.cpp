// What the window says, and where: the status line keeps its place and tells
// the truth about the last event, a failed Start or connection leaves a
// window that can try again, and a refused firmware file shows no progress.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include "app/Language.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "app/WindowTestHelpers.h"
#include "link/MessageSink.h"
#include "log/Log_iat_ect_corr.h"
#include "sim/Emulator.h"
#include "ui/TableCommands.h"

namespace {
const QString kTryAgain = QString::fromUtf8("Try again!\nПопробуйте еще раз!");
const QString kPortDoesNotOpen = QString::fromUtf8("COM port doesn't open or used by other application \n"
                                                   "COM порт не выбран или используется  другим приложением");

QString status(TForm1 &form)
{
    return form.statusBar()->currentMessage();
}

// Every text the port bar's link state takes, in order (each change restyles it).
struct LinkStates : QObject {
    explicit LinkStates(QLabel *label) : label_(label) { label->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::StyleChange && (seen.isEmpty() || seen.last() != label_->text()))
            seen << label_->text();
        return false;
    }
    QString now() const { return label_->text(); }
    QLabel *label_;
    QStringList seen;
};
} // namespace

class TestWindowStatus : public QObject {
    Q_OBJECT
private slots:
    void init() { startAfresh(); }

    // The pages do not move when a message appears, and a save says so.
    void statusLineKeepsItsPlace()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        QTemporaryDir dir;
        FakeDialogs dialogs;
        dialogs.answer = dir.filePath(QStringLiteral("mine.tab"));
        TForm1 form;
        form.tableCommands->setDialogs(&dialogs);
        form.resize(1366, 740);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(status(form).isEmpty());
        const QRect pages = form.MainPageControl->geometry();
        form.tableCommands->TabFileSave->trigger();
        QVERIFY(QFile::exists(dialogs.answer));
        QCOMPARE(status(form), QStringLiteral("Table saved: mine.tab"));
        QApplication::processEvents();
        QCOMPARE(form.MainPageControl->geometry(), pages);
        form.tableCommands->setDialogs(nullptr);
        QVERIFY(sink.messages.isEmpty());
    }

    // A full write that verified says so; a stream's end is told until the
    // next Start.
    void writesAndStreamEndsAreTold()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Config config;
        config.silenceAfterFrames = 150;
        sim::Emulator unit(config);
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        TForm2 progress(&form);
        form.setProgressWindow(&progress);
        QVERIFY(chooseAndIdentify(form, path, unit));
        form.ActionWriteConverter->trigger();
        QCOMPARE(status(form), QStringLiteral("The table is stored in the unit and verified"));
        form.ActionStart->trigger();
        QVERIFY(status(form).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(form.ActionStart->isEnabled(), 10000);
        QCOMPARE(status(form), QStringLiteral("Live data stopped: the unit sent nothing for 1 s"));
        unit.setConfig({});
        form.ActionStart->trigger();
        QVERIFY(status(form).isEmpty()); // the old reason is gone with the new stream
        QTRY_VERIFY_WITH_TIMEOUT(form.log()->count() > 10, 5000);
        form.ActionStop->trigger();
        QVERIFY(status(form).isEmpty());
        QVERIFY(sink.messages.isEmpty());
    }

    // A port that does not open: "Try again!", nothing of the unit seen
    // before stays, Reconnect can try again, and Start comes back stopped.
    void failedConnectionAndStart()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator unit;
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        QVERIFY(chooseAndIdentify(form, path, unit));
        QCOMPARE(form.LabelFirmware->text(), QStringLiteral("FW_Version:2.3"));
        QVERIFY(form.SpeedButtonReconnect->isEnabled());

        form.choosePort(QStringLiteral("/dev/no-such-port"));
        QCOMPARE(sink.messages.size(), 1);
        QVERIFY2(sink.messages[0].startsWith(kTryAgain + "\n\n/dev/no-such-port is gone"), qPrintable(sink.messages[0]));
        QCOMPARE(form.LabelFirmware->text(), QStringLiteral("FW_Version:"));
        QVERIFY(form.LabelHwVersion->text().isEmpty());
        QVERIFY(form.LabelFOsc->text().isEmpty());
        QVERIFY(!form.ActionReadCoverter->isEnabled());
        QVERIFY(!form.ActionWriteConverter->isEnabled());
        QVERIFY(form.SpeedButtonReconnect->isEnabled());

        sink.messages.clear();
        form.ActionStart->trigger();
        QCOMPARE(sink.messages, QStringList{kPortDoesNotOpen});
        QTRY_VERIFY(form.ActionStart->isEnabled());
        QVERIFY(!form.ActionStop->isEnabled());
        QVERIFY(!form.log()->recording());
        QCOMPARE(status(form), QStringLiteral("Live data stopped: the port did not open"));

        // Reconnect to the unit's port once it is chosen again works as a first choice.
        sink.messages.clear();
        form.choosePort(path);
        QVERIFY(unit.waitForEvent("read", 5000));
        unit.clearLog();
        form.SpeedButtonReconnect->click();
        QVERIFY(unit.waitForEvent("identify", 5000));
        QCOMPARE(form.LabelFirmware->text(), QStringLiteral("FW_Version:2.3"));
        QVERIFY(sink.messages.isEmpty());
    }

    // The port bar always says where the link stands: no unit, connecting,
    // connected (with the unit's versions), busy writing, live data, port
    // lost; in the window's language. Read and Write cannot act on a lost port.
    void linkStateIsAlwaysInView()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator unit;
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        TForm2 progress(&form);
        form.setProgressWindow(&progress);
        auto *label = form.findChild<QLabel *>(QStringLiteral("LabelConnectionState"));
        QVERIFY(label);
        LinkStates states(label);
        QCOMPARE(states.now(), QStringLiteral("no unit"));
        QVERIFY(chooseAndIdentify(form, path, unit));
        const QString connected = QStringLiteral("connected: fw 2.3 hw 3");
        QCOMPARE(states.now(), connected);
        QVERIFY2(states.seen.contains(QStringLiteral("connecting…")), qPrintable(states.seen.join(" | ")));
        states.seen.clear();
        form.ActionWriteConverter->trigger();
        QCOMPARE(states.seen, (QStringList{QStringLiteral("busy: writing…"), connected}));

        form.ComboBoxLanguage->setCurrentIndex(lang::kRussian);
        QCOMPARE(states.now(), QString::fromUtf8("подключено: ПО 2.3 плата 3"));
        form.ComboBoxLanguage->setCurrentIndex(lang::kEnglish);

        form.ActionStart->trigger();
        QTRY_COMPARE(states.now(), QStringLiteral("live data"));
        form.ActionStop->trigger();
        QTRY_COMPARE(states.now(), connected);

        // The unit goes away in the middle of a stream.
        sim::Config hangUp;
        hangUp.hangupAfterFrames = 40;
        unit.setConfig(hangUp);
        form.ActionStart->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(states.now(), QStringLiteral("port lost"), 10000);
        QVERIFY(!form.ActionReadCoverter->isEnabled());
        QVERIFY(!form.ActionWriteConverter->isEnabled());
        QCOMPARE(sink.messages.size(), 1);

        // A port that does not open leaves no unit.
        form.choosePort(QStringLiteral("/dev/no-such-port"));
        QCOMPARE(states.now(), QStringLiteral("no unit"));
    }

    // The last event stays told on every page, and a menu item without a tip
    // passed by the pointer does not wipe it.
    void statusStaysUntilTheNextEvent()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        QTemporaryDir dir;
        FakeDialogs dialogs;
        dialogs.answer = dir.filePath(QStringLiteral("kept.tab"));
        TForm1 form;
        form.tableCommands->setDialogs(&dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.tableCommands->TabFileSave->trigger();
        const QString saved = QStringLiteral("Table saved: kept.tab");
        QCOMPARE(status(form), saved);
        for (QWidget *page : {form.DashboardTabSheet, form.SetupTabSheet, form.MainTabSheet}) {
            form.MainPageControl->setCurrentWidget(page);
            QStatusTipEvent noTip{QString()};
            QCoreApplication::sendEvent(&form, &noTip);
            QCOMPARE(status(form), saved);
        }
        QStatusTipEvent tip(QStringLiteral("a menu item's own tip"));
        QCoreApplication::sendEvent(&form, &tip);
        QCOMPARE(status(form), QStringLiteral("a menu item's own tip"));
        QStatusTipEvent noTip{QString()};
        QCoreApplication::sendEvent(&form, &noTip);
        QCOMPARE(status(form), saved);
        form.tableCommands->setDialogs(nullptr);
    }

    // A refused firmware file leaves the bar empty, not at the last update's 100 %.
    void refusedFirmwareFileShowsNoProgress()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("broken.enc"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not hex at all\n");
        f.close();
        sim::Emulator unit;
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        QVERIFY(chooseAndIdentify(form, path, unit));
        form.ProgressBar1->setValue(100);
        QVERIFY(!form.updateFirmwareFrom(file));
        QCOMPARE(form.ProgressBar1->value(), 0);
        QCOMPARE(sink.messages.size(), 1);
        QVERIFY(sink.messages.first().startsWith(QStringLiteral("Firmware file is damaged")));
    }
};

QTEST_MAIN(TestWindowStatus)
#include "tst_window_status.moc"
