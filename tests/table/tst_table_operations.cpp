// Table operations: one-to-one, point edits, interpolations, corrections to
// a window, learned-point bookkeeping, the commands that use them and the
// temperature corrections.
#include "table/Table_iat_ect_corr.h"

#include <QtTest>

using namespace tbl;

namespace {
struct CountingView : TableView {
    void refresh() override { ++count; }
    int count = 0;
};

// A set-up main table with constant points, Min 0, Max 255 and Kick 255, so
// that the Min/Max/Kick limits of a correction leave the points alone.
struct Fixture {
    Table t;
    TextParamFields boxes;
    CountingView chart;
    int quickWrites = 0;
    explicit Fixture(int level = 100)
    {
        t.setUpTableView(&chart, true, false, &boxes);
        t.quickWriteHook = [this] { ++quickWrites; };
        for (int i = 0; i < kPoints; ++i)
            t.setSlot(i, level);
        setBorders(0, 255, 255);
    }
    void setBorders(int min, int max, int kick)
    {
        t.setSlot(kSlotMin, min);
        t.setSlot(kSlotMax, max);
        t.setSlot(kSlotKick, kick);
    }
    int pt(int i) const { return t.slot(i); }
    int learned(int i) const { return t.learnedValues()[size_t(i)]; }
};
} // namespace

class TestTableOperations : public QObject {
    Q_OBJECT
private slots:
    void oneToOne_data();
    void oneToOne();
    void editPoint_data();
    void editPoint();
    void editTrainedLearnsOrUnlearns_data();
    void editTrainedLearnsOrUnlearns();
    void editWithoutShiftClearsMarksAndSnapshots();
    void editWithShiftInterpolatesBetweenMarks();
    void markedInterpolationTwoAnchors_data();
    void markedInterpolationTwoAnchors();
    void interpolatedHalvesRoundToEven_data();
    void interpolatedHalvesRoundToEven();
    void singleAnchorExtrapolation_data();
    void singleAnchorExtrapolation();
    void interpolationFollowsLearnedCorrectionsAndImage2();
    void interpolationStartsAtLearnedStart();
    void setBeginningAsLearned();
    void setBeginningAsLearnedWithReset();
    void beginningCommandsWriteAndResetCorrection();
    void applyCorrectionModes_data();
    void applyCorrectionModes();
    void applyCorrectionLimitsByMinMaxKick();
    void liveCommitKeepsTheCurveBeyondItsReach();
    void applyToTableArmsThenApplies();
    void applyToTableMovesMaxMinKick_data();
    void applyToTableMovesMaxMinKick();
    void setKick_data();
    void setKick();
    void learnedListFullAtTwenty();
    void learnedListGuardsAndRemove();
    void rebuildLearned();
    void nextLearnedPoint();
    void clearLearnedKeepsBorders();
    void clearCorrWindowCommand();
    void temperatureCorrection_data();
    void temperatureCorrection();
    void temperatureCorrectionNeedsRecording();
};

void TestTableOperations::oneToOne_data()
{
    QTest::addColumn<bool>("descending");
    QTest::addColumn<int>("volts"); // -1: the plain action
    QTest::addColumn<QByteArray>("refBytes");
    QTest::newRow("plain keeps 8V") << false << -1 << QByteArray::fromHex("00000041");
    QTest::newRow("Ref=5V") << false << 5 << QByteArray::fromHex("0000a040");
    QTest::newRow("F9 Ref=12V") << true << 12 << QByteArray::fromHex("00004041");
    QTest::newRow("F9 plain") << true << -1 << QByteArray::fromHex("00000041");
}

void TestTableOperations::oneToOne()
{
    QFETCH(bool, descending);
    QFETCH(int, volts);
    QFETCH(QByteArray, refBytes);
    Fixture f;
    f.t.setReferenceVoltage(8.0f);
    f.t.setSlot(kIatBase, 7);
    f.t.setSlot(kImageSize - 1, 7);
    f.t.setSlot(260, 3);
    f.t.learnedValues()[5] = 100;
    f.t.marks(1)[5] = 255;
    f.t.setDescending(descending);
    TWindowState w;
    w.mafWindowStart = 40;
    const int before = f.t.history().count();
    f.t.oneToOne(w, volts < 0 ? std::nullopt : std::optional<float>(float(volts)));
    QCOMPARE(f.pt(0), descending ? 255 : 0);
    QCOMPARE(f.pt(255), descending ? 0 : 255);
    QCOMPARE(f.pt(100), descending ? 155 : 100);
    QCOMPARE(f.t.imageBytes(1).mid(kSlotRefVoltage, 4), refBytes);
    QCOMPARE(f.pt(kIatBase), 0);
    QCOMPARE(f.pt(kImageSize - 1), 0);
    QCOMPARE(f.pt(260), 128);
    QCOMPARE(f.boxes.text(ParamSmoothMaf), QString("100"));
    QCOMPARE(f.learned(5), 0);
    QCOMPARE(f.t.marks(1)[5], 0);
    QCOMPARE(w.mafWindowStart, 0);
    QCOMPARE(f.t.history().count(), before + 1);
}

