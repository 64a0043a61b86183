// The window and the unit taking turns: live data ends before anything else
// talks to the unit, every stop releases autocorrection first, nothing a timer
// or a queued call sends lands inside a long exchange, and a unit left
// streaming is still identified.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <memory>

#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "app/Unit1.h"
#include "table/Backup.h"
#include "app/WindowTestHelpers.h"
#include "app/Unit2.h"
#include "link/MessageSink.h"
#include "link/Protocol.h"
#include "link/TableTransfer.h"
#include "log/Log_iat_ect_corr.h"
#include "sim/Emulator.h"
#include "ui/ChartDashboard.h"

namespace {
QByteArray bytesOf(const sim::Image &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.data()), int(image.size()));
}


std::string receivedText(const sim::Emulator &unit)
{
    const std::vector<std::uint8_t> bytes = unit.received();
    return std::string(bytes.begin(), bytes.end());
}

// Index of the first event starting with prefix, -1 when none.
int eventIndex(const std::vector<std::string> &events, const std::string &prefix, int from = 0)
{
    for (int i = from; i < int(events.size()); ++i)
        if (events[size_t(i)].rfind(prefix, 0) == 0)
            return i;
    return -1;
}

// Starts live data with autotuning on and the MAF limit unlocked, waits for
// the first records and puts a correction of 6 on the unit.
bool startAutotuning(TForm1 &form, sim::Emulator &unit)
{
    form.SpeedButtonManualBorders->click();
    form.SpeedButtonAutocorr->click();
    form.LockLogLimitSpeedButton->click();
    form.ActionStart->trigger(); // sets the correction to 0
    if (!QTest::qWaitFor([&] { return form.log()->count() > 5; }, 10000))
        return false;
    form.UpDownCorrection->setValue(6);
    return unit.waitForEvent("correction 6", 5000) && !form.LockLogLimitSpeedButton->isChecked();
}

QString writeFile(const QTemporaryDir &dir, const char *name, const QByteArray &text)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return path;
}

} // namespace

