// Oxygen sensors, set points, the O2 target grid and the TPS percentage.
#include <QtTest>

#include "link/MessageSink.h"
#include "log/Oxygensensor.h"
#include "log/Xrpm_table.h"
#include "throttle/TpsCalibration.h"

class TestO2 : public QObject {
    Q_OBJECT
private slots:
    void sensorList();
    void recording_data();
    void recording();
    void display_data();
    void display();
    void sensorTypeChange_data();
    void sensorTypeChange();
    void targetStaysOnTheRichSide();
    void o2RefKeys();
    void grid();
    void tpsPercent_data();
    void tpsPercent();
    void tpsRecordResetOnFirstUse();
};

void TestO2::sensorList()
{
    QCOMPARE(o2::sensorNames(), (QStringList{"0-1V Signal", "Innovate MTX-L", "0-5V Signal", "AEM 30-4110",
                                             "AEM 30-0300"}));
    QCOMPARE(o2::kDefaultType, 2);
}

void TestO2::recording_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("stored");
    QTest::newRow("MTX-L 0 truncates to 73") << 1 << 0 << 73;
    QTest::newRow("MTX-L 2.0 V") << 1 << 102 << 133;
    QTest::newRow("MTX-L 5 V") << 1 << 255 << 223;
    QTest::newRow("30-4110 0") << 3 << 0 << 100;
    QTest::newRow("30-4110 2.0 V") << 3 << 102 << 139;
    QTest::newRow("30-4110 5 V") << 3 << 255 << 199;
    QTest::newRow("30-0300 0") << 4 << 0 << 73;
    QTest::newRow("30-0300 2.0 V") << 4 << 102 << 120;
    QTest::newRow("30-0300 5 V") << 4 << 255 << 191;
    QTest::newRow("0-1V raw") << 0 << 201 << 201;
    QTest::newRow("0-5V raw") << 2 << 77 << 77;
    QTest::newRow("unknown type raw") << 9 << 55 << 55;
}

void TestO2::recording()
{
    QFETCH(int, type);
    QFETCH(int, raw);
    QFETCH(int, stored);
    QCOMPARE(o2::recordingValue(raw, type), stored);
}

void TestO2::display_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("gauge");
    QTest::addColumn<int>("colour");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("text2");
    QTest::newRow("narrow 25 blue") << 0 << 25 << 124 << o2::kBlue << "0.49V" << " ";
    QTest::newRow("narrow 26 green") << 0 << 26 << 129 << o2::kGreen << "0.51V" << " ";
    QTest::newRow("narrow 41 yellow") << 0 << 41 << 204 << o2::kYellow << "0.8V" << " ";
    QTest::newRow("narrow 46 red") << 0 << 46 << 229 << o2::kRed << "0.9V" << " ";
    QTest::newRow("narrow 52 limited") << 0 << 52 << 255 << o2::kRed << "1.02V" << " ";
    QTest::newRow("0-5V green, gauge = value") << 2 << 128 << 128 << o2::kGreen << "2.5V" << " ";
    QTest::newRow("afr 147 green") << 4 << 147 << 129 << o2::kGreen << "14.7" << "0%";
    QTest::newRow("afr 150 blue") << 1 << 150 << 124 << o2::kBlue << "15" << "-2%";
    QTest::newRow("afr 137 yellow") << 3 << 137 << 146 << o2::kYellow << "13.7" << "7%";
    QTest::newRow("afr 103 orange") << 1 << 103 << 204 << o2::kOrange << "10.3" << "43%";
    QTest::newRow("afr 102 red") << 1 << 102 << 205 << o2::kRed << "10.2" << "44%";
    QTest::newRow("afr 133 is 11% richer") << 1 << 133 << 153 << o2::kYellow << "13.3" << "11%";
    QTest::newRow("afr 160 lean") << 1 << 160 << 107 << o2::kBlue << "16" << "-8%";
    QTest::newRow("afr 73 full gauge") << 1 << 73 << 255 << o2::kRed << "7.3" << "101%";
    QTest::newRow("afr 223 below zero") << 1 << 223 << 0 << o2::kBlue << "22.3" << "-34%";
    QTest::newRow("afr 0 no percentage") << 1 << 0 << 379 << o2::kRed << "0" << "";
}