void TestTableOperations::editPoint_data()
{
    QTest::addColumn<QString>("series");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("image");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("stored");
    QTest::newRow("Tab1 index 300") << "Tab1" << 300 << 77 << 1 << 255 << 77;
    QTest::newRow("Tab1 value 300") << "Tab1" << 10 << 300 << 1 << 10 << 255;
    QTest::newRow("Tab1 value -5") << "Tab1" << -3 << -5 << 1 << 0 << 0;
    QTest::newRow("IATCorr 10 -40") << "IATCorr" << 10 << -40 << 1 << 266 << -30;
    QTest::newRow("IATCorr 7 -> bin 1") << "IATCorr" << 7 << 4 << 1 << 265 << 4;
    QTest::newRow("ECTCorr 255 +40") << "ECTCorr" << 255 << 40 << 1 << 391 << 30;
    QTest::newRow("Tab2") << "Tab2" << 20 << 256 << 2 << 20 << 255;
    QTest::newRow("IATCorr2") << "IATCorr2" << 0 << -31 << 2 << 264 << -30;
    QTest::newRow("ECTCorr2") << "ECTCorr2" << 8 << 5 << 2 << 330 << 5;
}

void TestTableOperations::editPoint()
{
    QFETCH(QString, series);
    QFETCH(int, index);
    QFETCH(int, value);
    QFETCH(int, image);
    QFETCH(int, slot);
    QFETCH(int, stored);
    Fixture f;
    const TImage other = f.t.image(image == 1 ? 2 : 1);
    f.t.editPoint(tableSeriesFromTitle(series), index, value, false, false);
    QCOMPARE(f.t.image(image)[size_t(slot)], stored);
    QCOMPARE(f.t.image(image == 1 ? 2 : 1), other);
}

void TestTableOperations::editTrainedLearnsOrUnlearns_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("learned");
    QTest::newRow("below unlearns") << 99 << 0;
    QTest::newRow("equal learns") << 100 << 100;
    QTest::newRow("above learns the output") << 250 << 100;
}

void TestTableOperations::editTrainedLearnsOrUnlearns()
{
    QFETCH(int, value);
    QFETCH(int, learned);
    Fixture f;
    f.t.learnedValues()[30] = 100;
    f.t.editPoint(TableSeries::Trained, 30, value, false, false);
    QCOMPARE(f.learned(30), learned);
    QCOMPARE(f.pt(30), 100);
}

void TestTableOperations::editWithoutShiftClearsMarksAndSnapshots()
{
    Fixture f;
    f.t.marks(1)[40] = 255;
    f.t.marks(2)[300] = 255;
    f.t.learnedMarks()[7] = 255;
    f.t.learnedValues()[50] = 100;
    const int records = f.t.history().count();
    const int refreshes = f.chart.count;
    f.t.editPoint(TableSeries::Tab1, 50, 120, false, false);
    QCOMPARE(f.pt(50), 120);
    QCOMPARE(f.learned(50), 120); // a learned point follows its output
    QCOMPARE(f.t.marks(1), TImage{});
    QCOMPARE(f.t.marks(2), TImage{});
    QCOMPARE(f.t.learnedMarks(), TPointArray{});
    QCOMPARE(f.t.history().count(), records + 1);
    QCOMPARE(f.t.history().record(f.t.history().current()).image1[50], 120);
    QVERIFY(f.chart.count > refreshes);
}

void TestTableOperations::editWithShiftInterpolatesBetweenMarks()
{
    Fixture f(0);
    f.t.editPoint(TableSeries::Tab1, 10, 20, true, false);
    f.t.editPoint(TableSeries::Tab1, 20, 40, true, false);
    QCOMPARE(f.t.marks(1)[10], 255);
    QCOMPARE(f.t.marks(1)[20], 255);
    QCOMPARE(f.pt(15), 30);
    QCOMPARE(f.pt(21), 0);
    // Ctrl turns extrapolation on: the line runs on from the pivot 20.
    f.t.editPoint(TableSeries::Tab1, 20, 40, true, true);
    QCOMPARE(f.pt(21), 42);
    QCOMPARE(f.pt(255), 255);
}

