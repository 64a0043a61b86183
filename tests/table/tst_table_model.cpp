// Table model: initial image, parameter encodings and edit boxes, reference
// voltage, number formatting and the track bars of the parameters.
#include "table/Table_iat_ect_corr.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace tbl;

class TestTableModel : public QObject {
    Q_OBJECT
private slots:
    void newTableHoldsOnlyTheReferenceVoltage();
    void roundingTiesToEven_data();
    void roundingTiesToEven();
    void shownValue_data();
    void shownValue();
    void readParameters_data();
    void readParameters();
    void setUpShowsDefaultsAndTakesFirstSnapshot();
    void parametersOfImage2AreSeparate();
    void referenceVoltage_data();
    void referenceVoltage();
    void voltageText_data();
    void voltageText();
    void trackBarLabels_data();
    void trackBarLabels();
    void trackBarPositionsSurviveStoreAndShow();
    void seriesTitles();
    void deviceImageRebuildsLearnedAndSnapshots();
};

void TestTableModel::newTableHoldsOnlyTheReferenceVoltage()
{
    Table t;
    for (int i = 0; i < kImageSize; ++i) {
        const int expected = i == 279 ? 0xA0 : i == 280 ? 0x40 : 0;
        QCOMPARE(t.image(1)[size_t(i)], expected);
        QCOMPARE(t.image(2)[size_t(i)], 0);
        QCOMPARE(t.marks(1)[size_t(i)], 0);
        QCOMPARE(t.marks(2)[size_t(i)], 0);
    }
    for (int i = 0; i < kPoints; ++i) {
        QCOMPARE(t.learnedValues()[size_t(i)], 0);
        QCOMPARE(t.learnedMarks()[size_t(i)], 0);
    }
    QCOMPARE(t.referenceVoltage(), 5.0f);
    QVERIFY(t.history().empty());
}

void TestTableModel::roundingTiesToEven_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<int>("r");
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("3.5") << 3.5 << 4;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("50.78") << 50.78125 << 51;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 0;
    QTest::newRow("huge") << 1e300 << std::numeric_limits<int>::max();
}

void TestTableModel::roundingTiesToEven()
{
    QFETCH(double, x);
    QFETCH(int, r);
    QCOMPARE(roundEven(x), r);
}

void TestTableModel::shownValue_data()
{
    QTest::addColumn<int>("param");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("smoothing 128") << int(ParamSmoothMaf) << 128 << "100";
    QTest::newRow("smoothing 127") << int(ParamSmoothTps) << 127 << "99";
    QTest::newRow("decay 64") << int(ParamEnleanment) << 64 << "50";
    QTest::newRow("decay 65") << int(ParamEnleanment) << 65 << "51";
    QTest::newRow("decay 32") << int(ParamEnleanment) << 32 << "25";
    QTest::newRow("enrichment 128") << int(ParamEnrichment) << 128 << "0";
    QTest::newRow("enrichment 64") << int(ParamEnrichment) << 64 << "-50";
    QTest::newRow("sampling raw") << int(ParamMafTime) << 17 << "17";
    QTest::newRow("tps threshold raw") << int(ParamTpsThreshold) << 255 << "255";
}

void TestTableModel::shownValue()
{
    QFETCH(int, param);
    QFETCH(int, stored);
    QFETCH(QString, shown);
    QCOMPARE(paramText(param, stored), shown);
}

void TestTableModel::readParameters_data()
{
    QTest::addColumn<int>("param");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");
    QTest::newRow("smoothing 100") << int(ParamSmoothMaf) << "100" << 128;
    QTest::newRow("enrichment 0") << int(ParamEnrichment) << "0" << 128;
    QTest::newRow("enrichment 100 capped") << int(ParamEnrichment) << "100" << 255;
    QTest::newRow("decay blanks") << int(ParamEnleanment) << " 50" << 64;
    QTest::newRow("empty") << int(ParamSmoothRpm) << "" << 0;
    QTest::newRow("not a number") << int(ParamThreshold) << "abc" << 0;
    QTest::newRow("leading digits") << int(ParamMafTime) << "12x" << 12;
    QTest::newRow("overflow saturates") << int(ParamMafTime) << "99999999999999" << std::numeric_limits<int>::max();
    QTest::newRow("tps threshold") << int(ParamTpsThreshold) << "17" << 255;
    QTest::newRow("tps threshold empty") << int(ParamTpsThreshold) << "" << 255;
}

