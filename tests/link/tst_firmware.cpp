// Firmware update against the emulator's boot loader.
#include <QtTest>

#include <QTemporaryDir>

#include "link/Firmware.h"
#include "link/MessageSink.h"
#include "link/Rxtx.h"
#include "sim/Emulator.h"

namespace {
const QString kSuccess = QString::fromUtf8("Firmware updated successfully.\n\nПрошивка успешно обновлена");
const QString kNoAnswer = QString::fromUtf8(
    "\nFailed: Converter doesn't respond.\nPlease check the supply voltage, COM port and firmware update jumper\n\n"
    "Ошибка обновления. Конвертер не отвечает.\nПожалуйста проверьте питающее напряжение, COM порт, и перемычку "
    "обновления прошивки");
const QString kRejected = QString::fromUtf8(
    "CRC error.  Converter doesn't respond.\nPlease check the supply voltage, COM port and firmware update jumper\n\n"
    "Ошибка обновления. Конвертер не отвечает.\nПожалуйста проверьте питающее напряжение, COM порт, и перемычку "
    "обновления прошивки");

// A unit on a pseudo-terminal, a channel (not yet connected) and a recording sink.
struct Rig {
    void connect() { channel.reopen(QString::fromStdString(unit.start())); }
    RecordingSink sink;
    ScopedMessageSink scoped{&sink};
    QTemporaryDir dir;
    sim::Emulator unit;
    TZiravBroadcaster b;
    TRXTX channel{b};
};

QString writeFile(const QTemporaryDir &dir, const QByteArray &text)
{
    const QString path = dir.filePath(QStringLiteral("fw.enc"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}
} // namespace

class TestFirmware : public QObject {
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("stoppedAt"); // -1: read to the end
        const QByteArray two("\x00\x03\xAA\xBB\xCC\x00\x01\xDD", 8);
        QTest::newRow("blanks") << QByteArray("00 03 AA BB CC 00 01 DD\n") << two << -1;
        QTest::newRow("no blanks") << QByteArray("0003AABBCC0001DD") << two << -1;
        QTest::newRow("lines and lower case") << QByteArray("0003\r\naabbcc\r\n0001dd") << two << -1;
        QTest::newRow("stops at other text") << QByteArray("0003 AA zz BB") << QByteArray("\x00\x03\xAA", 3) << 8;
        // A digit without its pair is where the file was cut: reading stops there.
        QTest::newRow("last pair cut") << QByteArray("ABC") << QByteArray("\xAB", 1) << 2;
        QTest::newRow("last pair cut, blanks") << QByteArray("00 02 55 6") << QByteArray("\x00\x02\x55", 3) << 9;
        QTest::newRow("lone digit inside") << QByteArray("00 1 DD") << QByteArray("\x00", 1) << 3;
        QTest::newRow("empty") << QByteArray() << QByteArray() << -1;
        QTest::newRow("blanks only") << QByteArray(" \r\n\t") << QByteArray() << -1;
    }
    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, bytes);
        QFETCH(int, stoppedAt);
        bool tooLarge = true;
        int stop = -2;
        QCOMPARE(firmware::parseHexPairs(text, &tooLarge, &stop), bytes);
        QVERIFY(!tooLarge);
        QCOMPARE(stop, stoppedAt < 0 ? int(text.size()) : stoppedAt);
    }

    void update_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("rejectTimes");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QList<int>>("progress");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QString>("message");
        const QByteArray two("00 03 AA BB CC 00 01 DD");
        QTest::newRow("two blocks") << two << 0 << false << int(firmware::Outcome::Success) << QList<int>{0, 62, 100} << 2
                                    << kSuccess;
        QTest::newRow("three rejections then accepted")
            << two << 3 << false << int(firmware::Outcome::Success) << QList<int>{0, 62, 100} << 2 << kSuccess;
        QTest::newRow("four rejections") << two << 4 << false << int(firmware::Outcome::Rejected) << QList<int>{0} << 0
                                         << kRejected;
        QTest::newRow("silence") << two << 0 << true << int(firmware::Outcome::NoAnswer) << QList<int>{0} << 0
                                 << kNoAnswer;
    }
    void update()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, rejectTimes);
        QFETCH(bool, silent);
        QFETCH(int, outcome);
        QFETCH(QList<int>, progress);
        QFETCH(int, blocks);
        QFETCH(QString, message);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        QTemporaryDir dir;
        sim::Config config;
        config.rejectBlock = 0;
        config.rejectTimes = rejectTimes;
        config.silenceAtBlock = silent ? 0 : -1;
        sim::Emulator unit(config);
        TZiravBroadcaster b;
        TRXTX channel(b);
        channel.reopen(QString::fromStdString(unit.start()));
        QList<int> seen;
        const auto result = firmware::update(channel, writeFile(dir, file), false, [&](int p) {
            if (seen.isEmpty() || seen.last() != p)
                seen.append(p);
        });
        QCOMPARE(int(result), outcome);
        QCOMPARE(seen, progress);
        QCOMPARE(int(unit.firmwareBlocks().size()), blocks);
        QVERIFY(unit.waitForEvent("bootloader", 1000));
        QCOMPARE(sink.messages, QStringList{message});
    }

    void recoverySkipsBootloaderEntry()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        QTemporaryDir dir;
        sim::Config config;
        config.startInBootloader = true;
        sim::Emulator unit(config);
        TZiravBroadcaster b;
        TRXTX channel(b);
        channel.reopen(QString::fromStdString(unit.start()));
        QCOMPARE(firmware::update(channel, writeFile(dir, "0001DD"), true), firmware::Outcome::Success);
        const std::vector<std::uint8_t> expected{0, 1, 0xDD};
        QCOMPARE(unit.received(), expected);
    }

    void refusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("message");
        QTest::newRow("not connected") << 0 << int(firmware::Outcome::NotConnected) << "COM port!!!";
        QTest::newRow("no file") << 1 << int(firmware::Outcome::FileNotFound) << "Error: File  not found.\n";
        QTest::newRow("oversize") << 2 << int(firmware::Outcome::TooLarge) << "too large";
        QTest::newRow("block past end") << 3 << int(firmware::Outcome::Damaged) << "runs past the end";
        // Refused by its size before it is read: a 600 MiB file (sparse here).
        QTest::newRow("huge file") << 4 << int(firmware::Outcome::TooLarge) << "too large";
    }
    void refusedBeforeAnythingIsSent()
    {
        QFETCH(int, kind);
        QFETCH(int, outcome);
        QFETCH(QString, message);
        Rig rig;
        if (kind != 0)
            rig.connect();
        QString path = rig.dir.filePath(QStringLiteral("missing.enc"));
        if (kind == 2)
            path = writeFile(rig.dir, QByteArray(2 * (firmware::kBufferSize + 1), 'A'));
        if (kind == 3)
            path = writeFile(rig.dir, "00 03 AA BB CC 00 09 DD");
        if (kind == 4) {
            path = writeFile(rig.dir, "00 01 DD");
            QFile huge(path);
            QVERIFY(huge.resize(600LL << 20));
        }
        QCOMPARE(int(firmware::update(rig.channel, path, false)), outcome);
        QCOMPARE(rig.sink.messages.size(), 1);
        QVERIFY2(rig.sink.messages.front().contains(message), qPrintable(rig.sink.messages.front()));
        QTest::qWait(50);
        QVERIFY(rig.unit.received().empty());
    }

    // A file that yields no block, or whose pairs stop before its text does,
    // is refused before the unit is called into its boot loader; a damaged
    // file must never end in the success message.
    void damagedFileRefusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("why");
        QTest::newRow("empty") << QByteArray() << "no firmware block";
        QTest::newRow("blanks only") << QByteArray("  \r\n") << "no firmware block";
        QTest::newRow("no pairs at all") << QByteArray("firmware v2.3\n00 01 DD") << "line 1 holds text";
        QTest::newRow("pairs stop early") << QByteArray("00 02 11 22 zz 00 01 DD") << "line 1 holds text";
        QTest::newRow("text after the last block") << QByteArray("00 01 DD\n00 01 EE\n; end\n") << "line 3 holds text";
        QTest::newRow("last pair cut") << QByteArray("00 02 55 6") << "line 1 holds text";
        QTest::newRow("last pair cut, no blanks") << QByteArray("0002556") << "line 1 holds text";
        QTest::newRow("stray letter after the last pair") << QByteArray("00 01 DD\nx") << "line 2 holds text";
        QTest::newRow("end-of-file mark after the last pair") << QByteArray("00 01 DD\x1A") << "line 1 holds text";
    }
    void damagedFileRefusedBeforeAnythingIsSent()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, why);
        Rig rig;
        rig.connect();
        bool progressed = false;
        QCOMPARE(firmware::update(rig.channel, writeFile(rig.dir, file), false, [&](int) { progressed = true; }),
                 firmware::Outcome::Damaged);
        QCOMPARE(rig.sink.messages.size(), 1);
        const QString &message = rig.sink.messages.front();
        QVERIFY2(message.startsWith("Firmware file is damaged: ") && message.contains(why), qPrintable(message));
        QVERIFY2(message.contains(QString::fromUtf8("\n\nФайл прошивки повреждён: ")), qPrintable(message));
        QVERIFY(!progressed);
        // The unit answers as before: it was never asked into its boot loader.
        QCOMPARE(rig.channel.write(QByteArray("fiusfiuv")), 8);
        QVERIFY(rig.unit.waitForEvent("identify", 2000));
        QCOMPARE(rig.unit.events(), std::vector<std::string>{"identify"});
        QVERIFY(!rig.unit.inBootloader());
    }
};

QTEST_GUILESS_MAIN(TestFirmware)
#include "tst_firmware.moc"
