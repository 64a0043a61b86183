// The main window shell: pages, port chooser, identification of the demo unit.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <QToolButton>

#include "app/Unit1.h"
#include "link/MessageSink.h"
#include "sim/Emulator.h"

class TestWindow : public QObject {
    Q_OBJECT
private slots:
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
        QCOMPARE(form.firmwareGeneration(), 2);
        QVERIFY(sink.messages.isEmpty());
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

    void missingPortSaysTryAgain()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        form.choosePort(QStringLiteral("/dev/no-such-port"));
        QCOMPARE(sink.messages, QStringList{QString::fromUtf8("Try again!\nПопробуйте еще раз!")});
        QVERIFY(!form.channel()->isConnected());
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