void TestTableOperations::markedInterpolationTwoAnchors_data()
{
    QTest::addColumn<bool>("extrapolate");
    QTest::addColumn<int>("pivot");
    QTest::addColumn<int>("p0");
    QTest::addColumn<int>("p5");
    QTest::addColumn<int>("p30");
    QTest::addColumn<int>("p255");
    // Outside the anchors the points hold 7 unless the line is continued.
    QTest::newRow("no extrapolation") << false << 20 << 7 << 7 << 7 << 7;
    QTest::newRow("pivot 20 continues up") << true << 20 << 7 << 7 << 60 << 255;
    QTest::newRow("pivot 15 stays inside") << true << 15 << 7 << 7 << 7 << 7;
    QTest::newRow("pivot 10 continues down") << true << 10 << 0 << 10 << 7 << 7;
}

void TestTableOperations::markedInterpolationTwoAnchors()
{
    QFETCH(bool, extrapolate);
    QFETCH(int, pivot);
    Fixture f(7);
    f.t.setSlot(10, 20);
    f.t.setSlot(20, 40);
    f.t.marks(1)[10] = 255;
    f.t.marks(1)[20] = 255;
    f.t.markedInterpolation(extrapolate, pivot, false);
    for (int i = 10; i < 20; ++i)
        QCOMPARE(f.pt(i), 20 + 2 * (i - 10));
    QCOMPARE(f.pt(20), 40);
    QTEST(f.pt(0), "p0");
    QTEST(f.pt(5), "p5");
    QTEST(f.pt(30), "p30");
    QTEST(f.pt(255), "p255");
}

// A point half-way between anchors one code apart lies on an exact half:
// it goes to the even neighbour (20.5 to 20, 21.5 to 22), not always up.
void TestTableOperations::interpolatedHalvesRoundToEven_data()
{
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("middle");
    QTest::newRow("20.5 down to 20") << 20 << 21 << 20;
    QTest::newRow("21.5 up to 22") << 21 << 22 << 22;
    QTest::newRow("falling 21.5 to 22") << 22 << 21 << 22;
}

void TestTableOperations::interpolatedHalvesRoundToEven()
{
    QFETCH(int, left);
    QFETCH(int, right);
    QFETCH(int, middle);
    Fixture f(7);
    f.t.setSlot(10, left);
    f.t.setSlot(12, right);
    f.t.marks(1)[10] = 255;
    f.t.marks(1)[12] = 255;
    f.t.markedInterpolation(false, 12, false);
    QCOMPARE(f.pt(11), middle);
}

void TestTableOperations::singleAnchorExtrapolation_data()
{
    QTest::addColumn<bool>("descending");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("value");
    QTest::addColumn<QList<int>>("expected"); // points 0, 1, 3, 100, 255
    QTest::newRow("rising, ties to even") << false << 100 << 50 << QList<int>{0, 0, 2, 50, 128};
    QTest::newRow("rising clamps at 255") << false << 100 << 200 << QList<int>{0, 2, 6, 200, 255};
    QTest::newRow("descending") << true << 100 << 155 << QList<int>{255, 254, 252, 155, 0};
    QTest::newRow("anchor at 0 changes nothing") << false << 0 << 50 << QList<int>{50, 9, 9, 9, 9};
}

void TestTableOperations::singleAnchorExtrapolation()
{
    QFETCH(bool, descending);
    QFETCH(int, anchor);
    QFETCH(int, value);
    QFETCH(QList<int>, expected);
    Fixture f(9);
    f.t.setSlot(anchor, value);
    f.t.marks(1)[size_t(anchor)] = 255;
    f.t.markedInterpolation(true, anchor, descending);
    const int idx[] = {0, 1, 3, 100, 255};
    for (int k = 0; k < 5; ++k)
        QCOMPARE(f.pt(idx[k]), expected.at(k));
}

void TestTableOperations::interpolationFollowsLearnedCorrectionsAndImage2()
{
    Fixture f(0);
    f.t.setSlot(0, 10);
    f.t.setSlot(10, 30);
    f.t.marks(1)[0] = 255;
    f.t.marks(1)[10] = 255;
    f.t.learnedValues()[5] = 1;        // learned point takes its new output
    // IAT bins 264..268 from -3 (stored as byte 253) to +5.
    f.t.setSlot(264, 253);
    f.t.setSlot(268, 5);
    f.t.marks(1)[264] = 255;
    f.t.marks(1)[268] = 255;
    // Learned fill between marks 20 and 24 (both learned).
    f.t.setSlot(20, 100);
    f.t.setSlot(24, 100);
    f.t.learnedValues()[20] = 100;
    f.t.learnedValues()[24] = 100;
    f.t.learnedMarks()[20] = 255;
    f.t.learnedMarks()[24] = 255;
    f.t.setSlot(22, 33);
    // Image 2, unclamped.
    f.t.image(2)[0] = 0;
    f.t.image(2)[4] = 400;
    f.t.marks(2)[0] = 255;
    f.t.marks(2)[4] = 255;
    f.t.markedInterpolation(false, 0, false);
    QCOMPARE(f.pt(5), 20);
    QCOMPARE(f.learned(5), 20);
    QCOMPARE(f.pt(264), -3);
    QCOMPARE(f.pt(265), -1);
    QCOMPARE(f.pt(266), 1);
    QCOMPARE(f.pt(268), 5);
    QCOMPARE(f.learned(22), 33);
    QCOMPARE(f.t.image(2)[3], 300);
}

