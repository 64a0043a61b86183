// The Log without a device: live tick, view preparation, O2SM, log files.
#include <QtTest>

#include <QTemporaryDir>

#include "link/MessageSink.h"
#include "link/Rxtx.h"
#include "log/LogCsv.h"
#include "log/Log_iat_ect_corr.h"
#include "log/Oxygensensor.h"
#include "table/Table_iat_ect_corr.h"
#include "throttle/TpsCalibration.h"

namespace {

struct Recorder : TSubscriber {
    void handleMessage(TMessage &m) override
    {
        ids.append(m.id);
        if (m.id == kMsgDashData)
            dash = static_cast<TMsgDashData &>(m);
    }
    QList<std::uint32_t> ids;
    TMsgDashData dash;
};

struct CountingChart : LogChartView {
    void rebuild(int from, int to, int step) override
    {
        ++rebuilds;
        lastFrom = from;
        lastTo = to;
        lastStep = step;
    }
    int rebuilds = 0, lastFrom = -1, lastTo = -1, lastStep = 0;
};

struct Rig {
    Rig() : channel(broadcaster), log(tps, channel, broadcaster)
    {
        broadcaster.subscribe(&recorder);
        log.setUpView(&chart, &table);
    }
    TLogRecord rec(int i) const
    {
        TLogRecord r{};
        r[ColConverter] = (i * 7) & 0xFF;
        r[ColMarker] = i % 3 == 0 ? 128 : 0;
        r[ColAuxOut] = (i * 3) & 0xFF;
        r[ColMaf] = (i * 5) & 0xFF;
        r[ColTps] = (i * 11) & 0xFF;
        r[ColRpmPeriod] = (i * 977) & 0xFFFF;
        r[ColO2] = (i * 13) & 0xFF;
        r[ColCorr] = (i % 511) - 255;
        r[ColIat] = (i * 17) & 0xFF;
        r[ColEct] = (i * 19) & 0xFF;
        r[ColAuxSlot2] = (i % 256) - 128;
        r[ColAuxSlot3] = 127 - (i % 256);
        r[ColO2SM] = (i * 23) & 0xFF;
        r[ColLogCorr] = 255 - (i % 511);
        return r;
    }
    void fill(int n)
    {
        for (int i = 0; i < n; ++i)
            QVERIFY(log.addRecord(rec(i)));
    }
    TZiravBroadcaster broadcaster;
    TRXTX channel;
    TTpsCalibration tps;
    Table table;
    CountingChart chart;
    Recorder recorder;
    Log log;
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

// The system's words for a save into a folder that does not exist, passed
// on after the program's own message.
#ifdef Q_OS_WIN
const QString kNoFolderReason = QStringLiteral("Path not found."); // as Wine words it
#else
const QString kNoFolderReason = QStringLiteral("No such file or directory");
#endif

class TestLogModel : public QObject {
    Q_OBJECT
private slots:
    void dashboardRecordCarriesTheNewestRecord();
    void o2Average_data();
    void o2Average();
    void autocorrectionStartsAt121Records();
    void o2smMovingAverage();
    void viewAfterPrepare();
    void decimation_data();
    void decimation();

