// Pure protocol codecs: check byte, frame decode, identification reply, firmware blocks.
#include <QtTest>

#include "link/Crc8.h"
#include "link/DeviceInfo.h"
#include "link/Protocol.h"
#include "link/Rxtx.h"

namespace {
QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray a;
    for (int v : values)
        a.append(char(v));
    return a;
}
} // namespace

class TestCodec : public QObject {
    Q_OBJECT
private slots:
    void crcCheckValues()
    {
        const std::uint8_t zeros[9] = {};
        QCOMPARE(int(crc8(zeros, 9)), 0x2D);
        QCOMPARE(int(crc8(reinterpret_cast<const std::uint8_t *>("123456789"), 9)), 0xD9);
        std::uint8_t frame[10] = {};
        QVERIFY(!proto::frameCheckOk(frame));
        frame[9] = 0x2D;
        QVERIFY(proto::frameCheckOk(frame));
    }

    void decodeFrame_data()
    {
        QTest::addColumn<int>("selector");
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("value");
        QTest::newRow("slot 0 unsigned") << 0x00 << 200 << 0 << 200;
        QTest::newRow("slot 1 unsigned") << 0x01 << 255 << 1 << 255;
        QTest::newRow("slot 2 signed") << 0x02 << 0xFF << 2 << -1;
        QTest::newRow("slot 3 signed min") << 0x03 << 0x80 << 3 << -128;
        QTest::newRow("other bits ignored 0x7E") << 0x7E << 0x85 << 2 << -123;
        QTest::newRow("other bits ignored 0x06") << 0x06 << 0x7F << 2 << 127;
    }
    void decodeFrame()
    {
        QFETCH(int, selector);
        QFETCH(int, raw);
        QFETCH(int, slot);
        QFETCH(int, value);
        const std::uint8_t f[10] = {10, std::uint8_t(selector), 20, 30, 40, 0x03, 0xE8, 50, std::uint8_t(raw), 0};
        const proto::LiveFrame d = proto::decodeFrame(f);
        QCOMPARE(d.slot, slot);
        QCOMPARE(d.slotValue, value);
        QCOMPARE(d.converter, 10);
        QCOMPARE(d.auxOut, 20);
        QCOMPARE(d.maf, 30);
        QCOMPARE(d.tps, 40);
        QCOMPARE(d.period, 1000);
        QCOMPARE(d.o2, 50);
    }

    void rpm_data()
    {
        QTest::addColumn<int>("period");
        QTest::addColumn<int>("rpm");
        QTest::newRow("zero counts as 1500000") << 0 << 1;
        QTest::newRow("1000") << 1000 << 1500;
        QTest::newRow("max") << 65535 << 23;
        QTest::newRow("3.75 to 4") << 400000 << 4;
        QTest::newRow("tie 37.5 up to 38") << 40000 << 38;
        QTest::newRow("tie 62.5 down to 62") << 24000 << 62;
        QTest::newRow("1") << 1 << 1500000;
    }
    void rpm()
    {
        QFETCH(int, period);
        QFETCH(int, rpm);
        QCOMPARE(proto::rpmFromPeriod(period), rpm);
    }

    void identifyReply_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("generationBefore");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<int>("generation");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QString>("hardware");
        QTest::addColumn<QString>("oscillator");
        QTest::newRow("full") << bytes({0, 6, 1, 23, 1, 3, 62, 128}) << 0 << false << 2 << 6 << "2.3" << "3" << "16MHz";
        QTest::newRow("no optional fields") << bytes({0, 6, 62, 128}) << 0 << false << 2 << 6 << "prev" << "prev" << "16MHz";
        QTest::newRow("one byte") << bytes({23}) << 0 << false << 0 << 65535 << "2.3" << "" << "";
        QTest::newRow("one byte after long") << bytes({20}) << 2 << false << 2 << 65535 << "2" << "" << "";
        QTest::newRow("truncated after firmware") << bytes({0, 6, 1, 23}) << 0 << true << 2 << 6 << "2.3" << "prev" << "prev";
        QTest::newRow("three bytes") << bytes({0, 6, 62}) << 0 << true << 1 << 6 << "prev" << "prev" << "prev";
        QTest::newRow("other id") << bytes({0, 7, 1, 23, 1, 3, 62, 128}) << 0 << false << 2 << 7 << "2.3" << "3" << "16MHz";
        QTest::newRow("odd oscillator") << bytes({0, 6, 0x1E, 0x85}) << 0 << false << 2 << 6 << "prev" << "prev" << "7.813MHz";
    }
    void identifyReply()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, generationBefore);
        QFETCH(bool, fails);
        QFETCH(int, generation);
        QFETCH(int, id);
        QFETCH(QString, firmware);
        QFETCH(QString, hardware);
        QFETCH(QString, oscillator);
        TDeviceInfo info;
        info.firmwareText = info.hardwareText = info.oscillatorText = QStringLiteral("prev");
        int gen = generationBefore;
        bool threw = false;
        try {
            parseIdentifyReply(reply, info, gen);
        } catch (const EProtocol &e) {
            threw = true;
            QCOMPARE(e.token(), QStringLiteral("ErrorConnect"));
        }
        QCOMPARE(threw, fails);
        QCOMPARE(gen, generation);
        QCOMPARE(info.deviceId, id);
        QCOMPARE(info.firmwareText, firmware);
        QCOMPARE(info.hardwareText, hardware);
        QCOMPARE(info.oscillatorText, oscillator);
    }

    void firmwareBlocks_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QList<int>>("lengths");
        QTest::addColumn<int>("overrunAt");
        QTest::newRow("two blocks") << bytes({0, 3, 0xAA, 0xBB, 0xCC, 0, 1, 0xDD}) << QList<int>{5, 3} << -1;
        QTest::newRow("empty") << QByteArray() << QList<int>{} << -1;
        QTest::newRow("zero-length block") << bytes({0, 0, 0, 1, 7}) << QList<int>{2, 3} << -1;
        QTest::newRow("length runs past end") << bytes({0, 9, 1, 2}) << QList<int>{} << 0;
        QTest::newRow("second block runs past end") << bytes({0, 1, 0xAA, 0, 9, 1}) << QList<int>{3} << 3;
        QTest::newRow("lone length byte") << bytes({0, 1, 5, 0}) << QList<int>{3} << 3;
    }
    void firmwareBlocks()
    {
        QFETCH(QByteArray, image);
        QFETCH(QList<int>, lengths);
        QFETCH(int, overrunAt);
        const proto::BlockSplit split = proto::splitFirmwareBlocks(image);
        QList<int> got;
        for (const auto &b : split.blocks)
            got.append(b.length);
        QCOMPARE(got, lengths);
        QCOMPARE(split.overrunAt, overrunAt);
    }

    void shortestDecimalTexts()
    {
        QCOMPARE(shortestDecimal(5.0, 2), QStringLiteral("5"));
        QCOMPARE(shortestDecimal(2.5098, 2), QStringLiteral("2.51"));
        QCOMPARE(shortestDecimal(2.0, 1), QStringLiteral("2"));
        QCOMPARE(shortestDecimal(0.0, 2), QStringLiteral("0"));
    }
};

QTEST_GUILESS_MAIN(TestCodec)
#include "tst_codec.moc"
