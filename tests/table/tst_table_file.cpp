// Tab files: names, the 392-byte layout, the accepted sizes, the failure
// messages and that a failed save keeps the old file.
#include "table/TableFile.h"
#include "table/Table_iat_ect_corr.h"

#include "link/MessageSink.h"

#include <QtTest>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace tbl;

namespace {
struct Fixture {
    Table t;
    TextParamFields boxes1, boxes2;
    RecordingSink sink;
    ScopedMessageSink scope{&sink};
    QTemporaryDir dir;
    Fixture()
    {
        t.setUpTableView(nullptr, true, false, &boxes1);
        t.setUpSecondImage(&boxes2);
    }
    QString path(const QString &name) const { return dir.filePath(name); }
};

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Byte i of a test file holds (i * 7 + 3) & 0xFF, so every offset is recognisable.
QByteArray pattern(int n)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char((i * 7 + 3) & 0xFF);
    return b;
}
} // namespace

class TestTableFile : public QObject {
    Q_OBJECT
private slots:
    void fileName_data();
    void fileName();
    void saveWritesTheImageAndReadsTheBoxes();
    void saveImage2();
    void loadSizes_data();
    void loadSizes();
    void loadIntoImage2LeavesImage1();
    void loadRebuildsLearnedAndSnapshots();
    void loadFailures_data();
    void loadFailures();
    void saveFailures();
    void roundTrip();
    void loadThenSaveKeepsEveryByte();
};

void TestTableFile::fileName_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("written");
    QTest::newRow("curve") << "curve" << "curve.tab";
    QTest::newRow("curve.TAB") << "curve.TAB" << "curve.TAB.tab";
    QTest::newRow("curve.tab") << "curve.tab" << "curve.tab";
    QTest::newRow("tab") << "tab" << "tab.tab";
}

void TestTableFile::fileName()
{
    QFETCH(QString, given);
    QFETCH(QString, written);
    Fixture f;
    QCOMPARE(tabFileName(given), written);
    QVERIFY(saveTabFile(f.t, f.path(given), 1));
    QVERIFY(QFile::exists(f.path(written)));
    QCOMPARE(f.t.lastFileName(), f.path(written));
}

void TestTableFile::saveWritesTheImageAndReadsTheBoxes()
{
    Fixture f;
    for (int i = 0; i < kPoints; ++i)
        f.t.setSlot(i, i);
    f.t.setSlot(kIatBase + 1, -3);
    f.t.setSlot(kEctBase, 300); // only the low byte is kept
    f.boxes1.setText(ParamSmoothMaf, "50");
    f.boxes1.setText(ParamTpsThreshold, "7");
    QVERIFY(saveTabFile(f.t, f.path("a"), 1));
    const QByteArray bytes = readFile(f.path("a.tab"));
    QCOMPARE(bytes.size(), 392);
    QCOMPARE(bytes, f.t.imageBytes(1));
    QCOMPARE(quint8(bytes.at(100)), quint8(100));
    QCOMPARE(quint8(bytes.at(kIatBase + 1)), quint8(253));
    QCOMPARE(quint8(bytes.at(kEctBase)), quint8(44));
    QCOMPARE(quint8(bytes.at(260)), quint8(64));
    QCOMPARE(quint8(bytes.at(263)), quint8(255));
    QVERIFY(f.sink.messages.isEmpty());
}

void TestTableFile::saveImage2()
{
    Fixture f;
    f.t.image(2)[5] = 77;
    f.boxes2.setText(ParamThreshold, "9");
    QVERIFY(saveTabFile(f.t, f.path("b.tab"), 2));
    const QByteArray bytes = readFile(f.path("b.tab"));
    QCOMPARE(int(bytes.at(5)), 77);
    QCOMPARE(int(bytes.at(257)), 9);
    QCOMPARE(f.t.slot(257), 5); // image 1 untouched
}

void TestTableFile::loadSizes_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("defaultParams");
    QTest::addColumn<bool>("zeroCorrections");
    QTest::addColumn<int>("taken"); // bytes taken from the file
    QTest::newRow("0") << 0 << true << true << 0;
    QTest::newRow("100") << 100 << true << true << 100;
    QTest::newRow("256") << 256 << true << true << 256;
    QTest::newRow("257") << 257 << false << true << 257;
    QTest::newRow("391") << 391 << false << true << 264;
    QTest::newRow("392") << 392 << false << false << 392;
    QTest::newRow("512 older layout") << 512 << false << true << 264;
    QTest::newRow("600") << 600 << false << false << 392;
    QTest::newRow("700") << 700 << false << false << 392;
}

void TestTableFile::loadSizes()
{
    QFETCH(int, size);
    QFETCH(bool, defaultParams);
    QFETCH(bool, zeroCorrections);
    QFETCH(int, taken);
    Fixture f;
    f.t.image(1).fill(99);
    const QByteArray file = pattern(size);
    QVERIFY(writeFile(f.path("s.tab"), file));
    QVERIFY(loadTabFile(f.t, f.path("s.tab"), 1));
    for (int i = 0; i < kImageSize; ++i) {
        int expected;
        if (i >= kIatBase && zeroCorrections)
            expected = 0;
        else if (i >= kParamBase && i < kIatBase && defaultParams)
            expected = kDefaultParams[size_t(i - kParamBase)];
        else
            expected = i < taken ? quint8(file.at(i)) : 0;
        QVERIFY2(f.t.slot(i) == expected, qPrintable(QString("slot %1: %2, expected %3").arg(i).arg(f.t.slot(i)).arg(expected)));
    }
    QCOMPARE(f.boxes1.text(ParamTpsThreshold), QString::number(f.t.slot(263)));
    QVERIFY(f.sink.messages.isEmpty());
}