    void fileRoundTripKeepsEveryStoredColumn();
    void signMagnitudeBytes();
    void signByteOtherThan128_data();
    void signByteOtherThan128();
    void recordLayoutByteByByte();
    void longLogsLoadInPiecesUpToTheLimit();
    void fileNameExtension_data();
    void fileNameExtension();
    void loadLayouts_data();
    void loadLayouts();
    void loadFailures();
    void saveFailureKeepsTheOldFile();
    void csvRowsInPieces();
    void csvFailures();
};

void TestLogModel::dashboardRecordCarriesTheNewestRecord()
{
    Rig rig;
    rig.log.setTrackBarB(1);
    TLogRecord r{};
    r[ColConverter] = 200;
    r[ColMarker] = 128;
    r[ColAuxOut] = 55;
    r[ColMaf] = 77;
    r[ColTps] = 123;
    r[ColRpmPeriod] = 0; // no engine pulses: rpm 1
    r[ColO2] = 26;
    r[ColIat] = 3;
    r[ColEct] = 150;
    r[ColAuxSlot2] = -16;
    r[ColAuxSlot3] = -4;
    rig.log.addRecord(r);
    rig.log.liveTick();
    const TMsgDashData &d = rig.recorder.dash;
    QCOMPARE(rig.recorder.ids, QList<std::uint32_t>{kMsgDashData});
    QCOMPARE(d.converter, 200);
    QCOMPARE(d.maf, 77);
    QCOMPARE(d.tps, 123);
    QCOMPARE(d.slot0, 3);
    QCOMPARE(d.slot2, -16);
    QCOMPARE(d.slot1, 150);
    QCOMPARE(d.auxOut, 55);
    QCOMPARE(d.marker, 128);
    QCOMPARE(d.tpsText, QStringLiteral("123N2.41V"));
    QCOMPARE(d.rpm, 1);
    QCOMPARE(d.o2, 26);
    // Sensor type 0 after construction: narrow-band display.
    QCOMPARE(d.o2Text, QStringLiteral("0.51V"));
    QCOMPARE(d.o2Gauge, 129);
    QCOMPARE(d.o2Colour, o2::kGreen);

    const TOperatingPoint &p = rig.table.operatingPoint();
    QCOMPARE(p.inputCode, 77);
    QCOMPARE(p.outputCode, 200);
    QCOMPARE(p.auxOutput, 55);
    QCOMPARE(p.iatCode, 3);
    QCOMPARE(p.ectCode, 150);
    QCOMPARE(p.iatCorr, -16);
    QCOMPARE(p.ectCorr, -4);

    r[ColRpmPeriod] = 1000;
    rig.log.addRecord(r);
    rig.log.liveTick();
    QCOMPARE(rig.recorder.dash.rpm, 1500);
}

void TestLogModel::o2Average_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("crossings"); // 0: fast window, above: fine window
    QTest::addColumn<int>("fast");
    QTest::addColumn<int>("fine");
    QTest::addColumn<int>("expected");
    // O2 of record i is i: the last n average to (2 * records - n - 1) / 2, truncated.
    QTest::newRow("fast window of 10") << 50 << 0 << 10 << 1000 << 44;
    QTest::newRow("fine window larger than the log: last value") << 50 << 1 << 10 << 1000 << 49;
    QTest::newRow("fine window of 4") << 50 << 2 << 1000 << 4 << 47;
    QTest::newRow("window of 0: last value") << 50 << 0 << 0 << 0 << 49;
    QTest::newRow("window equal to the log") << 50 << 0 << 50 << 0 << 24;
}

void TestLogModel::o2Average()
{
    QFETCH(int, records);
    QFETCH(int, crossings);
    QFETCH(int, fast);
    QFETCH(int, fine);
    QFETCH(int, expected);
    Rig rig;
    for (int i = 0; i < records; ++i) {
        TLogRecord r{};
        r[ColO2] = i;
        rig.log.addRecord(r);
    }
    rig.log.setTrackBarB(fast);
    rig.log.setTrackBarT(fine);
    rig.log.autotune().crossings = crossings;
    rig.log.liveTick();
    QCOMPARE(rig.recorder.dash.o2, expected);
}

void TestLogModel::autocorrectionStartsAt121Records()
{
    Rig rig;
    rig.fill(120);
    rig.log.liveTick();
    QVERIFY(!rig.recorder.ids.contains(kMsgAutocorrection));
    rig.log.addRecord(rig.rec(120));
    rig.log.liveTick();
    QCOMPARE(rig.recorder.ids.count(kMsgAutocorrection), 1);
    // Nothing at all for an empty log.
    Rig empty;
    empty.log.liveTick();
    QVERIFY(empty.recorder.ids.isEmpty());
}

void TestLogModel::o2smMovingAverage()
{
    {
        Rig rig;
        rig.fill(29);
        rig.log.computeO2SM();
        for (int i = 0; i < 29; ++i)
            QCOMPARE(rig.log.value(ColO2SM, i), rig.rec(i)[ColO2SM]); // untouched
    }
    Rig rig;
    const int n = 100;
    for (int i = 0; i < n; ++i) {
        TLogRecord r{};
        r[ColO2] = (i * 37) % 200;
        rig.log.addRecord(r);
    }
    rig.log.computeO2SM();
    for (int k = 0; k < n; ++k) {
        int expected = 0;
        if (k >= 30 && k <= n - 3) {
            long long sum = 0;
            int span = 0;
            for (int i = k - 20; i <= std::min(k + 19, n - 1); ++i, ++span)
                sum += rig.log.value(ColO2, i);
            expected = span == 40 ? int(double(sum) * 0.025) : int(sum / span);
        }
        QCOMPARE(rig.log.value(ColO2SM, k), expected);
    }
}

void TestLogModel::viewAfterPrepare()
{
    Rig rig;
    TLogRecord r{};
    r[ColMaf] = 10;
    for (int i = 0; i < 200; ++i)
        rig.log.addRecord(r);
    rig.log.setValue(ColMaf, 199, 255); // the last record is not shown
    rig.log.setValue(ColMaf, 100, 254);
    rig.log.setValue(ColCorr, 50, -45);
    rig.log.setValue(ColLogCorr, 60, -40); // above the moved minimum: no effect
    rig.log.prepareView();
    QCOMPARE(rig.log.visibleFirst(), 0);
    QCOMPARE(rig.log.visibleLast(), 198);
    QCOMPARE(rig.log.maxMafInLog(), 254);
    QCOMPARE(rig.log.axisLimits().valueMin, -65.0);
    QCOMPARE(rig.log.axisLimits().valueMax, 300.0);
    QCOMPARE(rig.log.axisLimits().timeMax, 1980.0);
    QVERIFY(rig.log.viewHistory().empty());
}

void TestLogModel::decimation_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("text");
    QTest::newRow("short log") << 100 << 1 << "0.01s";
    QTest::newRow("1000 records") << 1000 << 2 << "0.02s";
    QTest::newRow("50 000 records") << 49998 << 116 << "1.16s";
    QTest::newRow("step 5") << 2150 << 5 << "0.05s";
    QTest::newRow("step 150") << 64500 << 150 << "1.50s";
    QTest::newRow("empty") << -1 << 1 << "0.01s";
}