void TestTableOperations::interpolationStartsAtLearnedStart()
{
    Fixture f(0);
    f.t.setBeginningAsLearned(50, 0, false); // S := 50
    f.t.learnedValues().fill(1);             // no learned anchors below
    f.t.setSlot(40, 80);
    f.t.setSlot(60, 120);
    f.t.marks(1)[40] = 255; // below S: not an anchor
    f.t.marks(1)[60] = 255;
    f.t.setSlot(100, 200);
    f.t.marks(1)[100] = 255;
    f.t.markedInterpolation(true, 60, false); // pivot 60: continue down to S
    QCOMPARE(f.t.learnedStart(), 50);
    QCOMPARE(f.pt(80), 160);
    QCOMPARE(f.pt(50), 100);
    QCOMPARE(f.pt(49), 0);
    QCOMPARE(f.pt(40), 80);
}

void TestTableOperations::setBeginningAsLearned()
{
    Fixture f(0);
    for (int i = 0; i < kPoints; ++i)
        f.t.setSlot(i, i);
    const int records = f.t.history().count();
    f.t.setBeginningAsLearned(5, 3, false);
    for (int i = 0; i <= 5; ++i) {
        QCOMPARE(f.pt(i), 8);
        QCOMPARE(f.learned(i), 8);
        QCOMPARE(f.t.learnedMarks()[size_t(i)], 255);
    }
    QCOMPARE(f.t.learnedStart(), 5);
    QCOMPARE(f.t.history().count(), records + 1);
    // The snapshot holds the table before the change.
    QCOMPARE(f.t.history().record(f.t.history().current()).image1[0], 0);
}

void TestTableOperations::setBeginningAsLearnedWithReset()
{
    Fixture f(0);
    f.t.setSlot(10, 55);
    f.t.learnedValues()[100] = 5;
    f.t.marks(1)[50] = 255;
    const int records = f.t.history().count();
    f.t.setBeginningAsLearned(10, 0, true);
    QCOMPARE(f.pt(0), 55);
    QCOMPARE(f.pt(255), 255);
    QCOMPARE(f.pt(100), roundEven(55 + 200.0 / 245 * 90));
    QCOMPARE(f.learned(100), 0);
    QCOMPARE(f.t.marks(1), TImage{});
    QCOMPARE(f.t.history().count(), records + 2);

    Fixture d(0);
    d.t.setDescending(true);
    d.t.setSlot(10, 200);
    d.t.setBeginningAsLearned(10, 0, true);
    QCOMPARE(d.pt(255), 0);
}

void TestTableOperations::beginningCommandsWriteAndResetCorrection()
{
    Fixture f;
    TWindowState w;
    w.windowStart = 30;
    w.windowEnd = 60;
    w.correction = -10;
    const int records = f.t.history().count();
    f.t.setBeginOfTableAsLearnedCommand(w); // F7
    QCOMPARE(f.pt(0), 90);
    QCOMPARE(f.pt(30), 90);
    QCOMPARE(w.mafWindowStart, 30);
    QCOMPARE(w.correction, 0);
    QCOMPARE(f.quickWrites, 1);
    QCOMPARE(f.t.history().count(), records + 2);
    QCOMPARE(f.t.history().record(f.t.history().current()).image1[0], 90);

    // Live recording starts: the beginning up to the MAF window start counts
    // as learned at the values the curve holds; no point moves, nothing is sent.
    w.mafWindowStart = 40;
    w.correction = 5;
    f.t.setSlot(35, 77);
    f.t.setSlot(120, 3); // a hand-made kink beyond the learned points
    const QByteArray before = f.t.imageBytes(1);
    f.t.recordingStarted(w);
    QCOMPARE(f.t.learnedStart(), 40);
    QCOMPARE(f.t.imageBytes(1).toHex(), before.toHex());
    QCOMPARE(f.t.learnedValues()[35], 77);
    QCOMPARE(w.correction, 0);
    QCOMPARE(f.quickWrites, 1);
}

