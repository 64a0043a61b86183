// Identification and table transfer of the main table against the emulator.
#include <QtTest>

#include "link/MessageSink.h"
#include "link/Rxtx.h"
#include "link/TableTransfer.h"
#include "sim/Emulator.h"
#include "table/Table_iat_ect_corr.h"

namespace {
const QString kNoAnswerHead = QString::fromUtf8(
    "Converter doesn't respond. Please check supply voltage,COM port cable, Bluetooth adapter.\n\nКонвертер не "
    "отвечает. Проверьте наличие питания, кабель COM порта, адаптер Bluetooth\n\n\n");

sim::Image pattern(int seed)
{
    sim::Image image{};
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = std::uint8_t((i * 5 + size_t(seed)) & 0xFF);
    image[263] = 255;
    return image;
}

QByteArray bytesOf(const sim::Image &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.data()), int(image.size()));
}

// A table whose parameter boxes hold exactly what its image holds, so that
// the refresh before a write leaves the image as it is.
void load(Table &table, const sim::Image &image)
{
    QVERIFY(table.acceptImageFromDevice(bytesOf(image)));
}

class CountingProgress : public TransferProgress {
public:
    void setCaption(const QString &caption) override { captions.append(caption); }
    void setRange(int, int maximum) override { max = maximum; }
    void setPosition(int p) override { pos = p; }
    int position() const override { return pos; }
    void showProgress() override { visible = true; }
    void hideProgress() override { visible = false; }
    bool progressVisible() const override { return visible; }
    QStringList captions;
    int max = 0, pos = 0;
    bool visible = false;
};

struct Rig {
    explicit Rig(sim::Config config = {}) : unit(std::move(config)), channel(broadcaster)
    {
        channel.reopen(QString::fromStdString(unit.start()));
    }
    sim::Emulator unit;
    TZiravBroadcaster broadcaster;
    TRXTX channel;
    Table table;
    RecordingSink sink;
    ScopedMessageSink scoped{&sink};
};
} // namespace

class TestTransfer : public QObject {
    Q_OBJECT
private slots:
    // The unit's end of the line closed (unplugged) before a quick write:
    // the write says the port was lost, not that it does not open.
    void writeOnALostPortSaysLost()
    {
        Rig rig;
        load(rig.table, pattern(3));
        rig.unit.stop(); // the pseudo-terminal's far end is gone
        QVERIFY(transfer::quickWrite(rig.table, rig.channel) != transfer::Outcome::Done);
        QCOMPARE(rig.sink.messages.size(), 1);
        const QString &message = rig.sink.messages.front();
        QVERIFY2(message.startsWith("The COM port was lost"), qPrintable(message));
        QVERIFY2(message.contains(QString::fromUtf8("COM порт потерян")), qPrintable(message));
        QVERIFY2(!message.contains("doesn't open"), qPrintable(message));
    }

    void init() { transfer::firmwareGeneration() = 0; }

    void identifyKeepsValuesInTheTable()
    {
        Rig rig;
        const TDeviceInfo info = transfer::identify(rig.table, rig.channel);
        QCOMPARE(info.deviceId, 6);
        QCOMPARE(rig.table.identification.firmwareText, QStringLiteral("2.3"));
        QCOMPARE(rig.table.identification.oscillatorNumber, 16000);
        QCOMPARE(transfer::firmwareGeneration(), 2);
        // Not connected: nothing asked, stored values stay.
        TZiravBroadcaster b;
        TRXTX closed(b);
        QCOMPARE(transfer::identify(rig.table, closed).deviceId, 65535);
        QCOMPARE(rig.table.identification.deviceId, 6);
    }

    void tableRead()
    {
        Rig rig;
        rig.unit.setRam(pattern(9));
        const int snapshots = rig.table.history().count();
        QCOMPARE(transfer::tableRead(rig.table, rig.channel), transfer::Outcome::Done);
        QCOMPARE(rig.table.imageBytes(1), bytesOf(pattern(9)));
        QCOMPARE(rig.table.history().count(), snapshots + 1);
        QVERIFY(rig.sink.messages.isEmpty());
    }