void TestLogModel::decimation()
{
    QFETCH(int, records);
    QFETCH(int, step);
    QFETCH(QString, text);
    QCOMPARE(decimationStepFor(records), step);
    QCOMPARE(resolutionTextFor(step), text);
}

void TestLogModel::fileRoundTripKeepsEveryStoredColumn()
{
    QTemporaryDir dir;
    Rig rig;
    const int n = 1200;
    rig.fill(n);
    rig.log.headerA = 0x12;
    rig.log.headerB = 0x34;
    const QString path = dir.filePath(QStringLiteral("run1"));
    QVERIFY(rig.log.saveToFile(path));
    const QByteArray bytes = readAll(path + QStringLiteral(".log"));
    QCOMPARE(bytes.size(), 15 + 15 * n);
    QCOMPARE(bytes.left(11), QByteArray("\x12\x34ZiRaV\0\0\0\x01", 11));

    Rig back;
    back.log.headerA = back.log.headerB = 0;
    QVERIFY(back.log.loadFromFile(path + QStringLiteral(".log")));
    QCOMPARE(back.log.count(), n);
    QCOMPARE(int(back.log.headerA), 0x12);
    QCOMPARE(int(back.log.headerB), 0x34);
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < kLogColumns; ++c) {
            if (c == ColAuxSlot2 || c == ColAuxSlot3)
                continue;
            QCOMPARE(back.log.value(c, i), rig.log.value(c, i));
        }
    QCOMPARE(back.log.columnLength(ColAuxSlot2), 0);
    QCOMPARE(back.log.columnLength(ColAuxSlot3), 0);
    QCOMPARE(back.log.columnLength(ColMaf), n);
    QVERIFY(back.log.hasData());
    QCOMPARE(back.log.visibleLast(), n - 2);
    QCOMPARE(back.log.decimationStep(), decimationStepFor(n - 1));
    QCOMPARE(back.chart.rebuilds, 1);
    QCOMPARE(int(back.log.viewHistory().size()), 1);
}