void TestTableOperations::applyCorrectionModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<QList<int>>("points");  // points 9..14
    QTest::addColumn<QList<int>>("learned"); // learned 9..14
    QTest::newRow("mode 0") << 0 << 10 << 13 << 5 << QList<int>{100, 105, 105, 105, 105, 100}
                            << QList<int>{0, 105, 105, 105, 105, 0};
    QTest::newRow("mode 3 clamps") << 3 << 10 << 13 << 300 << QList<int>{100, 255, 255, 255, 255, 100}
                                   << QList<int>{0, 255, 255, 255, 255, 0};
    QTest::newRow("mode 2: learned points follow") << 2 << 10 << 13 << -5 << QList<int>{100, 95, 95, 95, 95, 100}
                                          << QList<int>{0, 0, 95, 95, 95, 0};
    // The middle takes the change; it falls off to nothing 8 codes beyond
    // the window (no learned point nearer): 2 and 21 keep their 100.
    QTest::newRow("mode 1 middle of 10..13") << 1 << 10 << 13 << 5 << QList<int>{104, 104, 104, 105, 104, 104}
                                             << QList<int>{0, 0, 0, 105, 0, 0};
    QTest::newRow("reversed window") << 0 << 13 << 10 << 5 << QList<int>{100, 100, 100, 100, 100, 100}
                                     << QList<int>{0, 0, 100, 100, 100, 0};
}

void TestTableOperations::applyCorrectionModes()
{
    QFETCH(int, mode);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(QList<int>, points);
    QFETCH(QList<int>, learned);
    Fixture f;
    f.t.learnedValues()[11] = 1; // un-learned by mode 1 (neighbour of 12)
    f.t.learnedValues()[12] = 1;
    f.t.learnedValues()[13] = 1;
    const int records = f.t.history().count();
    f.t.applyCorrectionToWindow(c, a, b, mode);
    for (int k = 0; k < 6; ++k) {
        QCOMPARE(f.pt(9 + k), points.at(k));
        QCOMPARE(f.learned(9 + k), learned.at(k));
    }
    QCOMPARE(f.t.history().count(), records + 1);
}

void TestTableOperations::applyCorrectionLimitsByMinMaxKick()
{
    Fixture f;
    for (int i = 0; i < kPoints; ++i)
        f.t.setSlot(i, i);
    f.setBorders(20, 200, 100);
    for (int i : {10, 20, 50, 150, 200, 220})
        f.t.learnedValues()[size_t(i)] = i;
    f.t.applyCorrectionToWindow(0, 50, 50, 2);
    QCOMPARE(f.pt(10), 20);
    QCOMPARE(f.pt(230), 200);
    QCOMPARE(f.learned(10), 0);
    QCOMPARE(f.learned(220), 0);
    QCOMPARE(f.learned(150), 0);  // between Kick and Max
    QCOMPARE(f.learned(200), 200);
    QCOMPARE(f.learned(50), 50);
}

void TestTableOperations::liveCommitKeepsTheCurveBeyondItsReach()
{
    // A unit as read: learned range 8..240, Kick 232, one listed point at 24,
    // and a band 96..144 shaped by an earlier tune (not a straight line, and
    // not in the learned-point list).
    Fixture f;
    for (int i = 0; i < kPoints; ++i)
        f.t.setSlot(i, 20 + i * 3 / 4);
    for (int i = 96; i <= 144; ++i)
        f.t.setSlot(i, f.pt(i) + (i % 3) - 1 + (i > 110 && i < 130 ? 6 : 0));
    f.setBorders(8, 240, 232);
    for (int i = 0; i < 8; ++i)
        f.t.setSlot(i, f.pt(8));
    for (int i = 241; i < kPoints; ++i)
        f.t.setSlot(i, f.pt(240));
    f.t.setSlot(kSlotLearnedList, 24);
    f.t.rebuildLearned();
    const QByteArray before = f.t.imageBytes(1);

    // A live commit of +6 at 180..182: the middle 181 takes it, 173..189
    // a falling share of it, nothing else.
    f.t.applyCorrectionToWindow(6, 180, 182, 1);
    const QByteArray after = f.t.imageBytes(1);
    for (int i = 0; i < kImageSize; ++i) {
        const int reach = i < 181 ? i - 172 : 190 - i; // 9 codes each way
        const int expected = i > 172 && i < 190 ? int(std::nearbyint(6.0 * reach / 9)) : 0;
        QCOMPARE(std::uint8_t(after[i]) - std::uint8_t(before[i]), expected);
    }
    QCOMPARE(f.learned(181), f.pt(181));

    // The next commit nearby stops at that learned point: 181 keeps its value.
    const int at181 = f.pt(181);
    f.t.applyCorrectionToWindow(-3, 186, 186, 1);
    QCOMPARE(f.pt(181), at181);
    QCOMPARE(f.pt(186), std::uint8_t(after[186]) - 3);
    QCOMPARE(f.pt(183), int(std::uint8_t(after[183])) - 1); // 3 x 2/5, rounded
    QCOMPARE(f.pt(184), int(std::uint8_t(after[184])) - 2); // 3 x 3/5
    QCOMPARE(QByteArray(after.constData() + 96, 49), f.t.imageBytes(1).mid(96, 49));
}

