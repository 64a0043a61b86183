// The dashboard as the main window wires it: controls found by name on their
// pages, dashboard records and autotuning colours reaching the view and the
// chart, a press on the chart moving the correction window; and the cue files.
#include <QtTest>

#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>

#include "app/SoundEffectPlayer.h"
#include "app/Unit1.h"
#include "app/WindowTestHelpers.h"
#include "link/MessageSink.h"
#include "log/SoundPlayer.h"
#include "sim/Emulator.h"
#include "table/TableCommon.h"
#include "ui/ChartDashboard.h"
#include "ui/DashboardView.h"
#include "ui/Gauge.h"

class TestDashboardWindow : public QObject {
    Q_OBJECT
    QTemporaryDir workDir_;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(workDir_.path())); }
    void init() { startAfresh(); }

    void controlsByNameOnTheirPages()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        auto *chart = form.DashboardTabSheet->findChild<ChartDashboard *>(QStringLiteral("ChartDashboard"));
        QVERIFY(chart);
        QCOMPARE(chart, form.dashboardChart);
        for (const char *name : {"GaugeO2", "GaugeAuxOut", "GaugeMarker", "GaugeRpm", "GaugeTps"})
            QVERIFY2(form.DashboardTabSheet->findChild<TGauge *>(QLatin1String(name)), name);
        for (const char *name : {"LabelO2Val", "LabelRpmDash", "LabelTpsDash", "LabelMaxMaf", "LabelMaxOut", "ECTLabel",
                                 "LabelAuxOutValue", "IdleSwOnImage", "IdleSwOffImage", "FullSwOnImage",
                                 "FullSwOffImage", "EngineCold", "EngineHot"})
            QVERIFY2(form.DashboardTabSheet->findChild<QLabel *>(QLatin1String(name)), name);
        auto *factory = form.TabSheet1->findChild<QGroupBox *>(QStringLiteral("GroupBox5"));
        QVERIFY(factory);
        for (const char *name : {"GaugeO2_1", "GaugeConv", "GaugeMaf_1", "GaugeTps_1"})
            QVERIFY2(factory->findChild<TGauge *>(QLatin1String(name)), name);
        QCOMPARE(chart->dashboardColour(), TForm1::kIdleDashboardColour);
        QVERIFY(sink.messages.isEmpty());
    }

    void dashboardRecordReachesTheView()
    {
        TForm1 form;
        TMsgDashData record;
        record.converter = 255;
        record.maf = 77;
        record.rpm = 2500;
        form.broadcaster()->broadcast(record);
        QCOMPARE(form.dashboardView->LabelRpmDash->text(), QStringLiteral("2500"));
        QCOMPARE(form.dashboardView->LabelMaxMaf->text(), QStringLiteral("MaxMaf=77"));
        QCOMPARE(form.mainTable()->maxMafPosition(), 77);
        // No sensor record read yet: angle 0; the reference voltage is 5 V.
        QCOMPARE(form.dashboardChart->xAxis->label(), QString::fromUtf8("α= 0°  MainOut=5V"));
    }

    void stateColourBecomesTheGradient_data()
    {
        QTest::addColumn<bool>("manualBorders");
        QTest::addColumn<int>("colour");
        QTest::addColumn<QColor>("middle");
        QTest::addColumn<QStringList>("played");
        QTest::newRow("pulsation") << false << 255 << QColor(255, 0, 0) << QStringList{"puls.wav"};
        QTest::newRow("ready") << false << 8421504 << QColor(128, 128, 128) << QStringList{"ready.wav"};
        QTest::newRow("forced idle") << false << 15780518 << QColor(0xA6, 0xCA, 0xF0) << QStringList{"forcedidle.wav"};
        QTest::newRow("other colour: no cue") << false << 0x123456 << QColor(0x56, 0x34, 0x12) << QStringList{};
        QTest::newRow("manual borders down: colour kept") << true << 255 << QColor(237, 240, 108) << QStringList{};
    }
    void stateColourBecomesTheGradient()
    {
        QFETCH(bool, manualBorders);
        QFETCH(int, colour);
        QFETCH(QColor, middle);
        QFETCH(QStringList, played);
        RecordingSoundPlayer sounds;
        ScopedSoundPlayer installed(&sounds);
        TForm1 form;
        if (manualBorders)
            form.SpeedButtonManualBorders->click();
        TMsgAutocorrection request;
        request.windowStart = 40;
        request.windowEnd = 60;
        request.stateColour = colour;
        form.broadcaster()->broadcast(request);
        QCOMPARE(form.dashboardChart->middleColour(), middle);
        // Cues never interrupt one still playing (no "!").
        QCOMPARE(sounds.played, played);
        // Stop live data brings the idle colour back.
        TMsgStopLiveData stop;
        form.broadcaster()->broadcast(stop);
        QCOMPARE(form.dashboardChart->middleColour(), QColor(237, 240, 108));
    }

    void pressOnTheChartMovesTheWindow()
    {
        TForm1 form;
        Table &table = *form.mainTable();
        // Learned: 0, 10, 200, 240; none within 9 codes of 120.
        for (int i = 0; i < 256; ++i)
            table.setSlot(i, i);
        for (int k = 0; k < tbl::kLearnedListSize; ++k)
            table.setSlot(tbl::kSlotLearnedList + k, 0);
        table.setSlot(tbl::kSlotMin, 10);
        table.setSlot(tbl::kSlotMax, 240);
        table.setSlot(tbl::kSlotKick, 200);
        table.rebuildLearned();
        table.refresh();
        form.MainPageControl->setCurrentWidget(form.DashboardTabSheet);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        ChartDashboard *chart = form.dashboardChart;
        chart->replot();
        const QPoint pos(qRound(chart->inputPixel(120)), qRound(chart->valuePixel(120)));
        QTest::mousePress(chart, Qt::LeftButton, {}, pos);
        QVERIFY(chart->grabbed());
        QCOMPARE(form.TrackBarMafNach->value(), 120);
        QCOMPARE(form.TrackBarMafKon->value(), 120);
        QCOMPARE(table.correctionWindowStart(), 120);
        QTest::mouseRelease(chart, Qt::LeftButton, {}, pos);
    }

    void dragOnTheChartReachesTheUnit()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        form.choosePort(QString::fromLatin1(TForm1::kDemoUnitEntry));
        sim::Emulator *unit = form.demoUnit();
        QVERIFY(unit && unit->waitForEvent("read", 2000));
        form.MainPageControl->setCurrentWidget(form.DashboardTabSheet);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        ChartDashboard *chart = form.dashboardChart;
        chart->replot();
        Table &table = *form.mainTable();
        const std::optional<int> n = chart->nearestLearned(128);
        QVERIFY(n);
        const int before = table.slot(*n);
        const int after = before > 127 ? before - 40 : before + 40;
        const QPoint press(qRound(chart->inputPixel(*n)), qRound(chart->valuePixel(before)));
        const QPoint to(press.x(), qRound(chart->valuePixel(after)));
        unit->clearLog();
        QTest::mousePress(chart, Qt::LeftButton, {}, press);
        QVERIFY(chart->grabbed());
        QTest::mouseMove(chart, to);
        QTest::mouseRelease(chart, Qt::LeftButton, {}, to);
        QVERIFY(std::abs(table.slot(std::max(*n, table.learnedStart())) - after) <= 1);
        QVERIFY(unit->waitForEvent("quick-write", 2000));
        QVERIFY(sink.messages.isEmpty());
        form.dashboardChart->setFocus(); // the port chooser keeps no focus while the window goes
    }

    void cueFilesArePresentAndSmall()
    {
        const QStringList names = {"puls", "corr", "training", "ready", "forcedidle"};
        for (const char *language : {"En", "Ru"}) {
            QStringList files;
            for (const QString &n : names)
                files << n + ".wav";
            for (int i = 1; i <= 20; ++i)
                files << QString::number(i) + ".wav";
            for (const QString &file : files) {
                QFile wav(QStringLiteral(TARVIX_SOURCE_DIR "/Sound/") + QLatin1String(language) + '/' + file);
                QVERIFY2(wav.open(QIODevice::ReadOnly), qPrintable(wav.fileName()));
                const QByteArray head = wav.read(44);
                QVERIFY2(head.startsWith("RIFF") && head.mid(8, 4) == "WAVE", qPrintable(wav.fileName()));
                QCOMPARE(quint8(head[22]), quint8(1));  // mono
                QCOMPARE(quint8(head[34]), quint8(16)); // 16-bit
                QVERIFY(wav.size() < 200000);
            }
        }
    }

    // A cue whose file is missing starts nothing; one that is there starts.
    void missingCueFilePlaysNothing()
    {
        QString folder = QStringLiteral("NoSuchFolder/");
        SoundEffectPlayer player([&folder] { return folder; });
        player.play(QStringLiteral("ready.wav"), false);
        player.play(QStringLiteral("20.wav"), true);
        QCOMPARE(player.playing(), QString());
        folder = QStringLiteral(TARVIX_SOURCE_DIR "/Sound/En/");
        player.play(QStringLiteral("ready.wav"), true);
        QCOMPARE(QFileInfo(player.playing()).canonicalFilePath(),
                 QFileInfo(QStringLiteral(TARVIX_SOURCE_DIR "/Sound/En/ready.wav")).canonicalFilePath());
        folder = QStringLiteral("NoSuchFolder/");
        player.play(QStringLiteral("corr.wav"), true);
        QVERIFY(player.playing().endsWith(QStringLiteral("ready.wav"))); // nothing new started
    }
};

QTEST_MAIN(TestDashboardWindow)
#include "tst_dashboard_window.moc"