void TestLogModel::signMagnitudeBytes()
{
    QTemporaryDir dir;
    Rig rig;
    TLogRecord r{};
    r[ColCorr] = -5;
    r[ColLogCorr] = 0;
    rig.log.addRecord(r);
    r[ColCorr] = 0;
    r[ColLogCorr] = -255;
    rig.log.addRecord(r);
    const QString path = dir.filePath(QStringLiteral("s.log"));
    QVERIFY(rig.log.saveToFile(path));
    const QByteArray b = readAll(path);
    QCOMPARE(b.mid(15 + 8, 2), QByteArray("\x05\x80", 2));
    QCOMPARE(b.mid(15 + 13, 2), QByteArray("\x00\x00", 2));
    QCOMPARE(b.mid(30 + 8, 2), QByteArray("\x00\x00", 2));
    QCOMPARE(b.mid(30 + 13, 2), QByteArray("\xFF\x80", 2));
    Rig back;
    QVERIFY(back.log.loadFromFile(path));
    QCOMPARE(back.log.value(ColCorr, 0), -5);
    QCOMPARE(back.log.value(ColLogCorr, 1), -255);
}

// Any sign byte but 0 makes the magnitude negative, as in files written by
// other tools; only 0 and 128 are ever written.
void TestLogModel::signByteOtherThan128_data()
{
    QTest::addColumn<int>("sign");
    QTest::addColumn<bool>("negative");
    QTest::newRow("0") << 0x00 << false;
    QTest::newRow("1") << 0x01 << true;
    QTest::newRow("127") << 0x7F << true;
    QTest::newRow("128") << 0x80 << true;
    QTest::newRow("255") << 0xFF << true;
}

void TestLogModel::signByteOtherThan128()
{
    QFETCH(int, sign);
    QFETCH(bool, negative);
    QByteArray file("\0\0ZiRaV\0\0\0\x01\0\0\0\0", 15);
    QByteArray record = QByteArray::fromHex("0102030405060708190a0b0c0d2d0e");
    record[9] = char(sign);
    record[14] = char(sign);
    file += record;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sign.log"));
    writeAll(path, file);
    Rig rig;
    QVERIFY(rig.log.loadFromFile(path));
    QCOMPARE(rig.log.count(), 1);
    QCOMPARE(rig.log.value(ColCorr, 0), negative ? -0x19 : 0x19);
    QCOMPARE(rig.log.value(ColLogCorr, 0), negative ? -0x2D : 0x2D);
    QCOMPARE(rig.log.value(ColIat, 0), 0x0B); // the fields beside the sign bytes stay put
    QCOMPARE(rig.log.value(ColEct, 0), 0x0C);
    QCOMPARE(rig.log.value(ColO2SM, 0), 0x0D);
}