void TestTableOperations::applyToTableArmsThenApplies()
{
    Fixture f;
    TWindowState w;
    w.windowStart = 10;
    w.windowEnd = 13;
    w.correction = 5;
    w.autocorrEnabled = false;
    f.t.applyToTable(w); // first press only arms
    QVERIFY(w.applyArmed);
    QVERIFY(w.autocorrEnabled);
    QCOMPARE(f.pt(10), 100);
    QCOMPARE(f.quickWrites, 0);

    f.t.applyToTable(w); // stopped log: mode 3 over the window
    QCOMPARE(f.pt(10), 105);
    QCOMPARE(f.pt(13), 105);
    QCOMPARE(w.correction, 0);
    QCOMPARE(f.quickWrites, 1);
    QCOMPARE(f.t.history().record(f.t.history().current()).image1[10], 105);

    w.correction = 4;
    w.recording = true; // running log: only the middle, 12
    f.t.applyToTable(w);
    QCOMPARE(f.pt(12), 109);
    QCOMPARE(f.pt(11), 107); // half of it: the learned 10 takes none
    QCOMPARE(f.pt(10), 105);
    QCOMPARE(f.pt(13), 109); // 8/9 of it, falling to nothing at 21
    QCOMPARE(f.pt(20), 100);

    w.correction = 3;
    w.mafWindowStart = 10; // not below the window start: beginning as learned
    f.t.applyToTable(w);
    QCOMPARE(f.pt(0), 108);
    QCOMPARE(f.t.learnedStart(), 10);

    w.aplToTableDown = false; // another correction target: nothing
    w.correction = 9;
    f.t.applyToTable(w);
    QCOMPARE(w.correction, 9);
    QCOMPARE(f.quickWrites, 3);
}

void TestTableOperations::applyToTableMovesMaxMinKick_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("kick");
    // Borders before: Min 20, Max 200, Kick 100.
    QTest::newRow("Max to 150") << int(EditMax) << 150 << 20 << 150 << 100;
    QTest::newRow("Max to 80 pulls Kick") << int(EditMax) << 80 << 20 << 80 << 80;
    QTest::newRow("Max not below Min") << int(EditMax) << 15 << 20 << 20 << 20;
    QTest::newRow("Min to 60") << int(EditMin) << 60 << 60 << 200 << 100;
    QTest::newRow("Min to 120 pushes Kick") << int(EditMin) << 120 << 120 << 200 << 120;
    QTest::newRow("Min not above Max") << int(EditMin) << 230 << 200 << 200 << 200;
    QTest::newRow("Kick to 150") << int(EditKick) << 150 << 20 << 200 << 150;
    QTest::newRow("Kick beyond Max") << int(EditKick) << 230 << 20 << 200 << 200;
}

void TestTableOperations::applyToTableMovesMaxMinKick()
{
    QFETCH(int, mode);
    QFETCH(int, start);
    Fixture f;
    for (int i = 0; i < kPoints; ++i)
        f.t.setSlot(i, i);
    f.setBorders(20, 200, 100);
    TWindowState w;
    w.editMode = mode;
    w.applyArmed = true;
    w.mafWindowStart = 5;
    w.setWindowStart(start);
    QCOMPARE(w.windowEnd, start); // modes 5..7 move both ends together
    f.t.applyToTable(w);
    QTEST(f.t.byteAt(kSlotMin), "min");
    QTEST(f.t.byteAt(kSlotMax), "max");
    QTEST(f.t.byteAt(kSlotKick), "kick");
}

void TestTableOperations::setKick_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("kick");
    QTest::addColumn<int>("learnedAtX");
    QTest::newRow("inside") << 50 << 50 << 50;
    QTest::newRow("below Min") << 5 << 10 << 0;
    QTest::newRow("at Min") << 10 << 10 << 0;
    QTest::newRow("at Max") << 200 << 200 << 0;
    QTest::newRow("above Max") << 250 << 200 << 0;
}

void TestTableOperations::setKick()
{
    QFETCH(int, x);
    QFETCH(int, kick);
    QFETCH(int, learnedAtX);
    Fixture f;
    for (int i = 0; i < kPoints; ++i)
        f.t.setSlot(i, i);
    f.setBorders(10, 200, 100);
    f.t.learnedValues()[100] = 100;
    f.t.setKick(x);
    QCOMPARE(f.t.byteAt(kSlotKick), kick);
    QCOMPARE(f.learned(100), 0); // the old Kick is un-learned
    if (x != 10 && x != 200 && x < 256)
        QCOMPARE(f.learned(x), learnedAtX);
}

