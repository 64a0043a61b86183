// Dashboard records to gauges, labels, pictures, running maxima, the log
// limit and the chart's bottom title.
#include <QtTest>

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QToolButton>

#include "link/Ziravbroadcaster.h"
#include "table/Table_iat_ect_corr.h"
#include "throttle/TpsCalibration.h"
#include "ui/ChartDashboard.h"
#include "ui/DashboardView.h"
#include "ui/Gauge.h"

namespace {
struct Fixture {
    Table table;
    TZiravBroadcaster broadcaster;
    TTpsCalibration calibration{0, 200};
    ChartDashboard chart{table, broadcaster};
    QCheckBox idleInvert, fullInvert;
    QToolButton descending, lock, autocorr, manualBorders;
    QSlider logLimit{Qt::Vertical};
    DashboardView view{table, calibration, &chart};

    Fixture()
    {
        for (QToolButton *b : {&descending, &lock, &autocorr, &manualBorders})
            b->setCheckable(true);
        lock.setChecked(true);
        logLimit.setRange(0, 255);
        logLimit.setValue(0);
        view.setControls({&idleInvert, &fullInvert, &descending, &lock, &autocorr, &manualBorders, &logLimit});
        view.setSensorAngleSource([] { return 90; });
        chart.bind();
    }
    TGauge *gauge(const char *name) const { return view.findChild<TGauge *>(QLatin1String(name)); }
    QLabel *label(const char *name) const { return view.findChild<QLabel *>(QLatin1String(name)); }
    bool shown(const char *name) const { return !label(name)->isHidden(); }
};

TMsgDashData record(int converter, int maf, int slot0 = 0, int slot1 = 0)
{
    TMsgDashData r;
    r.converter = converter;
    r.maf = maf;
    r.slot0 = slot0;
    r.slot1 = slot1;
    return r;
}
} // namespace

class TestDashboardView : public QObject {
    Q_OBJECT
private slots:
    void gaugesAndLabels()
    {
        Fixture f;
        TMsgDashData r = record(128, 100);
        r.tps = 50;
        r.tpsText = QStringLiteral("50N0.98V");
        r.rpm = 3100;
        r.o2Gauge = 77;
        r.o2Colour = 0x00FF00; // green
        r.o2Text = QStringLiteral("0.45V");
        r.auxOut = 128;
        r.marker = 128;
        f.view.showRecord(r);
        QCOMPARE(f.gauge("GaugeO2")->value(), 77);
        QCOMPARE(f.gauge("GaugeO2_1")->value(), 77);
        QCOMPARE(f.gauge("GaugeO2")->barColour(), QColor(0, 255, 0));
        QCOMPARE(f.label("LabelO2Val")->text(), QStringLiteral("0.45V"));
        QCOMPARE(f.gauge("GaugeRpm")->value(), 3100);
        QCOMPARE(f.label("LabelRpmDash")->text(), QStringLiteral("3100"));
        QCOMPARE(f.gauge("GaugeTps")->value(), 25); // 50 of 0..200
        QCOMPARE(f.gauge("GaugeTps_1")->value(), 50);
        QCOMPARE(f.label("LabelTpsDash")->text(), QStringLiteral("50N0.98V"));
        QCOMPARE(f.label("LabelTpsPercentDash")->text(), QStringLiteral("25%"));
        QCOMPARE(f.gauge("GaugeMarker")->value(), 128);
        QCOMPARE(f.label("LabelMarkerDash")->text(), QStringLiteral("128"));
        QCOMPARE(f.gauge("GaugeConv")->value(), 128);
        QCOMPARE(f.gauge("GaugeAuxOut")->value(), 128);
        QCOMPARE(f.label("LabelAuxOutValue")->text(), QStringLiteral("2.5V"));
        // α = 90 × 100 × 4 / 900 = 40; 128 / 255 × 5 V = 2.5098 V.
        QCOMPARE(f.chart.xAxis->label(), QString::fromUtf8("α= 40°  MainOut=2.51V"));
        QCOMPARE(f.view.currentMafInput(), 100);
        // Ranges as placed on the window.
        QCOMPARE(f.gauge("GaugeRpm")->maximum(), 7000);
        QCOMPARE(f.gauge("GaugeTps")->maximum(), 100);
        QCOMPARE(f.gauge("GaugeMarker")->maximum(), 128);
        QCOMPARE(f.view.findChild<QGroupBox *>(QStringLiteral("GroupBox5"))->title(), QStringLiteral("Factory Test"));
    }

