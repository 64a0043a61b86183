// The command-line companion against the emulator: exit status and messages.
#include <QtTest>

#include <QProcess>
#include <QTemporaryDir>

#include "sim/Emulator.h"

namespace {
struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run cli(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(TARVIX_CLI), args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}
} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void identify()
    {
        sim::Emulator unit;
        const QString port = QString::fromStdString(unit.start());
        const Run r = cli({"identify", "--port", port});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains("device id: 6"));
        QVERIFY(r.out.contains("oscillator: 16MHz"));
    }

    void readThenWriteVerified()
    {
        QTemporaryDir dir;
        sim::Emulator unit;
        sim::Image image = sim::defaultImage();
        image[10] = 77;
        unit.setRam(image);
        const QString port = QString::fromStdString(unit.start());
        const QString file = dir.filePath("unit.tab");
        QCOMPARE(cli({"read", file, "--port", port}).status, 0);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().at(10), char(77));
        const Run w = cli({"write", file, "--port", port});
        QCOMPARE(w.status, 0);
        QCOMPARE(int(unit.eeprom()[10]), 77);
    }

    void failuresExitNonZero_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("echo stops") << 0 << "Error! Coverter doesen't respond i=101";
        QTest::newRow("verification differs") << 1 << "VerificationError";
        QTest::newRow("other device") << 2 << "readed DEVICE_ID=7";
        QTest::newRow("no such port") << 3 << "COM port doesn't open";
    }
    void failuresExitNonZero()
    {
        QFETCH(int, fault);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString file = dir.filePath("t.tab");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        const sim::Image image = sim::defaultImage();
        f.write(reinterpret_cast<const char *>(image.data()), int(image.size()));
        f.close();
        sim::Config config;
        if (fault == 0)
            config.echoStopAt = 101;
        if (fault == 1)
            config.ownByteAt = 300, config.ownByteValue = 99;
        if (fault == 2)
            config.identifyReply = {0, 7, 1, 23, 1, 3, 0x3E, 0x80};
        sim::Emulator unit(config);
        const QString port = fault == 3 ? QStringLiteral("/dev/no-such-port") : QString::fromStdString(unit.start());
        const Run r = cli({"write", file, "--port", port});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }

    void flashAndUsage()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("fw.enc");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("00 03 AA BB CC 00 01 DD");
        f.close();
        sim::Emulator unit;
        const QString port = QString::fromStdString(unit.start());
        const Run r = cli({"flash", file, "--port", port});
        QCOMPARE(r.status, 0);
        QVERIFY(r.err.contains("Firmware updated successfully."));
        QCOMPARE(int(unit.firmwareBlocks().size()), 2);
        QCOMPARE(cli({"write", "--port", port}).status, 2);
        QCOMPARE(cli({"identify"}).status, 2);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