void TestTableOperations::learnedListFullAtTwenty()
{
    Fixture f;
    f.setBorders(10, 200, 150);
    for (int k = 0; k < kLearnedListSize; ++k)
        QVERIFY(f.t.addLearnedPoint(20 + k));
    const QByteArray before = f.t.imageBytes(1);
    QVERIFY(!f.t.addLearnedPoint(60));
    QCOMPARE(f.t.imageBytes(1), before);
    QCOMPARE(f.learned(60), 0);
    QCOMPARE(f.t.byteAt(kSlotLearnedList + 19), 39);
}

void TestTableOperations::learnedListGuardsAndRemove()
{
    Fixture f;
    f.setBorders(10, 200, 150);
    QVERIFY(!f.t.addLearnedPoint(10));  // not above Min
    QVERIFY(!f.t.addLearnedPoint(150)); // not below Kick
    QVERIFY(!f.t.addLearnedPoint(300));
    QVERIFY(f.t.addLearnedPoint(40));
    QVERIFY(f.t.addLearnedPoint(50));
    QCOMPARE(f.learned(40), 100);
    QVERIFY(f.t.removeLearnedPoint(40));
    QCOMPARE(f.t.byteAt(kSlotLearnedList), 0);
    QCOMPARE(f.t.byteAt(kSlotLearnedList + 1), 50);
    QCOMPARE(f.learned(40), 0);
    QVERIFY(f.t.addLearnedPoint(60)); // the freed entry is reused first
    QCOMPARE(f.t.byteAt(kSlotLearnedList), 60);
    // Learned again, a listed point keeps its one entry, and one removal clears it.
    const QByteArray listed = f.t.imageBytes(1);
    QVERIFY(f.t.addLearnedPoint(50));
    QCOMPARE(f.t.imageBytes(1).toHex(), listed.toHex());
    QVERIFY(f.t.removeLearnedPoint(50));
    for (int k = 0; k < kLearnedListSize; ++k)
        QVERIFY(f.t.byteAt(kSlotLearnedList + k) != 50);
    QVERIFY(!f.t.removeLearnedPoint(70));
}

void TestTableOperations::rebuildLearned()
{
    Fixture f;
    for (int i = 0; i < kPoints; ++i)
        f.t.setSlot(i, i + 1 > 255 ? 255 : i + 1);
    f.setBorders(10, 200, 150);
    f.t.setSlot(kSlotLearnedList + 3, 77);
    f.t.learnedValues()[90] = 5;
    f.t.rebuildLearned();
    for (int j : {10, 200, 150, 77, 0})
        QCOMPARE(f.learned(j), j + 1);
    QCOMPARE(f.learned(90), 0);
    QCOMPARE(f.learned(78), 0);
}

void TestTableOperations::nextLearnedPoint()
{
    Fixture f;
    f.t.learnedValues()[40] = 100;
    f.t.learnedValues()[80] = 100;
    QCOMPARE(f.t.nextLearnedPoint(40, true), 80);
    QCOMPARE(f.t.nextLearnedPoint(80, true), 255);
    QCOMPARE(f.t.nextLearnedPoint(80, false), 40);
    QCOMPARE(f.t.nextLearnedPoint(40, false), 0);
    QCOMPARE(f.t.nextLearnedPoint(255, true), 255);
    QCOMPARE(f.t.nextLearnedPoint(0, false), 0);
}

void TestTableOperations::clearLearnedKeepsBorders()
{
    Fixture f;
    f.setBorders(10, 200, 150);
    for (int i = 0; i < kPoints; ++i) {
        f.t.learnedValues()[size_t(i)] = 100;
        f.t.marks(1)[size_t(i)] = 255;
        f.t.learnedMarks()[size_t(i)] = 255;
    }
    f.t.clearLearned(0, 255);
    for (int i = 0; i < kPoints; ++i) {
        const bool border = i == 10 || i == 150 || i == 200;
        QCOMPARE(f.learned(i), border ? 100 : 0);
        QCOMPARE(f.t.marks(1)[size_t(i)], border ? 255 : 0);
        QCOMPARE(f.t.learnedMarks()[size_t(i)], border ? 255 : 0);
    }
}