// One record whose fields all hold different bytes: a swapped pair of
// columns or a reversed period shows here.
void TestLogModel::recordLayoutByteByByte()
{
    const QByteArray bytes("\x11\x22\x33\x44\x55\x66\x77\x88\x19\x80\xAA\xBB\xCC\x2D\x00", 15);
    TLogRecord r{};
    r[ColConverter] = 0x11;
    r[ColMarker] = 0x22;
    r[ColAuxOut] = 0x33;
    r[ColMaf] = 0x44;
    r[ColTps] = 0x55;
    r[ColRpmPeriod] = 0x6677;
    r[ColO2] = 0x88;
    r[ColCorr] = -0x19;
    r[ColIat] = 0xAA;
    r[ColEct] = 0xBB;
    r[ColO2SM] = 0xCC;
    r[ColLogCorr] = 0x2D;
    QTemporaryDir dir;
    Rig rig;
    QVERIFY(rig.log.addRecord(r));
    const QString path = dir.filePath(QStringLiteral("layout.log"));
    QVERIFY(rig.log.saveToFile(path));
    const QByteArray saved = readAll(path);
    QCOMPARE(saved.size(), 30);
    QCOMPARE(saved.mid(15), bytes);

    writeAll(path, saved.left(15) + bytes);
    Rig back;
    QVERIFY(back.log.loadFromFile(path));
    QCOMPARE(back.log.count(), 1);
    for (int c = 0; c < kLogColumns; ++c)
        QCOMPARE(back.log.value(c, 0), r[size_t(c)]);
}

// Logs are read a piece at a time (records across the pieces' borders come
// back whole); a file longer than the program keeps is refused before the
// log changes.
void TestLogModel::longLogsLoadInPiecesUpToTheLimit()
{
    RecordingSink sink;
    ScopedMessageSink scope(&sink);
    QTemporaryDir dir;
    Rig rig;
    const int n = 3 * 65536 + 5;
    rig.fill(n);
    const QString path = dir.filePath(QStringLiteral("long.log"));
    QVERIFY(rig.log.saveToFile(path));
    Rig back;
    QVERIFY(back.log.loadFromFile(path));
    QCOMPARE(back.log.count(), n);
    for (int i : {0, 65535, 65536, 131071, 131072, n - 1})
        for (int c : {int(ColConverter), int(ColRpmPeriod), int(ColCorr), int(ColLogCorr)})
            QCOMPARE(back.log.value(c, i), rig.log.value(c, i));

    // Exactly 24 hours (a sparse file ending in a record of its own) loads
    // whole; one record more is refused and leaves the log as it was.
    const qint64 limit = TLogColumns::kMaxRecords;
    const QByteArray last = QByteArray::fromHex("0102030405060708090a0b0c0d0e00");
    {
        QFile f(path);
        QVERIFY(f.resize(15 + 15 * (limit - 1)));
        QVERIFY(f.open(QIODevice::Append));
        QCOMPARE(f.write(last), qint64(15));
    }
    {
        Rig day;
        QVERIFY(day.log.loadFromFile(path));
        QCOMPARE(day.log.count(), TLogColumns::kMaxRecords);
        QCOMPARE(day.log.value(ColConverter, int(limit - 1)), 0x01);
        QCOMPARE(day.log.value(ColRpmPeriod, int(limit - 1)), 0x0607);
        QCOMPARE(day.log.value(ColCorr, int(limit - 1)), -0x09);
        QCOMPARE(day.log.value(ColLogCorr, int(limit - 1)), 0x0E);
        QCOMPARE(day.log.value(ColConverter, int(limit - 2)), 0);
        QVERIFY(sink.messages.isEmpty());
    }
    QFile f(path);
    QVERIFY(f.resize(15 + 15 * (limit + 1)));
    QVERIFY(!back.log.loadFromFile(path));
    QCOMPARE(sink.messages, QStringList{QString::fromUtf8(
                                "Log file is too long: more than 8640000 records (24 hours).\n\n"
                                "Файл лога слишком длинный: больше 8640000 записей (24 часа).")});
    QCOMPARE(back.log.count(), n);
}

void TestLogModel::fileNameExtension_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("written");
    QTest::newRow("no extension") << "run1" << "run1.log";
    QTest::newRow("upper case is not the extension") << "RUN1.LOG" << "RUN1.LOG.log";
    QTest::newRow("already .log") << "a.log" << "a.log";
}