class TestWindowLink : public QObject {
    Q_OBJECT
    QTemporaryDir workDir_;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(workDir_.path())); }
    void init() { startAfresh(); }

    // Input given while the full write runs (4.8 s at 9600 baud) is dropped,
    // not run after the verifying read: a double click on the chart, a click
    // on undo, Ctrl+Z and S change nothing and send nothing; the status line
    // says what runs meanwhile.
    void inputDuringTheFullWriteIsDropped()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Config config;
        config.paced = true;
        sim::Emulator unit(config);
        TForm1 form;
        TForm2 progress(&form);
        form.setProgressWindow(&progress);
        form.resize(1366, 740);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(chooseAndIdentify(form, QString::fromStdString(unit.start()), unit, 10000));
        form.MainPageControl->setCurrentWidget(form.DashboardTabSheet);
        {
            const TableEdit edit(*form.mainTable());
            form.mainTable()->setSlot(40, 200);
        }
        QVERIFY(unit.waitForEvent("quick-write", 5000));
        const QByteArray written = form.mainTable()->imageBytes(1);
        unit.clearLog();
        QString statusMeanwhile;
        bool tried = false;
        QTimer::singleShot(800, &form, [&] {
            tried = true;
            statusMeanwhile = form.statusBar()->currentMessage();
            ChartDashboard *chart = form.dashboardChart;
            const QPoint onCurve(qRound(chart->inputPixel(100)), qRound(chart->valuePixel(100)) - 20);
            QTest::mouseDClick(chart, Qt::LeftButton, {}, onCurve);
            QTest::mouseClick(form.findChild<QToolButton *>("SpeedButtonUndo1"), Qt::LeftButton);
            QWidget *focus = focusOn(form.MainPageControl);
            QTest::keyClick(focus, Qt::Key_Z, Qt::ControlModifier);
            QTest::keyClick(focus, Qt::Key_S);
        });
        form.ActionWriteConverter->trigger();
        QVERIFY(tried);
        QCOMPARE(statusMeanwhile, QStringLiteral("Writing the table to the unit…"));
        QVERIFY(waitForKeysUp());
        QTest::qWait(300); // anything replayed would have reached the unit by now
        QCOMPARE(form.mainTable()->imageBytes(1).toHex(), written.toHex());
        const std::vector<std::string> events = unit.events();
        QCOMPARE(std::count(events.begin(), events.end(), std::string("write")), 1);
        QCOMPARE(std::count(events.begin(), events.end(), std::string("read")), 1); // the verification
        QCOMPARE(std::count(events.begin(), events.end(), std::string("quick-write")), 0);
        QCOMPARE(std::count(events.begin(), events.end(), std::string("stream-start")), 0);
        QCOMPARE(bytesOf(unit.eeprom()).toHex(), written.toHex());
        QVERIFY(!form.unstoredEdits());
        QVERIFY(form.ActionStart->isEnabled());
        QVERIFY(sink.messages.isEmpty());
        QCOMPARE(form.statusBar()->currentMessage(), QStringLiteral("The table is stored in the unit and verified"));
    }

    // A unit that answers with another device id gets neither the sensor
    // record query nor a table read, and the window's table stays as it was.
    void incompatibleUnitIsNotRead()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Config config;
        config.identifyReply = {0, 7, 1, 23, 1, 3, 0x3E, 0x80};
        sim::Emulator unit(config);
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        form.mainTable()->setSlot(30, 99);
        const QByteArray before = form.mainTable()->imageBytes(1);
        const int steps = form.mainTable()->history().count();
        form.choosePort(path);
        QVERIFY(unit.waitForEvent("identify", 5000));
        QCOMPARE(unit.events(), std::vector<std::string>{"identify"});
        QCOMPARE(form.mainTable()->imageBytes(1).toHex(), before.toHex());
        QCOMPARE(form.mainTable()->history().count(), steps);
        QCOMPARE(sink.messages.size(), 1);
        QVERIFY2(sink.messages.front().contains("DEVICE_ID=7"), qPrintable(sink.messages.front()));
        QVERIFY(!form.ActionReadCoverter->isEnabled());
        QVERIFY(!form.ActionWriteConverter->isEnabled());
    }

    // A port that does not open says why, after the window's own words.
    void portThatDoesNotOpenSaysWhy_data()
    {
        QTest::addColumn<QString>("port"); // "<held>": a pty this test holds exclusively
        QTest::addColumn<QString>("why");
        QTest::newRow("gone") << "/dev/ttyUSB-no-such" << "/dev/ttyUSB-no-such is gone";
        QTest::newRow("not a serial port") << "/dev/null" << "/dev/null is not a serial port";
        QTest::newRow("a folder") << "/tmp" << "/tmp is not a serial port";
        QTest::newRow("held exclusively") << "<held>" << "is held by another program";
    }
    void portThatDoesNotOpenSaysWhy()
    {
        QFETCH(QString, port);
        QFETCH(QString, why);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        int master = -1, slave = -1;
        const auto closePty = qScopeGuard([&] {
            if (slave >= 0)
                ::close(slave);
            if (master >= 0)
                ::close(master);
        });
        if (port == "<held>") {
            char name[256] = {};
            QVERIFY(::openpty(&master, &slave, name, nullptr, nullptr) == 0);
            QVERIFY(::ioctl(slave, TIOCEXCL) == 0);
            port = QString::fromLatin1(name);
        }
        TForm1 form;
        form.choosePort(port);
        QCOMPARE(sink.messages.size(), 1);
        const QString &message = sink.messages.front();
        QVERIFY2(message.startsWith(QString::fromUtf8("Try again!\nПопробуйте еще раз!\n\n")), qPrintable(message));
        QVERIFY2(message.contains(why), qPrintable(message));
        QVERIFY2(message.contains(QString::fromUtf8("Попробуйте")), qPrintable(message));
        QVERIFY(!form.ActionReadCoverter->isEnabled());
    }

    // However live data stops, the unit gets its correction 0 before the
    // stream stop, the autocorrection button comes up and the MAF limit locks.
    void everyStopReleasesAutocorrectionFirst_data()
    {
        QTest::addColumn<int>("path");
        QTest::newRow("read converter") << 0;
        QTest::newRow("port choice") << 1;
        QTest::newRow("stream ends by itself") << 2;
        QTest::newRow("close") << 3;
    }
    void everyStopReleasesAutocorrectionFirst()
    {
        QFETCH(int, path);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator unit;
        const QString port = QString::fromStdString(unit.start());
        auto form = std::make_unique<TForm1>();
        QVERIFY(chooseAndIdentify(*form, port, unit));
        if (path == 2) {
            sim::Config silent;
            silent.silenceAfterFrames = 40; // from the next stream on
            unit.setConfig(silent);
        }
        QVERIFY(startAutotuning(*form, unit));
        unit.clearLog();
        switch (path) {
        case 0:
            form->ActionReadCoverterExecute();
            break;
        case 1:
            form->choosePort(port);
            break;
        case 2:
            QVERIFY(QTest::qWaitFor([&] { return !form->log()->recording(); }, 10000));
            break;
        case 3:
            form->close();
            break;
        }
        QVERIFY(unit.waitForEvent("stream-stop", 5000));
        const std::vector<std::string> events = unit.events();
        const int correction = eventIndex(events, "correction 0");
        QVERIFY2(correction >= 0 && correction < eventIndex(events, "stream-stop"),
                 "the correction 0 goes out before the stream stop");
        QVERIFY(!form->SpeedButtonAutocorr->isChecked());
        QVERIFY(!form->log()->settings().autocorrection);
        QVERIFY(form->LockLogLimitSpeedButton->isChecked());
        QVERIFY2(sink.messages.isEmpty(), qPrintable(sink.messages.join('|')));
    }

    // Reconnect while the stream runs: the reader lets go of the port before
    // it closes, so the identification that follows gets its whole reply.
    void reconnectWhileStreaming()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator unit;
        TForm1 form;
        QVERIFY(chooseAndIdentify(form, QString::fromStdString(unit.start()), unit));
        form.ActionStart->trigger();
        QVERIFY(QTest::qWaitFor([&] { return form.log()->count() > 5; }, 10000));
        form.LabelFirmware->clear();
        unit.clearLog();
        form.SpeedButtonReconnect->click();
        QVERIFY2(sink.messages.isEmpty(), qPrintable(sink.messages.join('|')));
        QCOMPARE(form.LabelFirmware->text(), QStringLiteral("FW_Version:2.3"));
        QCOMPARE(form.LabelHwVersion->text(), QStringLiteral("HW_Version: 3"));
        QCOMPARE(form.LabelFOsc->text(), QStringLiteral("F_OSC: 16MHz"));
        const std::vector<std::string> events = unit.events();
        const int stop = eventIndex(events, "stream-stop");
        QVERIFY(stop >= 0);
        QVERIFY(eventIndex(events, "identify", stop) > stop);
        QVERIFY(eventIndex(events, "read", stop) > stop);
        // Stopped and consistent: the transfer commands are back, nothing records.
        QVERIFY(!form.log()->recording());
        QVERIFY(form.ActionStart->isEnabled());
        QVERIFY(!form.ActionStop->isEnabled());
        QVERIFY(form.ActionWriteConverter->isEnabled());
        const sim::Image ram = unit.ram();
        QCOMPARE(form.mainTable()->imageBytes(1), QByteArray(reinterpret_cast<const char *>(ram.data()), 392));
    }

    // A timer that talks to the unit fires while a long exchange keeps the
    // window painting; none of its bytes may land between the exchange's.
    void nothingInsideALongExchange_data()
    {
        QTest::addColumn<bool>("firmware");
        QTest::newRow("full write") << false;
        QTest::newRow("firmware update") << true;
    }
    void nothingInsideALongExchange()
    {
        QFETCH(bool, firmware);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        QTemporaryDir dir;
        const QString file = writeFile(dir, "fw.enc", "00 03 AA BB CC 00 02 DD EE 00 00");
        sim::Emulator unit;
        TForm1 form;
        TForm2 progress(&form);
        form.setProgressWindow(&progress);
        QVERIFY(chooseAndIdentify(form, QString::fromStdString(unit.start()), unit));
        QVERIFY(startAutotuning(form, unit)); // the live tick sends too
        int fired = 0;
        QTimer chatter;
        chatter.setInterval(2);
        QObject::connect(&chatter, &QTimer::timeout, [&] {
            ++fired;
            runReported(*form.channel(), [&] { proto::correctionWindowCommand(*form.channel()); });
        });
        chatter.start();
        unit.clearLog();
        if (firmware)
            QVERIFY(form.updateFirmwareFrom(file));
        else
            form.ActionWriteConverterExecute();
        chatter.stop();
        QVERIFY(fired > 0); // the timer did run inside the exchange
        const std::string rx = receivedText(unit);
        if (firmware) {
            const std::string blocks("\x00\x03\xAA\xBB\xCC\x00\x02\xDD\xEE\x00\x00", 11);
            const size_t at = rx.find("fiud");
            QVERIFY(at != std::string::npos);
            QCOMPARE(rx.substr(at), "fiud" + blocks);
        } else {
            const size_t at = rx.find("fiusfiuw");
            QVERIFY(at != std::string::npos);
            const QByteArray image = form.mainTable()->imageBytes(1);
            QCOMPARE(rx.substr(at), "fiusfiuw" + image.toStdString() + "fiur");
        }
        QVERIFY(!form.log()->recording());
        QVERIFY2(sink.messages.size() == int(firmware), qPrintable(sink.messages.join('|')));
    }

    // Update, then a one-to-one table stored in the unit and live data
    // started; after a failed update nothing is written, even with the bar
    // left full by an earlier one.
    void upgradeFirmwareOneToOne_data()
    {
        QTest::addColumn<bool>("fileThere");
        QTest::newRow("update succeeds") << true;
        QTest::newRow("update fails") << false;
    }
    void upgradeFirmwareOneToOne()
    {
        QFETCH(bool, fileThere);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        QTemporaryDir dir;
        const QString file = fileThere ? writeFile(dir, "fw.enc", "00 01 AA 00 00") : dir.filePath("none.enc");
        sim::Emulator unit;
        sim::Image image = sim::defaultImage();
        image[10] = 77;
        unit.setRam(image);
        unit.setEeprom(image);
        TForm1 form;
        TForm2 progress(&form);
        form.setProgressWindow(&progress);
        QVERIFY(form.findChild<QAction *>("ActionUpgradeFirmwareOneToOne"));
        QVERIFY(chooseAndIdentify(form, QString::fromStdString(unit.start()), unit));
        form.ComboBoxO2->setCurrentIndex(0);
        form.ProgressBar1->setValue(form.ProgressBar1->maximum());
        form.upgradeFirmwareOneToOneFrom(file);
        QCOMPARE(int(unit.eeprom()[10]), fileThere ? 10 : 77);
        QCOMPARE(form.log()->recording(), fileThere);
        QCOMPARE(form.ComboBoxO2->currentIndex(), fileThere ? 2 : 0);
        if (fileThere) {
            // The closing message names the table this unit had before.
            QVERIFY(sink.messages.last().startsWith(QString::fromUtf8("Firmware updated successfully.\n\nПрошивка успешно обновлена\n\n")));
            const QString before = backup::newest(backup::windowFolder(), QStringLiteral("2.3"));
            QVERIFY(!before.isEmpty());
            QVERIFY2(sink.messages.last().contains(before), qPrintable(sink.messages.last()));
        } else {
            QCOMPARE(sink.messages.last(), QStringLiteral("Error: File  not found.\n"));
        }
        form.ActionStopExecute();
    }

    // A stream that ends by itself: no message box, the status line says why.
    void streamEndingByItselfSaysWhy()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Config config;
        config.silenceAfterFrames = 30;
        sim::Emulator unit(config);
        TForm1 form;
        QVERIFY(chooseAndIdentify(form, QString::fromStdString(unit.start()), unit));
        form.ActionStart->trigger();
        QVERIFY(QTest::qWaitFor([&] { return !form.log()->recording(); }, 10000));
        QCOMPARE(form.statusBar()->currentMessage(), QStringLiteral("Live data stopped: the unit sent nothing for 1 s"));
        QVERIFY(sink.messages.isEmpty());
        QCOMPARE(form.log()->count(), 29); // every frame after the confirming one
        QVERIFY(form.ActionStart->isEnabled());
    }

    // Closing with the port chooser focused: hiding the window makes the
    // chooser signal once more, after the channel is gone; nothing may use it.
    void closeWithTheChooserFocused()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        auto form = std::make_unique<TForm1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->choosePort(QString::fromLatin1(TForm1::kDemoUnitEntry));
        form->ComComboBox1->setFocus();
        form->close();
        QTest::keyClick(form->ComComboBox1, Qt::Key_Return);
        form.reset();
        QVERIFY2(sink.messages.isEmpty(), qPrintable(sink.messages.join('|')));
    }

    // A unit still streaming from an earlier run is stopped and identified;
    // the table read gets its image, not frames.
    void unitLeftStreaming()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Config config;
        config.streamAtStart = true;
        sim::Emulator unit(config);
        TForm1 form;
        QVERIFY(chooseAndIdentify(form, QString::fromStdString(unit.start()), unit));
        QVERIFY2(sink.messages.isEmpty(), qPrintable(sink.messages.join('|')));
        QCOMPARE(form.LabelFirmware->text(), QStringLiteral("FW_Version:2.3"));
        const sim::Image ram = unit.ram();
        QCOMPARE(form.mainTable()->imageBytes(1), QByteArray(reinterpret_cast<const char *>(ram.data()), 392));
    }
};

QTEST_MAIN(TestWindowLink)
#include "tst_window_link.moc"
