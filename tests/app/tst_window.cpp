// The main window shell: pages, port chooser, identification of the demo unit.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <QToolButton>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>
#include <QTemporaryDir>
#include <QDateTime>
#include <QAction>

#include "app/Unit1.h"
#include "app/WindowTestHelpers.h"
#include "app/Unit2.h"
#include "link/MessageSink.h"
#include "link/TableTransfer.h"
#include "sim/Emulator.h"
#include "table/Table_iat_ect_corr.h"

class TestWindow : public QObject {
    Q_OBJECT
    QTemporaryDir workDir_;

private slots:
    // The window keeps its history in the working folder.
    void initTestCase() { QVERIFY(QDir::setCurrent(workDir_.path())); }
    void init() { startAfresh(); }

    void createdWithThreePagesAndStoppedActions()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        QTabWidget *pages = form.MainPageControl;
        QCOMPARE(pages->count(), 6);
        QStringList visible;
        for (int i = 0; i < pages->count(); ++i)
            if (pages->isTabVisible(i))
                visible.append(pages->widget(i)->objectName());
        QCOMPARE(visible, QStringList({"MainTabSheet", "DashboardTabSheet", "SetupTabSheet"}));
        QVERIFY(!form.ActionReadCoverter->isEnabled());
        QVERIFY(!form.ActionWriteConverter->isEnabled());
        QVERIFY(!form.ActionStop->isEnabled());
        QVERIFY(form.LabelHwVersion->isHidden());
        QVERIFY(form.LabelFOsc->isHidden());
        QVERIFY(!form.channel()->isConnected());
        // Subscribers in delivery order: the window, then the channel.
        QCOMPARE(form.broadcaster()->subscribers().front(), static_cast<TSubscriber *>(&form));
        QCOMPARE(form.broadcaster()->subscribers().at(1), static_cast<TSubscriber *>(form.channel()));
        // The port list ends with the demo unit; nothing is chosen.
        QComboBox *ports = form.ComComboBox1;
        QCOMPARE(ports->itemText(ports->count() - 1), QString::fromLatin1(TForm1::kDemoUnitEntry));
        QCOMPARE(ports->currentIndex(), -1);
        QVERIFY(sink.messages.isEmpty());
    }

    void liveDataMessagesSwitchActions()
    {
        TForm1 form;
        TMsgStartLiveData start(2);
        form.broadcaster()->broadcast(start);
        QVERIFY(!form.ActionStart->isEnabled());
        QVERIFY(form.ActionStop->isEnabled());
        TMsgStopLiveData stop;
        form.broadcaster()->broadcast(stop);
        form.broadcaster()->broadcast(stop);
        QVERIFY(form.ActionStart->isEnabled());
        QVERIFY(!form.ActionStop->isEnabled());
        QVERIFY(form.ActionReadCoverter->isEnabled());
        QVERIFY(form.ActionWriteConverter->isEnabled());
    }

    void choosingTheDemoUnitIdentifiesIt()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        form.choosePort(QString::fromLatin1(TForm1::kDemoUnitEntry));
        QVERIFY(form.channel()->isConnected());
        QVERIFY(form.demoUnit());
        QVERIFY(form.demoUnit()->waitForEvent("identify", 1000));
        QCOMPARE(form.LabelFirmware->text(), QStringLiteral("FW_Version:2.3"));
        QCOMPARE(form.LabelHwVersion->text(), QStringLiteral("HW_Version: 3"));
        QCOMPARE(form.LabelFOsc->text(), QStringLiteral("F_OSC: 16MHz"));
        QVERIFY(!form.LabelHwVersion->isHidden());
        QVERIFY(form.SpeedButtonReconnect->isEnabled());
        QCOMPARE(transfer::firmwareGeneration(), 2);
        QVERIFY(sink.messages.isEmpty());
        // Then the sensor record and the table read.
        QVERIFY(form.demoUnit()->waitForEvent("sensor-query", 1000));
        QVERIFY(form.demoUnit()->waitForEvent("read", 1000));
        QVERIFY(!form.GroupBoxContactlessSettings->isHidden());
        QCOMPARE(form.ComboBoxKmaAngleDegrees->currentText(), QString::fromUtf8("90°"));
        QCOMPARE(form.ComboBoxKmaCalAtMinOrMaxAngle->currentIndex(), 1);
        QVERIFY(form.ActionReadCoverter->isEnabled());
        QVERIFY(form.ActionWriteConverter->isEnabled());
        const sim::Image ram = form.demoUnit()->ram();
        QCOMPARE(form.mainTable()->imageBytes(1), QByteArray(reinterpret_cast<const char *>(ram.data()), 392));
    }

    void choiceOutcomes_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("message");
        QTest::newRow("other id") << QByteArray("\x00\x07\x01\x17\x01\x03\x3E\x80", 8) << "FW_Version:2.3"
                                  << QString::fromUtf8("Программа не совместима с этим устройством! \nThis software is "
                                                       "not compatible with this device!\nreaded DEVICE_ID=7");
        QTest::newRow("old unit") << QByteArray("\x17", 1) << "FW_Version:2.3"
                                  << QString::fromUtf8("Устройство не опознано. Попробуйте обновить прошивку. \n"
                                                       "Unknown device. Try to update a firmware");
        QTest::newRow("truncated") << QByteArray("\x00\x06\x01\x17", 4) << "FW_Version:"
                                   << QString::fromUtf8("Try again!\nПопробуйте еще раз!");
        QTest::newRow("silence") << QByteArray() << "FW_Version:" << QString::fromUtf8("Try again!\nПопробуйте еще раз!");
    }
    void choiceOutcomes()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, label);
        QFETCH(QString, message);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Config config;
        config.identifyReply.assign(reply.begin(), reply.end());
        sim::Emulator unit(config);
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        form.choosePort(path);
        QCOMPARE(form.LabelFirmware->text(), label);
        QCOMPARE(sink.messages, QStringList{message});
        QVERIFY(form.LabelHwVersion->isHidden());
    }

    void sensorRecordChoosers_data()
    {
        QTest::addColumn<int>("angle");
        QTest::addColumn<int>("direction");
        QTest::addColumn<int>("point");
        QTest::addColumn<int>("served");
        QTest::addColumn<QString>("angleText");
        QTest::addColumn<int>("side");
        QTest::addColumn<bool>("groupShown");
        QTest::newRow("70 between 60 and 80: later wins") << 70 << 1 << 51 << 5 << QString::fromUtf8("80°") << 0 << true;
        QTest::newRow("exact 85") << 85 << 0 << 949 << 5 << QString::fromUtf8("85°") << 1 << true;
        QTest::newRow("middle point keeps side") << 45 << 0 << 500 << 5 << QString::fromUtf8("45°") << 1 << true;
        QTest::newRow("short record ignored") << 90 << 1 << 51 << 4 << QString::fromUtf8("45°") << 1 << false;
    }
    void sensorRecordChoosers()
    {
        QFETCH(int, angle);
        QFETCH(int, direction);
        QFETCH(int, point);
        QFETCH(int, served);
        QFETCH(QString, angleText);
        QFETCH(int, side);
        QFETCH(bool, groupShown);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Config config;
        config.sensorRecord = {std::uint8_t(angle), 135, std::uint8_t(direction | 0x80), std::uint8_t(point >> 8),
                               std::uint8_t(point & 0xFF)};
        config.sensorRecordBytes = served;
        sim::Emulator unit(config);
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        form.choosePort(path);
        QCOMPARE(form.GroupBoxContactlessSettings->isHidden(), !groupShown);
        QCOMPARE(form.ComboBoxKmaAngleDegrees->currentText(), angleText);
        QCOMPARE(form.ComboBoxKmaCalAtMinOrMaxAngle->currentIndex(), side);
        if (groupShown)
            QCOMPARE(form.ComboBoxKmaDirection->currentIndex(), direction);
        QVERIFY(sink.messages.isEmpty());
        QVERIFY(form.ActionReadCoverter->isEnabled()); // the table read still runs
    }

    void readConverterSetsSwitchBoxesAndWriteVerifies()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator unit;
        sim::Image image = sim::defaultImage();
        image[266] = 0;
        image[269] = 128;
        unit.setRam(image);
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        TForm2 progress(&form);
        form.setProgressWindow(&progress);
        form.choosePort(path);
        QVERIFY(!form.CheckBoxIdleSwitch->isChecked());
        QVERIFY(form.CheckBoxFullSwitch->isChecked());
        // A track bar drives its hidden box, which goes to the unit with the next write.
        form.trackBars[0]->setValue(50); // MAF smoothing 50 %
        QCOMPARE(form.mainParamEdits[4]->text(), QStringLiteral("50"));
        form.ActionWriteConverter->trigger();
        QVERIFY(sink.messages.isEmpty());
        QVERIFY(!progress.isVisible());
        QCOMPARE(int(unit.eeprom()[260]), 64);
    }

    // Bytes the percentage boxes cannot express, and values outside the
    // track bars' ranges, go back to the unit as they came.
    void untouchedParametersKeepTheirBytes_data()
    {
        QTest::addColumn<QList<int>>("unit");     // slots 256..263 as the unit holds them
        QTest::addColumn<QList<int>>("expected"); // after read and write back
        QTest::newRow("odd percentages") << QList<int>{4, 5, 130, 2, 2, 7, 11, 255}
                                         << QList<int>{4, 5, 130, 2, 2, 7, 11, 255};
        QTest::newRow("outside the bars") << QList<int>{2, 101, 255, 0, 255, 1, 0, 100}
                                          << QList<int>{2, 101, 255, 0, 255, 1, 0, 255};
        QTest::newRow("top and bottom") << QList<int>{255, 0, 0, 255, 129, 254, 3, 0}
                                        << QList<int>{255, 0, 0, 255, 129, 254, 3, 255};
    }
    void untouchedParametersKeepTheirBytes()
    {
        QFETCH(QList<int>, unit);
        QFETCH(QList<int>, expected);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator device;
        sim::Image image = sim::defaultImage();
        for (int k = 0; k < 8; ++k)
            image[size_t(256 + k)] = std::uint8_t(unit[k]);
        device.setRam(image);
        TForm1 form;
        TForm2 progress(&form);
        form.setProgressWindow(&progress);
        form.choosePort(QString::fromStdString(device.start()));
        form.ActionWriteConverter->trigger();
        QVERIFY2(sink.messages.isEmpty(), qPrintable(sink.messages.join('|')));
        device.setRam(sim::defaultImage());
        form.mainTable()->quickWriteHook();
        QVERIFY(device.waitForEvent("quick-write", 5000));
        for (int k = 0; k < 8; ++k) {
            QCOMPARE(int(device.eeprom()[size_t(256 + k)]), expected[k]);
            QCOMPARE(int(device.ram()[size_t(256 + k)]), expected[k]);
        }
        // The label tells the box's value even where the bar cannot reach it.
        QCOMPARE(form.findChild<QLabel *>("LabelMafViborka")->text(),
                 tbl::trackBarLabelText(tbl::TrackBarMafTime, unit[0]));
    }

    void parameterBoxesFollowTheTable()
    {
        TForm1 form;
        // Defaults of a new table shown through the track bars and their labels.
        QCOMPARE(form.mainParamEdits[0]->text(), QStringLiteral("4"));
        QCOMPARE(form.findChild<QLabel *>("LabelMafViborka")->text(), QStringLiteral("0.04s"));
        QCOMPARE(form.findChild<QSlider *>("TrackBarEnleanment")->value(), 50);
        QCOMPARE(form.findChild<QLabel *>("LabelMafEnleanment")->text(), QStringLiteral("-50%"));
        form.mainParamEdits[3]->setText(QStringLiteral("25"));
        QCOMPARE(form.findChild<QSlider *>("TrackBarEnleanment")->value(), 25);
        // The compare view's sixteen boxes show both images.
        QCOMPARE(form.findChild<QLineEdit *>("MaskEditMaf1Compare")->text(), QStringLiteral("100"));
        QCOMPARE(form.findChild<QLineEdit *>("MaskEditTpsThreshold2Compare")->text(), QStringLiteral("255"));
    }

    void firmwareUpdateFromTheWindow()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        QTemporaryDir dir;
        const QString file = dir.filePath("fw.enc");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("00 03 AA BB CC 00 01 DD");
        f.close();
        TForm1 form;
        form.updateFirmwareFrom(file);
        QCOMPARE(sink.messages, QStringList{"COM port!!!"});
        sim::Config config;
        config.startInBootloader = true;
        sim::Emulator unit(config);
        form.CheckBoxFirmwareRecovery->setChecked(true);
        form.choosePort(QString::fromStdString(unit.start()));
        QVERIFY(unit.events().empty()); // recovery: no identification
        form.updateFirmwareFrom(file);
        QVERIFY(sink.messages.last().startsWith(QString::fromUtf8("Firmware updated successfully.\n\nПрошивка успешно обновлена")));
        QCOMPARE(form.ProgressBar1->value(), form.ProgressBar1->maximum());
        QVERIFY(!form.CheckBoxFirmwareRecovery->isChecked());
        QCOMPARE(int(unit.firmwareBlocks().size()), 2);
    }

    void typedPathChosenWithEnter()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator unit;
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        form.ComComboBox1->lineEdit()->setText(path);
        QTest::keyClick(form.ComComboBox1->lineEdit(), Qt::Key_Return);
        QTRY_VERIFY(form.channel()->isConnected());
        QTest::qWait(50);
        QCOMPARE(form.channel()->portName(), path);
        int identifies = 0;
        for (const std::string &e : unit.events())
            identifies += e == "identify";
        QCOMPARE(identifies, 1);
        // Enter on the listed demo entry chooses it once as well.
        form.ComComboBox1->lineEdit()->setText(QString::fromLatin1(TForm1::kDemoUnitEntry));
        QTest::keyClick(form.ComComboBox1->lineEdit(), Qt::Key_Return);
        QVERIFY(form.demoUnit());
        QTRY_VERIFY(form.demoUnit()->waitForEvent("read", 10));
        int demoIdentifies = 0;
        for (const std::string &e : form.demoUnit()->events())
            demoIdentifies += e == "identify";
        QCOMPARE(demoIdentifies, 1);
    }

    void oneByteReplyAfterALongOne()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator unit;
        TForm1 form;
        form.choosePort(QString::fromStdString(unit.start()));
        QVERIFY(sink.messages.isEmpty());
        // The generation stays once a long reply was seen, so an old unit on
        // the same run is refused by its id.
        sim::Config old;
        old.identifyReply = {23};
        unit.setConfig(old);
        form.SpeedButtonReconnect->click();
        QCOMPARE(form.LabelFirmware->text(), QStringLiteral("FW_Version:2.3"));
        QCOMPARE(sink.messages, QStringList{QString::fromUtf8("Программа не совместима с этим устройством! \nThis "
                                                              "software is not compatible with this device!\n"
                                                              "readed DEVICE_ID=65535")});
    }

    void proposedNames_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("name");
        // Numeric whatever the system's language and date format.
        QTest::newRow("Russian") << "ru_RU" << "D09_12_2026_T14_05_07";
        QTest::newRow("German") << "de_DE" << "D09_12_2026_T14_05_07";
        QTest::newRow("C") << "C" << "D09_12_2026_T14_05_07";
        QTest::newRow("US English") << "en_US" << "D09_12_2026_T14_05_07";
    }
    void proposedNames()
    {
        QFETCH(QString, locale);
        QFETCH(QString, name);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        const QDateTime when(QDate(2026, 12, 9), QTime(14, 5, 7));
        const QString proposed = proposedDateTimeName(when);
        QLocale::setDefault(before);
        QCOMPARE(proposed, name);
    }

    void logSaveAndOpenFollowTheStream()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        QVERIFY(form.LogFileOpen->isEnabled());
        TMsgStartLiveData start(2);
        form.broadcaster()->broadcast(start);
        QVERIFY(!form.LogFileOpen->isEnabled());
        QVERIFY(form.LogFileSave->isEnabled());
        TMsgStopLiveData stop;
        form.broadcaster()->broadcast(stop);
        QVERIFY(form.LogFileOpen->isEnabled());
    }

    void missingPortSaysTryAgain()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        form.choosePort(QStringLiteral("/dev/no-such-port"));
        QCOMPARE(sink.messages.size(), 1);
        QVERIFY2(sink.messages[0].startsWith(QString::fromUtf8("Try again!\nПопробуйте еще раз!\n\n/dev/no-such-port is gone")),
                 qPrintable(sink.messages[0]));
        QVERIFY(!form.channel()->isConnected());
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