void TestLogModel::fileNameExtension()
{
    QFETCH(QString, given);
    QFETCH(QString, written);
    QTemporaryDir dir;
    Rig rig;
    rig.fill(3);
    QVERIFY(rig.log.saveToFile(dir.filePath(given)));
    QVERIFY(QFile::exists(dir.filePath(written)));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

void TestLogModel::loadLayouts_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("records");
    QTest::addColumn<bool>("drawn");
    const QByteArray header("\0\0ZiRaV\0\0\0\x01\0\0\0\0", 15);
    auto current = [&](int n, int extra) {
        QByteArray b = header;
        for (int i = 0; i < n; ++i)
            b += QByteArray(15, char(i));
        return b + QByteArray(extra, '\x07');
    };
    QTest::newRow("117 records are not drawn") << current(117, 0) << 117 << false;
    QTest::newRow("118 records are drawn") << current(118, 0) << 118 << true;
    QTest::newRow("partial record ignored") << current(120, 14) << 120 << true;
    QTest::newRow("header only") << current(0, 0) << 0 << false;
    QTest::newRow("shorter than a header") << QByteArray(14, '\x01') << 0 << false;
    QByteArray old;
    for (int i = 0; i < 10; ++i)
        old += QByteArray(8, char(i + 1));
    QTest::newRow("old layout of 10 records gives 7") << old << 7 << false;
    QTest::newRow("old layout with a partial record") << old + QByteArray(5, '\x09') << 7 << false;
    QByteArray version2 = current(3, 0);
    version2[10] = 2; // another version reads as the old layout
    QTest::newRow("other version reads as old layout") << version2 << (15 + 45 - 24) / 8 << false;
}

void TestLogModel::loadLayouts()
{
    QFETCH(QByteArray, file);
    QFETCH(int, records);
    QFETCH(bool, drawn);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.log"));
    writeAll(path, file);
    RecordingSink sink;
    ScopedMessageSink scope(&sink);
    Rig rig;
    rig.fill(5);
    QVERIFY(rig.log.loadFromFile(path));
    QVERIFY(sink.messages.isEmpty());
    QCOMPARE(rig.log.count(), records);
    QCOMPARE(rig.log.hasData(), drawn);
    QCOMPARE(rig.chart.rebuilds, drawn ? 1 : 0);
    if (file.size() >= 15 && file.mid(2, 6) != QByteArray("ZiRaV\0", 6) && records > 0) {
        // Old layout: the first three records are skipped, the rest hold
        // the first eight columns and zeros.
        QCOMPARE(rig.log.value(ColConverter, 0), 4);
        QCOMPARE(rig.log.value(ColRpmPeriod, 0), 4 * 256 + 4);
        QCOMPARE(rig.log.value(ColCorr, 0), 0);
        QCOMPARE(rig.log.value(ColO2SM, 0), 0);
    }
}

void TestLogModel::loadFailures()
{
    RecordingSink sink;
    ScopedMessageSink scope(&sink);
    Rig rig;
    rig.fill(150);
    rig.log.prepareView();
    rig.log.rebuild(1);
    QVERIFY(rig.log.hasData());
    const QString missing = QStringLiteral("/nonexistent/dir/x.log");
    QVERIFY(!rig.log.loadFromFile(missing));
    QCOMPARE(sink.messages, QStringList{missing + QStringLiteral("Log file load error")});
    QCOMPARE(rig.log.count(), 150); // columns untouched
    QVERIFY(!rig.log.hasData());    // but the chart waits for the next log

    // Saving an empty log writes nothing and says so.
    sink.messages.clear();
    Rig empty;
    QTemporaryDir dir;
    QVERIFY(!empty.log.saveToFile(dir.filePath(QStringLiteral("e"))));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("e.log"))));
    QCOMPARE(sink.messages, QStringList{QString::fromUtf8(
                                "The log is empty: nothing was saved.\n\nЛог пуст: ничего не сохранено.")});
}