void TestTableOperations::clearCorrWindowCommand()
{
    Fixture f;
    f.setBorders(10, 200, 150);
    QVERIFY(f.t.addLearnedPoint(40));
    f.t.learnedValues()[90] = 100;
    f.t.learnedValues()[45] = 100;
    TWindowState w;
    w.windowStart = 40;
    w.windowEnd = 50;
    w.editMode = EditKick;
    QVERIFY(!f.t.clearCorrectionWindowCommand(w));
    w.editMode = EditMain;
    w.windowEnd = 150; // ends on Kick
    QVERIFY(!f.t.clearCorrectionWindowCommand(w));
    QCOMPARE(f.learned(45), 100);

    w.windowEnd = 50;
    const int records = f.t.history().count();
    QVERIFY(f.t.clearCorrectionWindowCommand(w));
    QCOMPARE(f.learned(45), 0);
    QCOMPARE(f.learned(40), 0);
    QCOMPARE(f.t.byteAt(kSlotLearnedList), 0);
    QCOMPARE(f.learned(90), 100);
    // Undo goes back before the clearing, redo comes back to it.
    QCOMPARE(f.t.history().count(), records + 2);
    QVERIFY(f.t.undo());
    QCOMPARE(f.learned(45), 100);
    QVERIFY(f.t.redo());
    QCOMPARE(f.learned(45), 0);

    // With manual borders the window moves on to the next learned point.
    f.t.learnedValues()[45] = 100;
    w.manualBorders = true;
    w.correction = 7;
    w.windowStart = 45;
    w.windowEnd = 45;
    QVERIFY(f.t.clearCorrectionWindowCommand(w));
    QCOMPARE(w.windowStart, 90);
    QCOMPARE(w.windowEnd, 90);
    QCOMPARE(w.correction, 0);
    QVERIFY(w.applyArmed);

    // "P": from the MAF window start + 1 to the end.
    w.mafWindowStart = 60;
    f.t.learnedValues()[60] = 100;
    f.t.learnedValues()[150] = 100;
    f.t.clearAllLearnedCommand(w);
    QCOMPARE(f.learned(60), 100);
    QCOMPARE(f.learned(90), 0);
    QCOMPARE(f.learned(150), 100);
}

void TestTableOperations::temperatureCorrection_data()
{
    QTest::addColumn<int>("target"); // 0 IAT, 1 ECT
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("after");
    QTest::newRow("byte 253 +5") << 0 << 40 << 253 << 5 << 274 << 2;
    QTest::newRow("0 +40 limits") << 0 << 3 << 0 << 40 << 264 << 30;
    QTest::newRow("-10 -40 limits") << 1 << 0 << -10 << -40 << 328 << -30;
    QTest::newRow("IAT code 255") << 0 << 255 << 0 << 1 << 327 << 1;
    QTest::newRow("ECT code 255") << 1 << 255 << 0 << -1 << 391 << -1;
    QTest::newRow("huge correction") << 0 << 100 << 0 << 2000000000 << 289 << 30;
}

void TestTableOperations::temperatureCorrection()
{
    QFETCH(int, target);
    QFETCH(int, code);
    QFETCH(int, before);
    QFETCH(int, c);
    QFETCH(int, slot);
    QFETCH(int, after);
    Fixture f;
    const TempTarget which = target == 0 ? TempTarget::IAT : TempTarget::ECT;
    TOperatingPoint op;
    op.iatCode = code;
    op.ectCode = code;
    f.t.setOperatingPoint(op);
    f.t.setSlot(slot, before);
    TWindowState w;
    w.recording = true;
    w.autocorrDown = true;
    w.applyArmed = true;
    w.correction = c;
    QVERIFY(f.t.applyTemperatureCorrection(which, c, w));
    QCOMPARE(f.t.slot(slot), after);
    QCOMPARE(f.t.correctionAt(which, code), after);
    QCOMPARE(w.correction, 0);
    QVERIFY(!w.applyArmed);
    QVERIFY(w.autocorrReleased);
    QCOMPARE(f.quickWrites, 1);
    // Undo returns to the value before, redo to the corrected one.
    QVERIFY(f.t.undo());
    QCOMPARE(f.t.slot(slot), before);
    QVERIFY(f.t.redo());
    QCOMPARE(f.t.slot(slot), after);
}

void TestTableOperations::temperatureCorrectionNeedsRecording()
{
    Fixture f;
    TOperatingPoint op;
    op.iatCode = 40;
    f.t.setOperatingPoint(op);
    TWindowState w;
    w.recording = false;
    w.autocorrDown = true;
    w.applyArmed = true;
    w.correction = 5;
    const QByteArray before = f.t.imageBytes(1);
    const int records = f.t.history().count();
    QVERIFY(!f.t.applyTemperatureCorrection(TempTarget::IAT, 5, w));
    QCOMPARE(f.t.imageBytes(1), before);
    QCOMPARE(f.t.history().count(), records);
    QCOMPARE(f.quickWrites, 0);
    QVERIFY(w.autocorrReleased);
    QVERIFY(!w.autocorrDown);
    QVERIFY(!w.applyArmed);
    QVERIFY(!w.autocorrEnabled);
    QCOMPARE(w.correction, 5);
}

QTEST_APPLESS_MAIN(TestTableOperations)
#include "tst_table_operations.moc"
