// Undo and redo history: linking rules, the 32000-record ring, exact restore,
// the history file and what a damaged file leaves, and the read-converter
// adjustment.
#include "table/Table_iat_ect_corr.h"

#include "link/MessageSink.h"

#include <QtTest>
#include <QTemporaryDir>

using namespace tbl;

namespace {
// A state told apart by image-1 point 0 (and a few other arrays).
TBufUndoRedo state(int tag)
{
    TBufUndoRedo s;
    s.image1[0] = tag;
    s.learned[1] = tag % 256;
    return s;
}

QByteArray be16(int v)
{
    QByteArray b(2, '\0');
    b[0] = char((v >> 8) & 0xFF);
    b[1] = char(v & 0xFF);
    return b;
}

// A history file by hand: header, then records whose point 0 is the tag.
QByteArray historyFile(int announced, int current, const QList<int> &prevs, const QList<int> &nexts)
{
    QByteArray f = be16(announced) + be16(current);
    for (int r = 0; r < prevs.size(); ++r) {
        QByteArray rec(TUndoHistory::kRecordBytes, '\0');
        rec.replace(0, 2, be16(100 + r));
        rec.replace(TUndoHistory::kRecordBytes - 4, 2, be16(prevs[r]));
        rec.replace(TUndoHistory::kRecordBytes - 2, 2, be16(nexts[r]));
        f += rec;
    }
    return f;
}

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
} // namespace

class TestTableHistory : public QObject {
    Q_OBJECT
private slots:
    // A change made outside any edit (the table set directly) is recorded
    // when the next edit starts, so one undo returns exactly to it, not
    // past it to the state before.
    void editRecordsAStateTheHistoryLacks()
    {
        Table t;
        t.takeSnapshot();
        const QByteArray start = t.imageBytes(1);
        t.setSlot(10, 111);
        const QByteArray outside = t.imageBytes(1);
        {
            const TableEdit edit(t);
            t.setSlot(20, 222);
        }
        QVERIFY(t.undo());
        QCOMPARE(t.imageBytes(1).toHex(), outside.toHex());
        QVERIFY(t.undo());
        QCOMPARE(t.imageBytes(1).toHex(), start.toHex());
    }

    void undoWrapsToNewestAndRedoStays();
    void snapshotAfterUndoIsLinkedIn();
    void emptyHistoryDoesNothing();
    void ringOverwritesAtLimit();
    void restoresEveryArrayExactly();
    void fileLayout();
    void fileRoundTrip();
    void longHistoriesRoundTrip_data();
    void longHistoriesRoundTrip();
    void damagedFile_data();
    void damagedFile();
    void missingOrUnwritableFile();
    void saveReplacesOldFileWhole();
    void readConverterBypass();
};

void TestTableHistory::undoWrapsToNewestAndRedoStays()
{
    TUndoHistory h;
    for (int k = 0; k < 3; ++k)
        h.take(state(k));
    QCOMPARE(h.current(), 2);
    TBufUndoRedo out;
    const int undoSteps[] = {1, 0, 2};
    for (int expected : undoSteps) {
        QVERIFY(h.undo(&out));
        QCOMPARE(h.current(), expected);
        QCOMPARE(out.image1[0], expected);
    }
    QVERIFY(h.redo(&out));
    QCOMPARE(h.current(), 2);
}

void TestTableHistory::snapshotAfterUndoIsLinkedIn()
{
    TUndoHistory h;
    for (int k = 0; k < 3; ++k)
        h.take(state(k));
    h.undo(nullptr);
    h.undo(nullptr);
    QCOMPARE(h.current(), 0);
    h.take(state(3));
    QCOMPARE(h.current(), 3);
    QCOMPARE(h.nextOf(0), 3);
    QCOMPARE(h.nextOf(3), 1);
    QCOMPARE(h.previousOf(3), 0);
    TBufUndoRedo out;
    QVERIFY(h.redo(&out));
    QCOMPARE(out.image1[0], 1);
    QVERIFY(h.redo(&out));
    QCOMPARE(out.image1[0], 2); // the old branch is still there
}

void TestTableHistory::emptyHistoryDoesNothing()
{
    Table t;
    t.setSlot(3, 9);
    QVERIFY(!t.undo());
    QVERIFY(!t.redo());
    QCOMPARE(t.slot(3), 9);
}