void TestLogModel::saveFailureKeepsTheOldFile()
{
    RecordingSink sink;
    ScopedMessageSink scope(&sink);
    QTemporaryDir dir;
    Rig rig;
    rig.fill(10);
    // A directory where the log should go cannot be replaced.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("busy.log")));
    QVERIFY(!rig.log.saveToFile(dir.filePath(QStringLiteral("busy"))));
    QCOMPARE(sink.messages, QStringList{QStringLiteral("Can't delete file before saving")});
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("busy.log"))).isDir());
    // A folder that does not exist: the file cannot be created.
    sink.messages.clear();
    QVERIFY(!rig.log.saveToFile(dir.filePath(QStringLiteral("no/such/x"))));
    QCOMPARE(sink.messages, QStringList{QStringLiteral("Log file save error\n\n") + kNoFolderReason});
    // A good save over an old log replaces it whole, leaving no stray files.
    const QString path = dir.filePath(QStringLiteral("old.log"));
    writeAll(path, QByteArray("previous"));
    QVERIFY(rig.log.saveToFile(path));
    QCOMPARE(readAll(path).size(), 15 + 15 * 10);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("old.log")});
}

namespace {
// Keeps what is written and the size of every write.
class PieceDevice : public QIODevice {
public:
    explicit PieceDevice(qint64 refuseAfter = -1) : refuseAfter_(refuseAfter) { open(QIODevice::WriteOnly); }
    QByteArray bytes;
    QList<qint64> writes;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        if (refuseAfter_ >= 0 && writes.size() >= refuseAfter_)
            return -1;
        writes.append(size);
        bytes.append(data, size);
        return size;
    }

private:
    qint64 refuseAfter_;
};
} // namespace

// A log longer than one piece comes out whole, row by row, but never more
// than a piece and a row at a time.
void TestLogModel::csvRowsInPieces()
{
    Rig rig;
    const int n = 30000; // about 1.5 pieces of text
    rig.fill(n);
    PieceDevice device;
    QVERIFY(logcsv::writeCsv(rig.log, device));
    QVERIFY(device.writes.size() >= 2);
    for (qint64 size : device.writes)
        QVERIFY(size <= logcsv::kPieceBytes + 256);
    const QList<QByteArray> lines = device.bytes.split('\n');
    QCOMPARE(lines.size(), n + 2); // header, n rows, nothing after the last line end
    QCOMPARE(lines.front(), QByteArray("Time_s,Converter,Marker,AuxOut,MAF,TPS,RpmPeriod,O2,Corr,IAT,ECT,AuxSlot2,"
                                       "AuxSlot3,O2SM,LogCorr"));
    QVERIFY(lines.back().isEmpty());
    for (int i = 0; i < n; ++i) {
        const QList<QByteArray> fields = lines[i + 1].split(',');
        QCOMPARE(fields.size(), 1 + kLogColumns);
        QCOMPARE(fields[0], QByteArray::number(i / 100) + '.' + QByteArray::number(i % 100).rightJustified(2, '0'));
        for (int c = 0; c < kLogColumns; ++c)
            // The auxiliary slots are not held outside a recording: empty fields.
            if (rig.log.columnLength(c) == 0 ? !fields[c + 1].isEmpty()
                                             : fields[c + 1] != QByteArray::number(rig.log.value(c, i)))
                QFAIL(qPrintable(QStringLiteral("row %1 column %2: %3").arg(i).arg(c).arg(QString(fields[c + 1]))));
    }
}

void TestLogModel::csvFailures()
{
    RecordingSink sink;
    ScopedMessageSink scope(&sink);
    Rig rig;
    rig.fill(30000);
    PieceDevice refusing(1);
    QVERIFY(!logcsv::writeCsv(rig.log, refusing));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("no/such/x.csv"));
    QVERIFY(!logcsv::exportCsv(rig.log, path));
    QCOMPARE(sink.messages, QStringList{QStringLiteral("CSV file save error\n\n") + kNoFolderReason});
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot), QStringList{});
}

QTEST_GUILESS_MAIN(TestLogModel)
#include "tst_log_model.moc"