    // At the view's smallest size and with the widest values, each gauge's
    // value stands under that gauge, whole, and no value runs into another.
    void everyValueUnderItsGauge()
    {
        Fixture f;
        TMsgDashData r = record(255, 255);
        r.tps = 200;
        r.tpsText = QStringLiteral("255N5.00V");
        r.rpm = 6999;
        r.o2Text = QStringLiteral("4.98V");
        r.auxOut = 255;
        r.marker = 128;
        f.view.showRecord(r);
        f.view.resize(f.view.minimumSizeHint());
        f.view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.view));
        const std::pair<const char *, const char *> pairs[] = {{"GaugeO2", "LabelO2Val"},
                                                               {"GaugeAuxOut", "LabelAuxOutValue"},
                                                               {"GaugeMarker", "LabelMarkerDash"},
                                                               {"GaugeRpm", "LabelRpmDash"},
                                                               {"GaugeTps", "LabelTpsPercentDash"}};
        QList<QLabel *> values;
        for (const auto &[gaugeName, labelName] : pairs) {
            const QRect gauge = f.gauge(gaugeName)->geometry();
            const QRect label = f.label(labelName)->geometry();
            QVERIFY2(label.center().x() >= gauge.left() && label.center().x() <= gauge.right(), labelName);
            QVERIFY2(label.top() >= gauge.bottom(), labelName);
            values << f.label(labelName);
        }
        // The throttle's code and volts: under the TPS% gauge's value, at the right.
        QLabel *tps = f.label("LabelTpsDash");
        QVERIFY(tps->geometry().top() >= f.label("LabelTpsPercentDash")->geometry().bottom());
        QVERIFY(tps->geometry().right() >= f.gauge("GaugeTps")->geometry().center().x());
        values << tps;
        for (QLabel *v : values) {
            QVERIFY2(QFontMetrics(v->font()).horizontalAdvance(v->text()) <= v->contentsRect().width(),
                     qPrintable(v->objectName()));
            QVERIFY2(f.view.rect().contains(v->geometry()), qPrintable(v->objectName()));
            for (QLabel *other : values)
                QVERIFY2(v == other || !v->geometry().intersects(other->geometry()),
                         qPrintable(v->objectName() + " " + other->objectName()));
        }
    }

    void picturesFromSlots_data()
    {
        QTest::addColumn<int>("slot0");
        QTest::addColumn<int>("slot1");
        QTest::addColumn<bool>("idleInverted");
        QTest::addColumn<bool>("fullInverted");
        QTest::addColumn<bool>("idleClosed");
        QTest::addColumn<bool>("fullClosed");
        QTest::addColumn<QString>("ect");
        QTest::addColumn<bool>("cold");
        QTest::newRow("26: 0.5098 V is above 0.5 V") << 0 << 26 << false << false << false << false << "0.5V" << true;
        QTest::newRow("25: 0.4902 V") << 0 << 25 << false << false << false << false << "0.5V" << false;
        QTest::newRow("300 counts as 255") << 0 << 300 << false << false << false << false << "5V" << true;
        QTest::newRow("0") << 0 << 0 << false << false << false << false << "0V" << false;
        QTest::newRow("idle bit") << 1 << 0 << false << false << true << false << "0V" << false;
        QTest::newRow("idle bit, inverted: open") << 1 << 0 << true << false << false << false << "0V" << false;
        QTest::newRow("no idle bit, inverted: closed") << 0 << 0 << true << false << true << false << "0V" << false;
        QTest::newRow("full bit") << 2 << 0 << false << false << false << true << "0V" << false;
        QTest::newRow("both bits, full inverted") << 3 << 0 << false << true << true << false << "0V" << false;
    }
    void picturesFromSlots()
    {
        QFETCH(int, slot0);
        QFETCH(int, slot1);
        QFETCH(bool, idleInverted);
        QFETCH(bool, fullInverted);
        QFETCH(bool, idleClosed);
        QFETCH(bool, fullClosed);
        QFETCH(QString, ect);
        QFETCH(bool, cold);
        Fixture f;
        // Before the first record nothing is known of the coolant.
        QVERIFY(!f.shown("EngineCold") && !f.shown("EngineHot"));
        f.idleInvert.setChecked(idleInverted);
        f.fullInvert.setChecked(fullInverted);
        f.view.showRecord(record(0, 0, slot0, slot1));
        QCOMPARE(f.shown("IdleSwOnImage"), idleClosed);
        QCOMPARE(f.shown("IdleSwOffImage"), !idleClosed);
        QCOMPARE(f.shown("FullSwOnImage"), fullClosed);
        QCOMPARE(f.shown("FullSwOffImage"), !fullClosed);
        QCOMPARE(f.label("ECTLabel")->text(), ect);
        QCOMPARE(f.shown("EngineCold"), cold);
        QCOMPARE(f.shown("EngineHot"), !cold);
        QCOMPARE(f.gauge("GaugeMaf_1")->value(), slot1);
    }

    // The lamps are redrawn with the other language's text and back.
    void lampsFollowTheLanguage()
    {
        Fixture f;
        const QImage english = f.label("EngineHot")->pixmap().toImage();
        f.view.setLanguage(false);
        QVERIFY(f.label("EngineHot")->pixmap().toImage() != english);
        f.view.setLanguage(true);
        QCOMPARE(f.label("EngineHot")->pixmap().toImage(), english);
    }

    void runningMaxima_data()
    {
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QString>("extreme");
        QTest::newRow("F9 off: the largest output") << false << "MaxOut=200";
        QTest::newRow("F9 on: the smallest output") << true << "MinOut=10";
    }
    void runningMaxima()
    {
        QFETCH(bool, descending);
        QFETCH(QString, extreme);
        Fixture f;
        f.descending.setChecked(descending);
        f.view.resetTrackers();
        f.view.showRecord(record(10, 30));
        f.view.showRecord(record(200, 90));
        f.view.showRecord(record(50, 60));
        QCOMPARE(f.label("LabelMaxOut")->text(), extreme);
        QCOMPARE(f.label("LabelMaxMaf")->text(), QStringLiteral("MaxMaf=90"));
        QCOMPARE(f.table.maxMafPosition(), 90);
        QCOMPARE(f.view.currentMafInput(), 60);
        // Locked: the log limit stays where it is.
        QCOMPARE(f.logLimit.value(), 0);
        // Start resets both maxima.
        f.view.resetTrackers();
        f.view.showRecord(record(100, 20));
        QCOMPARE(f.label("LabelMaxOut")->text(), descending ? QStringLiteral("MinOut=100") : QStringLiteral("MaxOut=100"));
        QCOMPARE(f.label("LabelMaxMaf")->text(), QStringLiteral("MaxMaf=20"));
    }

    void logLimitFollowsTheMaximum_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::addColumn<bool>("autocorr");
        QTest::addColumn<bool>("manualBorders");
        QTest::addColumn<int>("position");
        QTest::newRow("lock up") << false << false << false << 255 - 90;
        QTest::newRow("locked, autocorrection with manual borders up") << true << true << false << 255 - 90;
        QTest::newRow("locked, autocorrection with manual borders down") << true << true << true << 0;
        QTest::newRow("locked, no autocorrection") << true << false << false << 0;
    }
    void logLimitFollowsTheMaximum()
    {
        QFETCH(bool, locked);
        QFETCH(bool, autocorr);
        QFETCH(bool, manualBorders);
        QFETCH(int, position);
        Fixture f;
        f.lock.setChecked(locked);
        f.autocorr.setChecked(autocorr);
        f.manualBorders.setChecked(manualBorders);
        f.view.showRecord(record(0, 90));
        f.view.showRecord(record(0, 40));
        QCOMPARE(f.logLimit.value(), position);
    }

    void liveRecordsDoNotRelayoutThePage()
    {
        // A layout request climbing to the page control repaints the whole
        // window; changing values must stay inside their own widgets.
        struct LayoutRequests : QObject {
            int count = 0;
            bool eventFilter(QObject *, QEvent *e) override
            {
                count += e->type() == QEvent::LayoutRequest;
                return false;
            }
        } requests;
        Fixture f;
        QWidget page;
        auto *layout = new QHBoxLayout(&page);
        layout->addWidget(&f.view);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCoreApplication::sendPostedEvents();
        page.installEventFilter(&requests);
        for (int t = 1; t < 40; ++t) {
            TMsgDashData r = record(t * 6, t * 5, t & 3, t * 6);
            r.rpm = t * 150;
            r.tpsText = QString::number(t * 6) + QStringLiteral("N1.23V");
            r.o2Text = QString::number(t) + QStringLiteral(".5V");
            r.auxOut = t * 6;
            f.view.showRecord(r);
            QCoreApplication::sendPostedEvents();
        }
        layout->removeWidget(&f.view);
        f.view.setParent(nullptr);
        QCOMPARE(requests.count, 0);
    }

    void liveRecordsDoNotRedrawTheWholeChart()
    {
        Fixture f;
        f.view.showRecord(record(10, 90));
        const int full = f.chart.fullRedraws();
        // A falling air-flow input leaves the maximum and the chart alone.
        for (int maf : {80, 70, 60}) {
            TOperatingPoint point = f.table.operatingPoint();
            point.inputCode = maf;
            f.table.setOperatingPoint(point);
            f.view.showRecord(record(10, maf));
        }
        QCOMPARE(f.chart.fullRedraws(), full);
    }
};

QTEST_MAIN(TestDashboardView)
#include "tst_dashboard_view.moc"