void TestTableFile::loadIntoImage2LeavesImage1()
{
    Fixture f;
    const TImage image1 = f.t.image(1);
    f.boxes1.setText(ParamSmoothMaf, "kept");
    QVERIFY(writeFile(f.path("c.tab"), pattern(392)));
    QVERIFY(loadTabFile(f.t, f.path("c.tab"), 2));
    QCOMPARE(f.t.image(1), image1);
    QCOMPARE(f.boxes1.text(ParamSmoothMaf), QString("kept"));
    QCOMPARE(f.t.imageBytes(2), pattern(392));
    QCOMPARE(f.boxes2.text(ParamMafTime), QString::number(quint8(pattern(392).at(256))));
}

void TestTableFile::loadRebuildsLearnedAndSnapshots()
{
    Fixture f;
    QByteArray img(392, '\0');
    for (int i = 0; i < kPoints; ++i)
        img[i] = char(i);
    img[kSlotMin] = char(10);
    img[kSlotMax] = char(200);
    img[kSlotKick] = char(150);
    img[kSlotLearnedList] = char(50);
    QVERIFY(writeFile(f.path("d.tab"), img));
    f.t.learnedValues()[60] = 60;
    const int records = f.t.history().count();
    QVERIFY(loadTabFile(f.t, f.path("d.tab"), 1));
    QCOMPARE(f.t.learnedValues()[50], 50);
    QCOMPARE(f.t.learnedValues()[150], 150);
    QCOMPARE(f.t.learnedValues()[60], 0);
    QCOMPARE(f.t.history().count(), records + 1);
    QCOMPARE(f.t.history().record(f.t.history().current()).image1[100], 100);
}

void TestTableFile::loadFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << "missing.tab";
    QTest::newRow("folder") << "folder.tab";
    QTest::newRow("pipe") << "pipe.tab";
}

void TestTableFile::loadFailures()
{
    QFETCH(QString, name);
    Fixture f;
    QVERIFY(QDir(f.dir.path()).mkdir("folder.tab"));
    QCOMPARE(::mkfifo(QFile::encodeName(f.path("pipe.tab")).constData(), 0600), 0);
    const QByteArray before = f.t.imageBytes(1);
    const int records = f.t.history().count();
    QVERIFY(!loadTabFile(f.t, f.path(name), 1));
    QCOMPARE(f.sink.messages, QStringList{f.path(name) + "Tab file load error"});
    QCOMPARE(f.t.imageBytes(1), before);
    QCOMPARE(f.t.history().count(), records);
}

void TestTableFile::saveFailures()
{
    Fixture f;
    // No folder to write into.
    QVERIFY(!saveTabFile(f.t, f.path("nowhere/x"), 1));
    QCOMPARE(f.sink.messages, QStringList{"Tab file save error\n\nNo such file or directory"});
    QCOMPARE(f.t.lastFileName(), QString());

    // A folder stands where the file would go: it cannot be replaced and
    // nothing inside it is lost.
    f.sink.messages.clear();
    QVERIFY(QDir(f.dir.path()).mkdir("taken.tab"));
    QVERIFY(writeFile(f.path("taken.tab/inner"), "keep"));
    QVERIFY(!saveTabFile(f.t, f.path("taken"), 1));
    QCOMPARE(f.sink.messages, QStringList{"Can't delete file before saving\n\n" + f.path("taken.tab") + " is not a file"});
    QCOMPARE(readFile(f.path("taken.tab/inner")), QByteArray("keep"));

    // A save over an existing file replaces it whole and leaves no temporary file.
    f.sink.messages.clear();
    QVERIFY(writeFile(f.path("old.tab"), QByteArray(1000, 'o')));
    QVERIFY(saveTabFile(f.t, f.path("old.tab"), 1));
    QCOMPARE(readFile(f.path("old.tab")).size(), 392);
    QCOMPARE(QDir(f.dir.path()).entryList({"old.tab*"}, QDir::Files | QDir::Hidden), QStringList{"old.tab"});
    QVERIFY(f.sink.messages.isEmpty());
}

void TestTableFile::roundTrip()
{
    Fixture f;
    for (int i = 0; i < kImageSize; ++i)
        f.t.setSlot(i, (i * 13) & 0xFF);
    f.t.setSlot(kIatBase, -30);
    f.t.showParameters(1);
    QVERIFY(saveTabFile(f.t, f.path("r"), 1));
    const QByteArray saved = f.t.imageBytes(1);
    Fixture g;
    QVERIFY(loadTabFile(g.t, f.path("r.tab"), 1));
    QCOMPARE(g.t.imageBytes(1), saved);
    QCOMPARE(g.t.correctionAt(TempTarget::IAT, 0), -30);
}

void TestTableFile::loadThenSaveKeepsEveryByte()
{
    Fixture f;
    QByteArray bytes = pattern(kImageSize);
    // Parameter bytes that no shown percentage stores again (130 shows 2 %, 2 % stores 131).
    const char params[8] = {2, char(200), char(130), 2, 7, 11, char(255), 100};
    for (int k = 0; k < 8; ++k)
        bytes[256 + k] = params[k];
    QVERIFY(writeFile(f.path("in.tab"), bytes));
    QVERIFY(loadTabFile(f.t, f.path("in.tab"), 1));
    QVERIFY(saveTabFile(f.t, f.path("out.tab"), 1));
    QByteArray expected = bytes;
    expected[263] = char(255); // the TPS threshold is always stored as 255
    QCOMPARE(readFile(f.path("out.tab")), expected);
}

QTEST_APPLESS_MAIN(TestTableFile)
#include "tst_table_file.moc"