void TestTableModel::readParameters()
{
    QFETCH(int, param);
    QFETCH(QString, typed);
    QFETCH(int, stored);
    Table t;
    TextParamFields boxes;
    t.setUpTableView(nullptr, true, false, &boxes);
    boxes.setText(param, typed);
    t.readParameters(1);
    QCOMPARE(t.slot(kParamBase + param), stored);
    QCOMPARE(t.slot(kParamBase + ParamTpsThreshold), 255);
}

void TestTableModel::setUpShowsDefaultsAndTakesFirstSnapshot()
{
    Table t;
    TextParamFields boxes;
    t.setUpTableView(nullptr, true, false, &boxes);
    const QStringList expected = {"4", "5", "0", "50", "100", "100", "100", "255"};
    for (int k = 0; k < 8; ++k) {
        QCOMPARE(t.slot(kParamBase + k), kDefaultParams[size_t(k)]);
        QCOMPARE(boxes.text(k), expected.at(k));
    }
    QCOMPARE(t.history().count(), 1);
    QCOMPARE(t.history().previousOf(0), 0);
    QCOMPARE(t.history().nextOf(0), 0);
}

void TestTableModel::parametersOfImage2AreSeparate()
{
    Table t;
    TextParamFields boxes1, boxes2;
    t.setUpTableView(nullptr, false, false, &boxes1);
    t.setUpSecondImage(&boxes2);
    boxes2.setText(ParamSmoothMaf, "50");
    t.readParameters(2);
    QCOMPARE(t.image(2)[260], 64);
    QCOMPARE(t.slot(260), 128);
    QCOMPARE(boxes1.text(ParamSmoothMaf), QString("100"));
}

void TestTableModel::referenceVoltage_data()
{
    QTest::addColumn<float>("volts");
    QTest::addColumn<float>("stored");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("5") << 5.0f << 5.0f << QByteArray::fromHex("0000a040");
    QTest::newRow("12") << 12.0f << 12.0f << QByteArray::fromHex("00004041");
    QTest::newRow("20 clamps") << 20.0f << 15.0f << QByteArray::fromHex("00007041");
    QTest::newRow("-1 clamps") << -1.0f << 0.0f << QByteArray::fromHex("00000000");
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << 0.0f << QByteArray::fromHex("00000000");
}

void TestTableModel::referenceVoltage()
{
    QFETCH(float, volts);
    QFETCH(float, stored);
    QFETCH(QByteArray, bytes);
    Table t;
    t.setReferenceVoltage(volts);
    QCOMPARE(t.referenceVoltage(), stored);
    QCOMPARE(t.imageBytes(1).mid(kSlotRefVoltage, 4), bytes);
}

void TestTableModel::voltageText_data()
{
    QTest::addColumn<double>("volts");
    QTest::addColumn<QString>("text");
    QTest::newRow("5.0") << 5.0 << "5V";
    QTest::newRow("2.5098") << 2.5098 << "2.51V";
    QTest::newRow("2.5") << 2.5 << "2.5V";
    QTest::newRow("0.004") << 0.004 << "0V";
    QTest::newRow("float 4.99") << double(4.99f) << "4.99V";
}

void TestTableModel::voltageText()
{
    QFETCH(double, volts);
    QFETCH(QString, text);
    QCOMPARE(voltsText(volts), text);
    QCOMPARE(refVoltageLabel(volts), "Ref: " + text);
}