    void shortReadLeavesImageAndClosesPort()
    {
        sim::Config config;
        config.readImageBytes = 100;
        Rig rig(config);
        const QByteArray before = rig.table.imageBytes(1);
        QCOMPARE(transfer::tableRead(rig.table, rig.channel), transfer::Outcome::ShortRead);
        QCOMPARE(rig.table.imageBytes(1), before);
        QCOMPARE(rig.sink.messages, QStringList{kNoAnswerHead + QString::fromUtf8("100 of/из 392 Recieved/Получено")});
        QVERIFY(!rig.channel.isPortOpen());
        // The next command fails as a port error until the port is chosen again.
        QCOMPARE(transfer::tableRead(rig.table, rig.channel), transfer::Outcome::PortError);
        QVERIFY(rig.sink.messages.last().startsWith(QStringLiteral("COM port doesn't open")));
    }

    void readRefusedWhileReaderHoldsPort()
    {
        Rig rig;
        rig.channel.portIdle = false;
        QCOMPARE(transfer::tableRead(rig.table, rig.channel), transfer::Outcome::Busy);
        QCOMPARE(rig.sink.messages, QStringList{QString::fromUtf8("Waiting  for a dataloger's stop.\nPlease try again.\n\n"
                                                                  "Ждем остановки даталогера\nПожалуйста попробуйте еще раз")});
        QVERIFY(rig.unit.received().empty());
    }

    void fullWriteStoresAndVerifies()
    {
        Rig rig;
        load(rig.table, pattern(4));
        CountingProgress progress;
        QCOMPARE(transfer::fullWrite(rig.table, rig.channel, progress), transfer::Outcome::Done);
        QVERIFY(rig.unit.waitForEvent("eeprom", 2000));
        QCOMPARE(bytesOf(rig.unit.eeprom()), rig.table.imageBytes(1));
        QCOMPARE(progress.captions, QStringList({QString::fromUtf8("Запись ОЗУ/ Writing RAM"),
                                                 QString::fromUtf8("Запись ПЗУ/ Writing EEPROM")}));
        QCOMPARE(progress.max, 391);
        QCOMPARE(progress.pos, 391); // the unit's end of the EEPROM phase: the whole way
        QVERIFY(!progress.visible);
        QVERIFY(rig.sink.messages.isEmpty());
    }

    void fullWriteEchoStopsAfter100()
    {
        sim::Config config;
        config.echoStopAt = 101;
        Rig rig(config);
        load(rig.table, pattern(2));
        CountingProgress progress;
        QCOMPARE(transfer::fullWrite(rig.table, rig.channel, progress), transfer::Outcome::EchoFailed);
        const QByteArray image = rig.table.imageBytes(1);
        QCOMPARE(rig.sink.messages, QStringList{QStringLiteral("Error! Coverter doesen't respond i=101 tx=%1 rx=%2")
                                                    .arg(std::uint8_t(image[101]))
                                                    .arg(std::uint8_t(image[100]))});
        QVERIFY(!progress.visible);
        QTest::qWait(100);
        QCOMPARE(rig.unit.received().size(), size_t(8 + 102)); // no verification read
        QVERIFY(rig.channel.isPortOpen());
    }

    void shortReadBack()
    {
        Rig rig;
        load(rig.table, pattern(6));
        sim::Config config;
        config.readImageBytes = 50;
        rig.unit.setConfig(config);
        CountingProgress progress;
        QCOMPARE(transfer::fullWrite(rig.table, rig.channel, progress), transfer::Outcome::ShortReadback);
        QCOMPARE(rig.sink.messages, QStringList({"50", "ErrorConnect=",
                                                 kNoAnswerHead + QString::fromUtf8("50 of/из 392 Recieved/Получено")}));
        QVERIFY(!rig.channel.isPortOpen());
    }

    void verificationMismatchAt263()
    {
        sim::Config config;
        config.ownByteAt = 263;
        config.ownByteValue = 7;
        Rig rig(config);
        load(rig.table, pattern(3));
        CountingProgress progress;
        QCOMPARE(transfer::fullWrite(rig.table, rig.channel, progress), transfer::Outcome::VerifyFailed);
        QCOMPARE(rig.sink.messages, QStringList({"Error i=263 Tab=255 buf=7", "VerificationError",
                                                 QString::fromUtf8("Verification error.\n\nОшибка верификации.\n\n\n")}));
        QVERIFY(rig.channel.isPortOpen());
    }

    void quickWrite()
    {
        Rig rig;
        load(rig.table, pattern(8));
        QCOMPARE(transfer::quickWrite(rig.table, rig.channel), transfer::Outcome::Done);
        QVERIFY(rig.unit.waitForEvent("quick-write", 2000));
        QCOMPARE(bytesOf(rig.unit.ram()), rig.table.imageBytes(1));
    }
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