void TestO2::display()
{
    QFETCH(int, type);
    QFETCH(int, value);
    QFETCH(int, gauge);
    QFETCH(int, colour);
    QFETCH(QString, text);
    QFETCH(QString, text2);
    const o2::Display d = o2::display(value, type);
    QCOMPARE(d.gauge, gauge);
    QCOMPARE(d.colour, colour);
    QCOMPARE(d.text, text);
    QCOMPARE(d.text2, text2);
}

void TestO2::sensorTypeChange_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("reference");
    QTest::addColumn<QString>("labelRef");
    QTest::addColumn<QString>("percent");
    QTest::newRow("0-1V") << 0 << 51 << 26 << "0.51V" << " ";
    QTest::newRow("0-5V") << 2 << 255 << 128 << "2.50V" << " ";
    QTest::newRow("MTX-L") << 1 << 255 << 147 << "14.7" << "0%";
    QTest::newRow("30-4110") << 3 << 255 << 147 << "14.7" << "0%";
    QTest::newRow("30-0300") << 4 << 255 << 147 << "14.7" << "0%";
}

void TestO2::sensorTypeChange()
{
    QFETCH(int, type);
    QFETCH(int, max);
    QFETCH(int, reference);
    QFETCH(QString, labelRef);
    QFETCH(QString, percent);
    TO2Setpoints sp;
    sp.sensorTypeChanged(type);
    QCOMPARE(sp.reference().max, max);
    QCOMPARE(sp.target().max, max);
    QCOMPARE(sp.reference().value(), reference);
    QCOMPARE(sp.target().value(), reference);
    QCOMPARE(sp.labelRefO2, labelRef);
    QCOMPARE(sp.labelRefO2FromDashInPercent, percent);
    QCOMPARE(sp.o2RefEditText, QString::number(reference));
}

void TestO2::targetStaysOnTheRichSide()
{
    TO2Setpoints afr;
    afr.sensorTypeChanged(o2::Aem300300);
    afr.targetPositionChanged(afr.target().max - 160); // leaner than 147
    QCOMPARE(afr.target().value(), 147);
    afr.targetPositionChanged(afr.target().max - 130); // richer: kept
    QCOMPARE(afr.target().value(), 130);
    QCOMPARE(afr.labelRefO2Log, QStringLiteral("13.0"));
    QCOMPARE(afr.labelLogMixturePercent, QStringLiteral("13%"));
    afr.referencePositionChanged(afr.reference().max - 120); // reference richer than target
    QCOMPARE(afr.target().value(), 120);

    TO2Setpoints narrow;
    narrow.sensorTypeChanged(o2::Narrow01V);
    narrow.targetPositionChanged(51 - 30); // 30 is richer than 26: kept
    QCOMPARE(narrow.target().value(), 30);
    narrow.referencePositionChanged(51 - 35);
    QCOMPARE(narrow.reference().value(), 35);
    QCOMPARE(narrow.target().value(), 35);
    QCOMPARE(narrow.labelRefO2Log, QStringLiteral("0.68"));
    QCOMPARE(narrow.labelLogO2RefFromDash, QStringLiteral("0.68"));
}

void TestO2::o2RefKeys()
{
    RecordingSink sink;
    ScopedMessageSink scope(&sink);
    QVERIFY(o2::o2RefKeyAccepted(QLatin1Char('7')));
    QVERIFY(o2::o2RefKeyAccepted(QLatin1Char('\r')));
    QVERIFY(o2::o2RefKeyAccepted(QLatin1Char('\b')));
    QVERIFY(sink.messages.isEmpty());
    QVERIFY(!o2::o2RefKeyAccepted(QLatin1Char('x')));
    QVERIFY(!o2::o2RefKeyAccepted(QLatin1Char('.')));
    QCOMPARE(sink.messages.size(), 2);
    QCOMPARE(sink.messages.first(), QString::fromUtf8("Ай-ай-ай, это не циферка! This is not digit!!!"));
    QCOMPARE(o2::hintForText(QStringLiteral("147"), o2::InnovateMtxL), QStringLiteral("14.70 AFR"));
    QCOMPARE(o2::hintForText(QStringLiteral("128"), o2::Signal05V), QStringLiteral("2.51 V"));
    QVERIFY(!o2::hintForText(QStringLiteral("abc"), o2::Signal05V));
}