void TestTableHistory::ringOverwritesAtLimit()
{
    TUndoHistory h;
    for (int k = 0; k < TUndoHistory::kMaxRecords; ++k)
        h.take(state(k));
    QCOMPARE(h.count(), 32000);
    QCOMPARE(h.current(), 31999);
    QCOMPARE(h.previousOf(0), 31999);

    h.take(state(40000)); // from the last index: overwrites record 0
    QCOMPARE(h.count(), 32000);
    QCOMPARE(h.current(), 0);
    QCOMPARE(h.nextOf(31999), 0);
    QCOMPARE(h.nextOf(0), 1);
    QCOMPARE(h.previousOf(0), 31999);
    QCOMPARE(h.record(0).image1[0], 40000);

    h.take(state(40001)); // overwrites record 1
    QCOMPARE(h.current(), 1);
    QCOMPARE(h.nextOf(0), 1);
    QCOMPARE(h.nextOf(1), 2);
    QCOMPARE(h.record(1).image1[0], 40001);

    // Near the end of the ring the new record's next wraps to 0.
    for (int k = 0; k < 31996; ++k)
        h.take(state(k));
    QCOMPARE(h.current(), 31997);
    h.take(state(50000));
    QCOMPARE(h.current(), 31998);
    QCOMPARE(h.nextOf(31998), 0);
    TBufUndoRedo out;
    QVERIFY(h.undo(&out));
    QCOMPARE(h.current(), 31997);
}

void TestTableHistory::restoresEveryArrayExactly()
{
    Table t;
    t.setUpTableView(nullptr, true, false, nullptr);
    TBufUndoRedo odd = t.currentState();
    odd.image1[264] = -3;           // a correction below zero
    odd.image1[10] = 70000;          // beyond 16 bits (log-chart edit)
    odd.image2[300] = 65533;         // came back from a history file
    odd.marks1[391] = 255;
    odd.marks2[0] = 255;
    odd.lmarks[255] = 255;
    odd.learned[7] = -2147483647 - 1;
    t.restoreState(odd);
    t.takeSnapshot();
    t.setSlot(10, 1);
    t.takeSnapshot();
    QVERIFY(t.undo());
    const TBufUndoRedo back = t.currentState();
    QCOMPARE(back.image1, odd.image1);
    QCOMPARE(back.image2, odd.image2);
    QCOMPARE(back.marks1, odd.marks1);
    QCOMPARE(back.marks2, odd.marks2);
    QCOMPARE(back.lmarks, odd.lmarks);
    QCOMPARE(back.learned, odd.learned);
}

void TestTableHistory::fileLayout()
{
    QTemporaryDir dir;
    TUndoHistory h;
    TBufUndoRedo s;
    s.image1[0] = 0x1234;
    s.image1[264] = -3;
    s.learned[0] = 0x0A0B; // learned values come before the learned marks in the file
    s.lmarks[0] = 0x0C0D;
    h.take(s);
    h.take(s);
    h.undo(nullptr);
    const QString path = dir.filePath("UndoRedoHistory.his");
    QVERIFY(h.save(path));
    const QByteArray f = readFile(path);
    QCOMPARE(f.size(), 4 + 2 * TUndoHistory::kRecordBytes);
    QCOMPARE(f.left(4), QByteArray::fromHex("00020000"));
    QCOMPARE(f.mid(4, 2), QByteArray::fromHex("1234"));
    QCOMPARE(f.mid(4 + 264 * 2, 2), QByteArray::fromHex("fffd"));
    const int learnedAt = 4 + 4 * kImageSize * 2;
    QCOMPARE(f.mid(learnedAt, 2), QByteArray::fromHex("0a0b"));
    QCOMPARE(f.mid(learnedAt + kPoints * 2, 2), QByteArray::fromHex("0c0d"));
    // record 0: previous 1 (the newest), next 1
    QCOMPARE(f.mid(4 + TUndoHistory::kRecordBytes - 4, 4), QByteArray::fromHex("00010001"));
}

