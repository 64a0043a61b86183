// Throttle sensor settings without a window: presets, the panel's value
// texts, the window start in the point modes, the auxiliary pair, the
// calibration record bytes and the pedal calibration.
#include <QtTest>

#include "throttle/CorrectionWindow.h"

#include "table/Table_iat_ect_corr.h"
#include "throttle/SensorRecord.h"
#include "throttle/ThrottleSettings.h"
#include "throttle/TpsCalibration.h"

namespace {
// Output = input on all 256 points, Min 10, Kick 128, Max 255.
void ramp(Table &t)
{
    for (int i = 0; i < 256; ++i)
        t.setSlot(i, i);
    t.setSlot(tbl::kSlotMin, 10);
    t.setSlot(tbl::kSlotKick, 128);
    t.setSlot(tbl::kSlotMax, 255);
}
} // namespace

class TestThrottleSettings : public QObject {
    Q_OBJECT
private slots:
    void presets_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("direction"); // -1: unchanged
        QTest::addColumn<int>("calSide");
        QTest::addColumn<int>("invert");    // -1: unchanged, else both boxes
        QTest::addColumn<int>("angle");
        QTest::newRow("none selected") << -1 << -1 << -1 << -1 << 90;
        QTest::newRow("Pajero/Delica 4M40") << 0 << 0 << 1 << 0 << 45;
        QTest::newRow("Pajero/Delica 4M40 EFI") << 1 << 0 << 1 << 0 << 60;
        QTest::newRow("Mazda WL-T") << 2 << 1 << 1 << 0 << 45;
        QTest::newRow("Isuzu") << 3 << 0 << 1 << 0 << 45;
        QTest::newRow("Nissan") << 4 << 0 << 1 << 1 << 45;
        QTest::newRow("Korvel") << 5 << 0 << 0 << 0 << 90;
    }
    void presets()
    {
        QFETCH(int, index);
        QFETCH(int, direction);
        QFETCH(int, calSide);
        QFETCH(int, invert);
        QFETCH(int, angle);
        const kma::Preset p = kma::preset(index);
        QCOMPARE(p.direction.value_or(-1), direction);
        QCOMPARE(p.calSide.value_or(-1), calSide);
        QCOMPARE(p.invertIdle.has_value() ? int(*p.invertIdle) : -1, invert);
        QCOMPARE(p.invertFull.has_value() ? int(*p.invertFull) : -1, invert);
        QCOMPARE(p.angle, angle);
        QCOMPARE(kma::sensorTypeNames().size(), 6);
    }

    // Voltages of the main output at the points through the reference
    // voltage; the auxiliary pair always on the 5 V scale.
    void panelValues()
    {
        Table t;
        ramp(t);
        t.setSlot(tbl::kSlotIdleSwitch, 40);
        t.setSlot(tbl::kSlotFullSwitch, 200);
        t.setSlot(tbl::kSlotAuxFirst + 1, 128);
        t.setSlot(tbl::kSlotAuxFirst + 3, 255);
        kma::PanelValues v = kma::panelValues(t);
        QCOMPARE(v.idleSwitch, QStringLiteral("0.78V"));
        QCOMPARE(v.fullSwitch, QStringLiteral("3.92V"));
        QCOMPARE(v.max, QStringLiteral("5V"));
        QCOMPARE(v.kick, QStringLiteral("2.51V"));
        QCOMPARE(v.min, QStringLiteral("0.2V"));
        QCOMPARE(v.auxMin, QStringLiteral("2.51V"));
        QCOMPARE(v.auxMax, QStringLiteral("5V"));
        QCOMPARE(v.ref, QStringLiteral("Ref: 5V"));
        t.setReferenceVoltage(2.5f);
        v = kma::panelValues(t);
        QCOMPARE(v.max, QStringLiteral("2.5V"));
        QCOMPARE(v.auxMax, QStringLiteral("5V"));
        QCOMPARE(kma::smoothingLabel(80), QStringLiteral("TPS signal smoothing: 80"));
        QCOMPARE(kma::smoothingLabel(80, true), QString::fromUtf8("Сглаживание  сигнала датчика: 80"));
    }

    void windowStartByMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("moved");    // where the track bar was moved
        QTest::addColumn<int>("shown");    // where the window stands then
        QTest::addColumn<QList<int>>("after"); // 264, 265, 267, 268, 273, 274, 275, 276 after
        const QList<int> untouched{30, 30, 220, 220, 20, 100, 180, 200};
        QTest::newRow("main: nothing written") << int(EditMain) << 40 << 40 << untouched;
        QTest::newRow("idle switch at 40") << int(EditIdleSw) << 40 << 40 << QList<int>{40, 40, 220, 220, 20, 100, 180, 200};
        QTest::newRow("full switch at 150") << int(EditFullSw) << 150 << 150 << QList<int>{30, 30, 150, 150, 20, 100, 180, 200};
        QTest::newRow("aux min at 50") << int(EditAuxMin) << 50 << 50 << QList<int>{30, 30, 220, 220, 50, 100, 180, 200};
        QTest::newRow("aux min above the upper end") << int(EditAuxMin) << 190 << 180
                                                     << QList<int>{30, 30, 220, 220, 180, 100, 180, 200};
        QTest::newRow("aux max below the lower end") << int(EditAuxMax) << 5 << 20
                                                     << QList<int>{30, 30, 220, 220, 20, 100, 20, 200};
        QTest::newRow("max held at Kick") << int(EditMax) << 100 << 128 << untouched;
        QTest::newRow("min held at Kick") << int(EditMin) << 140 << 128 << untouched;
        QTest::newRow("kick held between Min and Max") << int(EditKick) << 5 << 10 << untouched;
    }
    void windowStartByMode()
    {
        QFETCH(int, mode);
        QFETCH(int, moved);
        QFETCH(int, shown);
        QFETCH(QList<int>, after);
        Table t;
        ramp(t);
        const int slotList[8] = {264, 265, 267, 268, 273, 274, 275, 276};
        const int before[8] = {30, 30, 220, 220, 20, 100, 180, 200};
        for (int k = 0; k < 8; ++k)
            t.setSlot(slotList[k], before[k]);
        TWindowState w;
        w.editMode = mode;
        w.setWindowStart(moved);
        kma::windowStartMoved(t, w);
        QCOMPARE(w.windowStart, shown);
        if (mode != EditMain)
            QCOMPARE(w.windowEnd, shown);
        for (int k = 0; k < 8; ++k)
            QCOMPARE(t.slot(slotList[k]), after[k]);
        if (mode >= EditIdleSw && mode <= EditKick)
            QCOMPARE(kma::modeWindowPosition(t, mode).has_value(), true);
    }

    // Kick mode holds the window start between Min and Max, also on an image
    // (a file, a unit) whose Min lies above its Max; the image is not touched.
    void kickWindowBetweenMinAndMax_data()
    {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("moved");
        QTest::addColumn<int>("shown"); // -1: anywhere between the two
        QTest::newRow("inside") << 10 << 200 << 120 << 120;
        QTest::newRow("below Min") << 10 << 200 << 5 << 10;
        QTest::newRow("above Max") << 10 << 200 << 250 << 200;
        QTest::newRow("Min equals Max") << 90 << 90 << 200 << 90;
        QTest::newRow("Min above Max, start below both") << 200 << 50 << 10 << -1;
        QTest::newRow("Min above Max, start between") << 200 << 50 << 120 << -1;
        QTest::newRow("Min above Max, start above both") << 200 << 50 << 250 << -1;
        QTest::newRow("Min above Max, start at 255") << 200 << 50 << 255 << -1;
        QTest::newRow("Min above Max, start at 0") << 255 << 1 << 0 << -1;
    }
    void kickWindowBetweenMinAndMax()
    {
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, moved);
        QFETCH(int, shown);
        Table t;
        ramp(t);
        t.setSlot(tbl::kSlotMin, min);
        t.setSlot(tbl::kSlotMax, max);
        t.setSlot(tbl::kSlotKick, 100);
        const TImage before = t.image(1);
        TWindowState w;
        w.editMode = EditKick;
        w.setWindowStart(moved);
        kma::windowStartMoved(t, w);
        if (shown >= 0)
            QCOMPARE(w.windowStart, shown);
        QVERIFY2(w.windowStart >= std::min(min, max) && w.windowStart <= std::max(min, max),
                 qPrintable(QString::number(w.windowStart)));
        QCOMPARE(w.windowEnd, w.windowStart);
        QVERIFY(t.image(1) == before);
    }

    void auxiliaryOutputFromTheSnapshot()
    {
        Table t;
        t.setSlot(273, 20);
        t.setSlot(274, 250);
        t.setSlot(275, 180);
        t.setSlot(276, 3);
        const kma::AuxSnapshot snap = kma::auxSnapshot(t);
        kma::auxCorrection(t, EditAuxMin, snap, 9); // 259 is limited to 255
        QCOMPARE(t.slot(274), 255);
        kma::auxCorrection(t, EditAuxMax, snap, -7); // -4 is limited to 0; 274 back to its snapshot
        QCOMPARE(t.slot(276), 0);
        QCOMPARE(t.slot(274), 250);
        QCOMPARE(t.slot(273), 20);
        QCOMPARE(t.slot(275), 180);
    }

    // Choosing an auxiliary mode with manual borders already down: the live
    // correction left from the mode before goes back to 0 while that mode is
    // still in force (the unit is told), and the auxiliary pair is kept as
    // it was, so a later correction moves it from there.
    void auxiliaryModeStartsFromZero()
    {
        Table t;
        const int pair[4] = {20, 150, 180, 60};
        for (int k = 0; k < 4; ++k)
            t.setSlot(tbl::kSlotAuxFirst + k, pair[k]);
        CorrectionWindow w(t);
        w.setManualBorders(true);
        w.setEditMode(EditMain);
        w.setCorrection(6);
        QStringList told;
        QObject::connect(&w, &CorrectionWindow::correctionChanged, [&](int value, bool live) {
            told << QStringLiteral("correction %1 %2").arg(value).arg(live ? "live" : "pair");
        });
        QObject::connect(&w, &CorrectionWindow::editModeChanged, [&](int mode) {
            told << QStringLiteral("mode %1").arg(mode);
        });
        w.setEditMode(EditAuxMin);
        QCOMPARE(told, (QStringList{"correction 0 live", QStringLiteral("mode %1").arg(EditAuxMin)}));
        QCOMPARE(w.correction(), 0);
        for (int k = 0; k < 4; ++k)
            QCOMPARE(t.slot(tbl::kSlotAuxFirst + k), pair[k]);
        w.setCorrection(4);
        QCOMPARE(t.slot(tbl::kSlotAuxFirst + 1), 154);
        QCOMPARE(t.slot(tbl::kSlotAuxFirst + 3), 60);
    }

    void calibrationRecordBytes_data()
    {
        QTest::addColumn<int>("point");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("max angle") << kma::kCalibrateAtMax << QByteArray("\x55\x87\x01\x03\xB5", 5);
        QTest::newRow("min angle") << kma::kCalibrateAtMin << QByteArray("\x55\x87\x01\x00\x33", 5);
    }
    void calibrationRecordBytes()
    {
        QFETCH(int, point);
        QFETCH(QByteArray, bytes);
        const auto b = kma::encodeRecord({85, 0, 1, point});
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(b.data()), 5), bytes);
    }

    void pedalCalibration_data()
    {
        QTest::addColumn<QList<int>>("samples");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::newRow("pedal moved 35 to 220") << QList<int>{60, 35, 90, 220, 140} << 35 << 220;
        QTest::newRow("span of 19 resets") << QList<int>{50, 69} << 0 << 255;
        QTest::newRow("span of 20 counts") << QList<int>{50, 70} << 50 << 70;
        QTest::newRow("nothing recorded") << QList<int>{} << 0 << 255;
    }
    void pedalCalibration()
    {
        QFETCH(QList<int>, samples);
        QFETCH(int, min);
        QFETCH(int, max);
        TTpsCalibration c = ::pedalCalibration(std::vector<int>(samples.begin(), samples.end()));
        QCOMPARE(int(c.tpsMin), min);
        QCOMPARE(int(c.tpsMax), max);
        if (min == 35)
            QCOMPARE(c.percent(127), 50); // 49.73
    }
};

QTEST_APPLESS_MAIN(TestThrottleSettings)
#include "tst_throttle_settings.moc"