void TestTableModel::trackBarLabels_data()
{
    QTest::addColumn<int>("bar");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("label");
    QTest::newRow("sampling 4") << int(TrackBarMafTime) << 4 << "0.04s";
    QTest::newRow("sampling 150") << int(TrackBarMafTime) << 150 << "1.5s";
    QTest::newRow("sampling 100") << int(TrackBarMafTime) << 100 << "1s";
    QTest::newRow("enrichment") << int(TrackBarEnrichment) << 5 << "+5%";
    QTest::newRow("decay") << int(TrackBarEnleanment) << 50 << "-50%";
    QTest::newRow("smoothing") << int(TrackBarMafSm) << 100 << "100";
    QTest::newRow("threshold") << int(TrackBarMafPorog) << 5 << "5";
}

void TestTableModel::trackBarLabels()
{
    QFETCH(int, bar);
    QFETCH(int, position);
    QFETCH(QString, label);
    QCOMPARE(trackBarLabelText(bar, position), label);
}

// A track bar writes its position into its edit box; reading and showing the
// parameters must give the same position back, or the bar would creep.
void TestTableModel::trackBarPositionsSurviveStoreAndShow()
{
    Table t;
    TextParamFields boxes;
    t.setUpTableView(nullptr, true, false, &boxes);
    for (int id = 0; id < TrackBarCount; ++id) {
        const TrackBarInfo &s = trackBarInfo(id);
        for (int pos = s.min; pos <= s.max; ++pos) {
            boxes.setText(s.param, trackBarEditText(pos));
            t.readParameters(1);
            t.showParameters(1);
            bool ok = false;
            const int back = trackBarPositionFromText(id, boxes.text(s.param), &ok);
            QVERIFY(ok);
            // The one exception: +100 % enrichment is kept as 255 (shows 99).
            const int expected = (id == TrackBarEnrichment && pos == 100) ? 99 : pos;
            QVERIFY2(back == expected, qPrintable(QString("%1 at %2 came back %3").arg(s.trackBar).arg(pos).arg(back)));
            QVERIFY(t.slot(kParamBase + s.param) >= 0 && t.slot(kParamBase + s.param) <= 255);
        }
    }
    bool ok = true;
    trackBarPositionFromText(TrackBarMafSm, "x1", &ok);
    QVERIFY(!ok);
}

void TestTableModel::seriesTitles()
{
    QCOMPARE(tableSeriesFromTitle("Tab1"), TableSeries::Tab1);
    QCOMPARE(tableSeriesFromTitle("ECTCorr2"), TableSeries::ECTCorr2);
    QCOMPARE(tableSeriesFromTitle("MaxMaf"), TableSeries::None);
}

void TestTableModel::deviceImageRebuildsLearnedAndSnapshots()
{
    Table t;
    TextParamFields boxes;
    t.setUpTableView(nullptr, true, false, &boxes);
    QByteArray img(kImageSize, '\0');
    for (int i = 0; i < kPoints; ++i)
        img[i] = char(i);
    img[kParamBase + ParamSmoothMaf] = char(64);
    img[kSlotMax] = char(200);
    img[kSlotMin] = char(10);
    img[kSlotKick] = char(150);
    img[kSlotLearnedList] = char(40);
    img[kIatBase + 3] = char(253);
    QVERIFY(!t.acceptImageFromDevice(img.left(391)));
    QVERIFY(t.acceptImageFromDevice(img));
    QCOMPARE(t.imageBytes(1), img);
    QCOMPARE(t.correctionAt(TempTarget::IAT, 12), -3);
    QCOMPARE(boxes.text(ParamSmoothMaf), QString("50"));
    for (int i : {10, 200, 150, 40, 0})
        QCOMPARE(t.learnedValues()[size_t(i)], i);
    QCOMPARE(t.learnedValues()[41], 0);
    QCOMPARE(t.history().count(), 2);
}

QTEST_APPLESS_MAIN(TestTableModel)
#include "tst_table_model.moc"