void TestTableHistory::fileRoundTrip()
{
    QTemporaryDir dir;
    Table t;
    t.setUpTableView(nullptr, true, false, nullptr);
    t.setSlot(kIatBase, -3);
    t.editPoint(TableSeries::Tab1, 20, 200, true, false);
    t.editPoint(TableSeries::Trained, 20, 255, false, false);
    t.undo(); // current inside the history, not the newest
    QVERIFY(t.saveHistory(dir.path()));
    QVERIFY(QFile::exists(dir.filePath("UndoRedoHistory.his")));

    Table u;
    u.setUpTableView(nullptr, true, false, nullptr);
    u.setSlot(5, 42);
    QVERIFY(u.loadHistory(dir.path()));
    QCOMPARE(u.slot(5), 42); // loading leaves the table as it is
    QCOMPARE(u.history().count(), t.history().count());
    QCOMPARE(u.history().current(), t.history().current());
    for (int i = 0; i < t.history().count(); ++i) {
        QCOMPARE(u.history().previousOf(i), t.history().previousOf(i));
        QCOMPARE(u.history().nextOf(i), t.history().nextOf(i));
        const TBufUndoRedo a = t.history().record(i), b = u.history().record(i);
        QCOMPARE(b.image1[20], a.image1[20]);
        QCOMPARE(b.marks1, a.marks1);
        QCOMPARE(b.learned, a.learned);
        QCOMPARE(b.lmarks, a.lmarks);
    }
    QVERIFY(u.redo());
    QCOMPARE(u.slot(kIatBase), 65533); // -3 comes back as 16 bits ...
    QCOMPARE(u.imageBytes(1).at(kIatBase), char(253)); // ... and reaches the unit as 253
    QCOMPARE(u.correctionAt(TempTarget::IAT, 0), -3);
    QCOMPARE(u.learnedValues()[20], 200);
}

// More records than one read chunk holds, and a full ring that wrapped,
// with arrays shared between records and undo branches: every array of
// every record and every link comes back.
void TestTableHistory::longHistoriesRoundTrip_data()
{
    QTest::addColumn<int>("taken");
    QTest::newRow("301 records") << 301;
    QTest::newRow("full ring, wrapped") << TUndoHistory::kMaxRecords + 150;
}

void TestTableHistory::longHistoriesRoundTrip()
{
    QFETCH(int, taken);
    QTemporaryDir dir;
    TUndoHistory h;
    TBufUndoRedo s;
    for (int k = 0; k < taken; ++k) {
        s.image1[size_t(k % kImageSize)] = k & 0xFFFF; // changes every time
        if (k % 7 == 0)
            s.marks1[size_t(k % kImageSize)] = 255 - k % 256;
        if (k % 5 == 0)
            s.learned[size_t(k % kPoints)] = (k * 3) & 0xFFFF;
        if (k % 50 == 0)
            s.image2[size_t(k % kImageSize)] = 40000 + k % 1000;
        s.lmarks[0] = k >= 150 ? 255 : 0; // marks2 stays zero throughout
        h.take(s);
        if (k % 97 == 96)
            h.undo(nullptr); // a branch: links no longer follow the records' order
    }
    const QString path = dir.filePath("UndoRedoHistory.his");
    QVERIFY(h.save(path));
    TUndoHistory back;
    QVERIFY(back.load(path));
    QCOMPARE(back.count(), h.count());
    QCOMPARE(back.current(), h.current());
    for (int i = 0; i < h.count(); ++i) {
        QCOMPARE(back.previousOf(i), h.previousOf(i));
        QCOMPARE(back.nextOf(i), h.nextOf(i));
        const TBufUndoRedo a = h.record(i), b = back.record(i);
        QCOMPARE(b.image1, a.image1);
        QCOMPARE(b.image2, a.image2);
        QCOMPARE(b.marks1, a.marks1);
        QCOMPARE(b.marks2, a.marks2);
        QCOMPARE(b.lmarks, a.lmarks);
        QCOMPARE(b.learned, a.learned);
    }
}

void TestTableHistory::damagedFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("current");
    QTest::addColumn<QList<int>>("prevs");
    QTest::addColumn<QList<int>>("nexts");
    const QByteArray three = historyFile(3, 1, {2, 0, 1}, {1, 2, 2});
    QTest::newRow("intact") << three << true << 3 << 1 << QList<int>{2, 0, 1} << QList<int>{1, 2, 2};
    QTest::newRow("cut inside record 3") << three.left(three.size() - 10) << true << 2 << 1
                                         << QList<int>{0, 0} << QList<int>{1, 1};
    QTest::newRow("cut inside record 2, current beyond") << three.left(4 + TUndoHistory::kRecordBytes + 7)
                                                         << true << 1 << 0 << QList<int>{0} << QList<int>{0};
    QTest::newRow("announces 65535") << historyFile(65535, 0, {0}, {0}) << true << 1 << 0
                                     << QList<int>{0} << QList<int>{0};
    QTest::newRow("links and index beyond") << historyFile(2, 900, {7, 0}, {1, 60000}) << true << 2 << 1
                                            << QList<int>{0, 0} << QList<int>{1, 1};
    QTest::newRow("announces fewer than held") << historyFile(1, 0, {0, 0}, {0, 0}) << true << 1 << 0
                                               << QList<int>{0} << QList<int>{0};
    QTest::newRow("header only") << QByteArray::fromHex("7d000005") << false << 1 << 0 << QList<int>{0} << QList<int>{0};
    QTest::newRow("three bytes") << QByteArray("abc") << false << 1 << 0 << QList<int>{0} << QList<int>{0};
    QTest::newRow("empty") << QByteArray() << false << 1 << 0 << QList<int>{0} << QList<int>{0};
    QTest::newRow("announces none") << historyFile(0, 0, {0}, {0}) << false << 1 << 0
                                    << QList<int>{0} << QList<int>{0};
}