void TestO2::grid()
{
    TO2TargetGrid g;
    QCOMPARE(TO2TargetGrid::kind(0, 10), TO2TargetGrid::Cell::Corner);
    QCOMPARE(TO2TargetGrid::kind(5, 10), TO2TargetGrid::Cell::RpmAxis);
    QCOMPARE(TO2TargetGrid::kind(0, 3), TO2TargetGrid::Cell::TpsAxis);
    QCOMPARE(TO2TargetGrid::kind(4, 4), TO2TargetGrid::Cell::Value);
    QVERIFY(!TO2TargetGrid::editable(0, 10));
    QVERIFY(TO2TargetGrid::editable(0, 9));
    QCOMPARE(TO2TargetGrid::editMask(3, 10), QStringLiteral("!9999;1;"));
    QCOMPARE(TO2TargetGrid::editMask(0, 3), QStringLiteral("!999;1;"));

    g.setText(0, 3, QStringLiteral("50"));
    g.setText(4, 10, QStringLiteral("3000"));
    g.fill(QStringLiteral("14x"));
    for (int c = 1; c < 11; ++c)
        for (int r = 0; r < 10; ++r)
            QCOMPARE(g.text(c, r), QStringLiteral("14"));
    QCOMPARE(g.text(0, 3), QStringLiteral("50"));
    QCOMPARE(g.text(4, 10), QStringLiteral("3000"));
    QCOMPARE(g.text(0, 10), QString());
    g.fill(QStringLiteral("x"));
    QCOMPARE(g.text(5, 5), QStringLiteral("0"));

    g.setText(2, 2, QStringLiteral("147"));
    QCOMPARE(g.selectCell(2, 2, o2::Aem304110), std::optional<QString>(QStringLiteral("14.70 AFR")));
    QVERIFY(g.hintsShown());
    g.setText(3, 3, QStringLiteral("abc"));
    QVERIFY(!g.selectCell(3, 3, o2::Aem304110)); // hint unchanged
    QVERIFY(!g.selectCell(0, 3, o2::Aem304110));
    QVERIFY(!g.hintsShown()); // axis cells switch hints off
}

void TestO2::tpsPercent_data()
{
    QTest::addColumn<int>("lo");
    QTest::addColumn<int>("hi");
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("percent");
    QTest::newRow("10..210 middle") << 10 << 210 << 110 << 50;
    QTest::newRow("below the minimum") << 10 << 210 << 5 << 0;
    QTest::newRow("above the maximum") << 10 << 210 << 250 << 100;
    QTest::newRow("full range 128 is 50.196") << 0 << 255 << 128 << 50;
    QTest::newRow("35..220: 127 is 49.73") << 35 << 220 << 127 << 50;
    QTest::newRow("tie 0.5 goes to 0") << 0 << 200 << 1 << 0;
    QTest::newRow("tie 1.5 goes to 2") << 0 << 200 << 3 << 2;
    QTest::newRow("tie 2.5 goes to 2") << 0 << 200 << 5 << 2;
    QTest::newRow("min above max: the minimum wins") << 200 << 100 << 150 << 0;
}

void TestO2::tpsPercent()
{
    QFETCH(int, lo);
    QFETCH(int, hi);
    QFETCH(int, raw);
    QFETCH(int, percent);
    TTpsCalibration c{lo, hi};
    QCOMPARE(c.percent(raw), percent);
    QCOMPARE(c.tpsMin, lo);
    QCOMPARE(c.tpsMax, hi);
}

void TestO2::tpsRecordResetOnFirstUse()
{
    TTpsCalibration fresh;
    QCOMPARE(fresh.percent(200), 0); // limited to 0..0 first
    QCOMPARE(fresh.tpsMin, 0);
    QCOMPARE(fresh.tpsMax, 255);
    QCOMPARE(fresh.percent(255), 100);

    TTpsCalibration same{100, 100};
    QCOMPARE(same.percent(30), 39); // clamped to 100, then 100 x 100 / 255
    QCOMPARE(same.tpsMin, 0);
    QCOMPARE(same.tpsMax, 255);
}

QTEST_GUILESS_MAIN(TestO2)
#include "tst_o2.moc"