void TestTableHistory::damagedFile()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, loaded);
    QFETCH(int, count);
    QFETCH(int, current);
    QFETCH(QList<int>, prevs);
    QFETCH(QList<int>, nexts);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("UndoRedoHistory.his"), file));
    Table t;
    t.setUpTableView(nullptr, true, false, nullptr); // one set-up record
    QCOMPARE(t.loadHistory(dir.path()), loaded);
    QCOMPARE(t.history().count(), count);
    QCOMPARE(t.history().current(), current);
    for (int i = 0; i < count; ++i) {
        QCOMPARE(t.history().previousOf(i), prevs.at(i));
        QCOMPARE(t.history().nextOf(i), nexts.at(i));
    }
    // Whatever was read, undo and redo stay inside the records.
    for (int k = 0; k < 5; ++k) {
        QVERIFY(t.undo());
        QVERIFY(t.redo());
    }
    if (loaded)
        QCOMPARE(t.history().record(0).image1[0], 100);
}

void TestTableHistory::missingOrUnwritableFile()
{
    QTemporaryDir dir;
    RecordingSink sink;
    ScopedMessageSink scope(&sink);
    Table t;
    t.setUpTableView(nullptr, true, false, nullptr);
    QVERIFY(!t.loadHistory(dir.path())); // no file: only the set-up record
    QCOMPARE(t.history().count(), 1);
    QVERIFY(!t.saveHistory(dir.filePath("no/such/folder")));
    QVERIFY(!t.loadHistory(dir.path() + "/no/such/folder"));
    QVERIFY(sink.messages.isEmpty()); // history file errors are silent
}

void TestTableHistory::saveReplacesOldFileWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("UndoRedoHistory.his");
    QVERIFY(writeFile(path, QByteArray(100000, 'x')));
    Table t;
    t.setUpTableView(nullptr, true, false, nullptr);
    QVERIFY(t.saveHistory(dir.path()));
    QCOMPARE(readFile(path).size(), 4 + TUndoHistory::kRecordBytes);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"UndoRedoHistory.his"});
    // A folder in the file's place cannot be replaced: the save fails, nothing is lost.
    QTemporaryDir dir2;
    QVERIFY(QDir(dir2.path()).mkdir("UndoRedoHistory.his"));
    QVERIFY(writeFile(dir2.filePath("UndoRedoHistory.his/keep"), "k"));
    QVERIFY(!t.saveHistory(dir2.path()));
    QCOMPARE(readFile(dir2.filePath("UndoRedoHistory.his/keep")), QByteArray("k"));
}

void TestTableHistory::readConverterBypass()
{
    // Young history: not enough records before the current one.
    TUndoHistory young;
    for (int k = 0; k < 5; ++k)
        young.take(state(k));
    QVERIFY(!young.bypassBeforeCurrent(4));
    QCOMPARE(young.previousOf(4), 3);

    TUndoHistory h;
    for (int k = 0; k < 8; ++k)
        h.take(state(k));
    QVERIFY(h.bypassBeforeCurrent(4)); // current 7 skips 3..6
    TBufUndoRedo out;
    h.undo(&out);
    QCOMPARE(out.image1[0], 2);
    h.redo(&out);
    QCOMPARE(out.image1[0], 7);

    // Records not linked in one after another (undo before the last ones): left alone.
    TUndoHistory branched;
    for (int k = 0; k < 8; ++k)
        branched.take(state(k));
    branched.undo(nullptr);
    branched.undo(nullptr);
    branched.take(state(8)); // record 8, previous 5
    QVERIFY(!branched.bypassBeforeCurrent(4));
    QCOMPARE(branched.previousOf(8), 5);

    // A ring that wrapped a moment ago: current 2 has no five records below it.
    TUndoHistory ring;
    for (int k = 0; k < TUndoHistory::kMaxRecords + 3; ++k)
        ring.take(state(k % 1000));
    QCOMPARE(ring.current(), 2);
    QVERIFY(!ring.bypassBeforeCurrent(4));
}

QTEST_APPLESS_MAIN(TestTableHistory)
#include "tst_table_history.moc"
