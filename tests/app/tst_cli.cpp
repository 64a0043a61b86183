// The command-line companion against the emulator: exit status and messages.
#include <QtTest>

#include <QProcess>
#include <QDir>
#include <QTemporaryDir>

#include "sim/Emulator.h"

#include <csignal>
#include <grp.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct Run {
    int status = -1;
    QString out;
    QString err;
};

// limitBytes > 0: the command runs with writes past that file size refused
// (EFBIG, SIGXFSZ ignored), as on a full disk. asNobody: as an unprivileged user.
Run cli(const QStringList &args, rlim_t limitBytes = 0, bool asNobody = false)
{
    QProcess p;
    if (limitBytes > 0 || asNobody)
        p.setChildProcessModifier([limitBytes, asNobody] {
            if (limitBytes > 0) {
                ::signal(SIGXFSZ, SIG_IGN);
                rlimit limit{};
                ::getrlimit(RLIMIT_FSIZE, &limit);
                limit.rlim_cur = limitBytes;
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            if (asNobody && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(99);
        });
    p.start(QStringLiteral(TARVIX_CLI), args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}
// A tab file holding the emulator's factory image.
QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
QString writeBytes(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile f(dir.filePath(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return f.fileName();
}
QString defaultTabFile(const QTemporaryDir &dir)
{
    const QString file = dir.filePath("t.tab");
    QFile f(file);
    if (f.open(QIODevice::WriteOnly)) {
        const sim::Image image = sim::defaultImage();
        f.write(reinterpret_cast<const char *>(image.data()), int(image.size()));
    }
    return file;
}
} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    // A log file written field by field (every field its own bytes) comes
    // out as one CSV row per record with the values the log holds.
    void exportCsv()
    {
        QTemporaryDir dir;
        QByteArray file("\x07\x08ZiRaV\0\0\0\x01\0\0\0\0", 15);
        file += QByteArray::fromHex("010203040506070809800b0c0d0e00");
        file += QByteArray::fromHex("15161718191a1b1c1d001f20212280");
        const QString log = dir.filePath("run.log");
        QFile f(log);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
        f.close();
        const QByteArray expected = "Time_s,Converter,Marker,AuxOut,MAF,TPS,RpmPeriod,O2,Corr,IAT,ECT,AuxSlot2,"
                                    "AuxSlot3,O2SM,LogCorr\n"
                                    "0.00,1,2,3,4,5,1543,8,-9,11,12,,,13,14\n"
                                    "0.01,21,22,23,24,25,6683,28,29,31,32,,,33,-34\n";
        Run r = cli({"export-csv", log});
        QCOMPARE(r.status, 0);
        QFile csv(dir.filePath("run.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll(), expected);

        r = cli({"export-csv", log, dir.filePath("other.csv")});
        QCOMPARE(r.status, 0);
        QFile other(dir.filePath("other.csv"));
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), expected);

        QCOMPARE(cli({"export-csv", dir.filePath("missing.log")}).status, 1);
        QCOMPARE(cli({"export-csv"}).status, 2);
    }

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
        const Run r = cli({"read", file, "--port", port, "--no-backup"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("read the unit's table into %1\n").arg(file));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().at(10), char(77));
        const Run w = cli({"write", file, "--port", port, "--no-backup"});
        QCOMPARE(w.status, 0);
        QCOMPARE(w.out, QStringLiteral("wrote %1 to the unit and verified it\n").arg(file));
        QCOMPARE(int(unit.eeprom()[10]), 77);
        const Run q = cli({"quick-write", file, "--port", port, "--no-backup"});
        QCOMPARE(q.status, 0);
        QVERIFY2(q.out.startsWith(QStringLiteral("sent %1 to the unit's working memory").arg(file)), qPrintable(q.out));
    }

    // read, write and quick-write keep the unit's table as found before they
    // change anything; --no-backup skips it.
    void backupsBeforeChanges()
    {
        QTemporaryDir dir;
        const QString backups = dir.filePath("kept");
        sim::Emulator unit;
        sim::Image image = sim::defaultImage();
        for (int i = 0; i < 256; ++i)
            image[size_t(i)] = std::uint8_t(i ^ 0x5A);
        unit.setRam(image);
        const QString port = QString::fromStdString(unit.start());
        const QByteArray found(reinterpret_cast<const char *>(unit.ram().data()), int(unit.ram().size()));
        const Run r = cli({"read", dir.filePath("unit.tab"), "--port", port, "--backups", backups});
        QCOMPARE(r.status, 0);
        QStringList kept = QDir(backups).entryList(QDir::Files);
        QCOMPARE(kept.size(), 1);
        QVERIFY2(r.out.startsWith("backup: " + QDir(backups).filePath(kept[0]) + "\n"), qPrintable(r.out));
        QFile first(QDir(backups).filePath(kept[0]));
        QVERIFY(first.open(QIODevice::ReadOnly));
        QCOMPARE(first.readAll(), found);
        // The write's backup is the unit's table before the file went over it.
        const QString other = defaultTabFile(dir);
        QCOMPARE(cli({"write", other, "--port", port, "--backups", backups}).status, 0);
        QCOMPARE(QDir(backups).entryList(QDir::Files).size(), 2);
        QCOMPARE(cli({"quick-write", other, "--port", port, "--backups", backups, "--no-backup"}).status, 0);
        QCOMPARE(QDir(backups).entryList(QDir::Files).size(), 2);
        // A place that cannot take it stops nothing.
        QFile blocker(dir.filePath("blocked"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const Run b = cli({"read", dir.filePath("again.tab"), "--port", port, "--backups", dir.filePath("blocked")});
        QCOMPARE(b.status, 0);
        QVERIFY2(b.err.contains("backup failed"), qPrintable(b.err));
        QVERIFY(QFile::exists(dir.filePath("again.tab")));
    }

    // One line per port, the demo unit last; nothing is opened.
    void portsList()
    {
        const Run r = cli({"ports"});
        QCOMPARE(r.status, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty());
        QCOMPARE(lines.last(), QStringLiteral("demo\tthe built-in emulated unit (--port demo)\tok"));
        for (const QString &line : lines)
            QCOMPARE(line.count('\t'), 2);
    }

    // A table read and sent back unchanged keeps every parameter byte,
    // whether it goes through a full write or the working memory.
    void untouchedParametersKeepTheirBytes_data()
    {
        QTest::addColumn<QList<int>>("unit");     // slots 256..263
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("odd percentages") << QList<int>{4, 5, 130, 2, 2, 7, 11, 255}
                                         << QList<int>{4, 5, 130, 2, 2, 7, 11, 255};
        QTest::newRow("outside the bars") << QList<int>{2, 101, 255, 0, 255, 1, 0, 100}
                                          << QList<int>{2, 101, 255, 0, 255, 1, 0, 255};
    }
    void untouchedParametersKeepTheirBytes()
    {
        QFETCH(QList<int>, unit);
        QFETCH(QList<int>, expected);
        QTemporaryDir dir;
        sim::Emulator device;
        sim::Image image = sim::defaultImage();
        for (int k = 0; k < 8; ++k)
            image[size_t(256 + k)] = std::uint8_t(unit[k]);
        device.setRam(image);
        const QString port = QString::fromStdString(device.start());
        const QString file = dir.filePath("unit.tab");
        QCOMPARE(cli({"read", file, "--port", port}).status, 0);
        QCOMPARE(cli({"write", file, "--port", port}).status, 0);
        device.setRam(sim::defaultImage());
        QCOMPARE(cli({"quick-write", file, "--port", port}).status, 0);
        QVERIFY(device.waitForEvent("quick-write", 5000));
        for (int k = 0; k < 8; ++k) {
            QCOMPARE(int(device.eeprom()[size_t(256 + k)]), expected[k]);
            QCOMPARE(int(device.ram()[size_t(256 + k)]), expected[k]);
        }
    }

    void failuresExitNonZero_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("echo stops") << 0 << "Error! Coverter doesen't respond i=101";
        QTest::newRow("verification differs") << 1 << "VerificationError";
        QTest::newRow("other device") << 2 << "readed DEVICE_ID=7";
        QTest::newRow("no such port: the window's words") << 3 << "Try again!\nПопробуйте еще раз!";
    }
    void failuresExitNonZero()
    {
        QFETCH(int, fault);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString file = defaultTabFile(dir);
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

    void logRecording_data()
    {
        QTest::addColumn<int>("silenceAfter");
        QTest::addColumn<bool>("streams");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("why"); // the cause told on stderr
        QTest::newRow("streams for the whole time") << -1 << true << 0 << true << QString();
        QTest::newRow("stream ends early") << 30 << true << 1 << true
                                           << "Live data stopped: the unit sent nothing for 1 s";
        QTest::newRow("never streams") << -1 << false << 1 << false
                                       << "Live data stopped: the unit sent nothing for 1 s";
    }
    void logRecording()
    {
        QFETCH(int, silenceAfter);
        QFETCH(bool, streams);
        QFETCH(int, status);
        QFETCH(bool, saved);
        QFETCH(QString, why);
        QTemporaryDir dir;
        sim::Config config;
        config.silenceAfterFrames = streams ? silenceAfter : 0;
        sim::Emulator unit(config);
        const QString port = QString::fromStdString(unit.start());
        const QString file = dir.filePath("run.log");
        const Run r = cli({"log", file, "--seconds", "2", "--sensor", "1", "--port", port});
        QCOMPARE(r.status, status);
        if (why.isEmpty())
            QVERIFY2(!r.err.contains("Live data stopped"), qPrintable(r.err));
        else
            QVERIFY2(r.err.contains(why), qPrintable(r.err));
        QVERIFY(unit.waitForEvent("stream-stop", 2000));
        QCOMPARE(QFile::exists(file), saved);
        if (saved) {
            const int records = r.out.section("records recorded: ", 1).section('\n', 0, 0).toInt();
            QVERIFY(records > 10);
            // A 15-byte header and one 15-byte record per frame.
            QCOMPARE(QFileInfo(file).size(), qint64(15 + 15 * records));
            QVERIFY(r.out.contains("bad frames skipped: 0"));
        }
    }

    // A unit left streaming by an earlier run (a killed "log") is stopped,
    // identified and read; the file gets its image, not frames.
    void unitLeftStreaming()
    {
        QTemporaryDir dir;
        sim::Config config;
        config.streamAtStart = true;
        sim::Emulator unit(config);
        const QString port = QString::fromStdString(unit.start());
        const QString file = dir.filePath("unit.tab");
        const Run r = cli({"read", file, "--port", port});
        QCOMPARE(r.status, 0);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const sim::Image ram = unit.ram();
        QCOMPARE(f.readAll(), QByteArray(reinterpret_cast<const char *>(ram.data()), 392));
    }

    // Off a terminal the progress is a line at every tenth, not a line
    // redrawn with carriage returns.
    void progressLinesOffATerminal()
    {
        QTemporaryDir dir;
        const QString file = defaultTabFile(dir);
        sim::Emulator unit;
        const Run r = cli({"write", file, "--port", QString::fromStdString(unit.start())});
        QCOMPARE(r.status, 0);
        QVERIFY(!r.err.contains('\r'));
        const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
        QStringList expected;
        for (int p = 0; p <= 100; p += 10)
            expected.append(QString::fromUtf8("Запись ОЗУ/ Writing RAM") + QStringLiteral(" %1%").arg(p, 3));
        // The EEPROM phase ends at the unit's 0 (after 389 steps): the whole way.
        for (int p = 0; p <= 100; p += 10)
            expected.append(QString::fromUtf8("Запись ПЗУ/ Writing EEPROM") + QStringLiteral(" %1%").arg(p, 3));
        QCOMPARE(lines, expected);
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
        // A damaged file: refused with its message, the unit left alone.
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("00 02 11 22 zz 00 01 DD");
        f.close();
        unit.clearLog();
        const Run damaged = cli({"flash", file, "--port", port});
        QCOMPARE(damaged.status, 1);
        QVERIFY2(damaged.err.contains("Firmware file is damaged: "), qPrintable(damaged.err));
        QVERIFY(!damaged.err.contains("successfully"));
        QVERIFY(unit.received().empty());
        QCOMPARE(int(unit.firmwareBlocks().size()), 2);
        QCOMPARE(cli({"write", "--port", port}).status, 2);
        const Run unknown = cli({"erase", "--port", port});
        QCOMPARE(unknown.status, 2);
        QVERIFY2(unknown.err.startsWith(QStringLiteral("unknown command: erase\nusage:")), qPrintable(unknown.err));
        QCOMPARE(cli({"identify"}).status, 2);
        QCOMPARE(cli({"log", "x.log", "--port", port}).status, 2); // no duration
        QCOMPARE(cli({"log", "x.log", "--seconds", "1", "--sensor", "7", "--port", port}).status, 2);
    }

    // A file that is not a table is never stored in a unit: refused before
    // the port is opened or anything is backed up, unless --force.
    void notATableIsRefused_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("force");
        for (const char *command : {"write", "quick-write"}) {
            QTest::addRow("%s, 3-byte text", command) << command << QByteArray("hi\n") << false;
            QTest::addRow("%s, empty", command) << command << QByteArray() << false;
            QTest::addRow("%s, 100 bytes", command) << command << QByteArray(100, '\x42') << false;
            QTest::addRow("%s, 100 bytes, forced", command) << command << QByteArray(100, '\x42') << true;
        }
    }
    void notATableIsRefused()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, file);
        QFETCH(bool, force);
        QTemporaryDir dir;
        const QString path = writeBytes(dir, "odd.tab", file);
        sim::Emulator unit;
        const sim::Image before = unit.ram();
        const QString port = QString::fromStdString(unit.start());
        QStringList args{command, path, "--port", port, "--backups", dir.filePath("kept")};
        if (force)
            args << "--force";
        const Run r = cli(args);
        if (force) {
            QCOMPARE(r.status, 0);
            QCOMPARE(int(unit.ram()[50]), 0x42);
            return;
        }
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("holds %1 bytes: it is not a table file").arg(file.size())),
                 qPrintable(r.err));
        QVERIFY2(!r.out.contains("wrote") && !r.out.contains("sent"), qPrintable(r.out));
        QVERIFY(unit.received().empty());
        QVERIFY(unit.ram() == before);
        QVERIFY(!QDir(dir.filePath("kept")).exists());
    }

    // A full disk: the command fails with the reason and exit status 1, the
    // old file stays whole and no temporary file is left beside it.
    void fullDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("read") << "read" << "old.tab" << "Tab file save error";
        QTest::newRow("log") << "log" << "old.log" << "Log file save error";
    }
    void fullDiskKeepsTheOldFile()
    {
        QFETCH(QString, command);
        QFETCH(QString, file);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("files"));
        const QString folder = dir.filePath("files");
        QByteArray old(300, '\0');
        for (int i = 0; i < old.size(); ++i)
            old[i] = char(i * 7 + 1);
        QFile f(QDir(folder).filePath(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(old);
        f.close();
        sim::Emulator unit;
        const QString port = QString::fromStdString(unit.start());
        QStringList args{command, f.fileName(), "--port", port, "--backups", dir.filePath("kept")};
        if (command == "log")
            args << "--seconds" << "1";
        const Run r = cli(args, 200);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(message + "\n\nFile too large"), qPrintable(r.err));
        QCOMPARE(contents(f.fileName()), old);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{file});
        QVERIFY2(!r.out.contains("read the unit's table into"), qPrintable(r.out));
    }

    // A port that does not open says why on stderr, after the window's words.
    void portReasons_data()
    {
        QTest::addColumn<QString>("port"); // "<held>", "<root only>": a pty made here
        QTest::addColumn<bool>("asNobody");
        QTest::addColumn<QString>("why");
        QTest::newRow("gone") << "/dev/ttyUSB-no-such" << false << "/dev/ttyUSB-no-such is gone";
        QTest::newRow("not a serial port") << "/dev/null" << false << "/dev/null is not a serial port";
        QTest::newRow("a folder") << "/tmp" << false << "/tmp is not a serial port";
        QTest::newRow("held exclusively") << "<held>" << false << "is held by another program";
        QTest::newRow("only root may open it") << "<root only>" << true << "only root may open it";
    }
    void portReasons()
    {
        QFETCH(QString, port);
        QFETCH(bool, asNobody);
        QFETCH(QString, why);
        if (asNobody && ::geteuid() != 0)
            QSKIP("needs root to run the command as another user");
        int master = -1, slave = -1;
        const auto closePty = qScopeGuard([&] {
            if (slave >= 0)
                ::close(slave);
            if (master >= 0)
                ::close(master);
        });
        if (port.startsWith('<')) {
            char name[256] = {};
            QVERIFY(::openpty(&master, &slave, name, nullptr, nullptr) == 0);
            if (port == "<held>")
                QVERIFY(::ioctl(slave, TIOCEXCL) == 0);
            else
                QVERIFY(::chown(name, 0, 0) == 0 && ::chmod(name, 0600) == 0);
            port = QString::fromLatin1(name);
        }
        const Run r = cli({"identify", "--port", port}, 0, asNobody);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.startsWith(QString::fromUtf8("Try again!\nПопробуйте еще раз!\n\n")), qPrintable(r.err));
        QVERIFY2(r.err.contains(why), qPrintable(r.err));
        QVERIFY2(!r.err.contains("usermod -aG root"), qPrintable(r.err));
    }

    // flash keeps the unit's table first and names that backup, never a
    // newer-looking file of another unit or an empty one; in recovery (no
    // answer to expect) it names none.
    void flashNamesItsOwnBackup_data()
    {
        QTest::addColumn<bool>("recovery");
        QTest::newRow("unit answers") << false;
        QTest::newRow("recovery") << true;
    }
    void flashNamesItsOwnBackup()
    {
        QFETCH(bool, recovery);
        QTemporaryDir dir;
        const QString kept = dir.filePath("kept");
        QVERIFY(QDir().mkpath(kept));
        // Another unit's backup and an empty file, both dated ahead.
        QFile other(QDir(kept).filePath("2099-01-01_00-00-01_fw9.9.tab"));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write(QByteArray(392, '\x09'));
        other.close();
        QFile empty(QDir(kept).filePath("2099-01-01_00-00-02_fw2.3.tab"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        const QString fw = writeBytes(dir, "fw.enc", "00 03 AA BB CC 00 01 DD");
        sim::Config config;
        config.startInBootloader = recovery;
        sim::Emulator unit(config);
        sim::Image image = sim::defaultImage();
        image[7] = 99;
        unit.setRam(image);
        const QString port = QString::fromStdString(unit.start());
        QStringList args{"flash", fw, "--port", port, "--backups", kept};
        if (recovery)
            args << "--recovery";
        const Run r = cli(args);
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.contains("Firmware updated successfully."), qPrintable(r.err));
        QVERIFY2(!r.err.contains("2099-01-01"), qPrintable(r.err));
        const QStringList files = QDir(kept).entryList(QDir::Files);
        if (recovery) {
            QCOMPARE(files.size(), 2);
            QVERIFY2(!r.err.contains("is kept in"), qPrintable(r.err));
            return;
        }
        QCOMPARE(files.size(), 3);
        QString made;
        for (const QString &name : files)
            if (!name.startsWith("2099"))
                made = QDir(kept).filePath(name);
        QVERIFY2(r.out.contains("backup: " + made), qPrintable(r.out));
        QVERIFY2(r.err.contains("is kept in " + made), qPrintable(r.err));
        QCOMPARE(contents(made), QByteArray(reinterpret_cast<const char *>(image.data()), 392));
    }

    // A recording is kept as it arrives: killed mid-stream, the file holds
    // every record up to a second before.
    void recordingSurvivesAKill()
    {
        QTemporaryDir dir;
        sim::Emulator unit;
        const QString port = QString::fromStdString(unit.start());
        QProcess p;
        p.start(QStringLiteral(TARVIX_CLI), {"log", dir.filePath("run.log"), "--seconds", "60", "--port", port,
                                            "--backups", dir.filePath("kept")});
        QVERIFY(p.waitForStarted());
        QVERIFY(QTest::qWaitFor([&] { return unit.framesSent() > 300; }, 30000));
        const int secondBefore = unit.framesSent();
        QVERIFY(QTest::qWaitFor([&] { return unit.framesSent() > secondBefore + 100; }, 10000));
        ::kill(pid_t(p.processId()), SIGKILL);
        QVERIFY(p.waitForFinished(10000));
        const QStringList kept = QDir(dir.filePath("recordings")).entryList(QDir::Files);
        QCOMPARE(kept.size(), 1);
        const QByteArray file = contents(QDir(dir.filePath("recordings")).filePath(kept.front()));
        QCOMPARE(file.mid(2, 5), QByteArray("ZiRaV"));
        QCOMPARE((file.size() - 15) % 15, 0);
        const int records = int((file.size() - 15) / 15);
        // Every frame after the confirming one is a record.
        QVERIFY2(records >= secondBefore - 1, qPrintable(QStringLiteral("%1 records, %2 frames a second before")
                                                             .arg(records)
                                                             .arg(secondBefore)));
        QVERIFY(!QFile::exists(dir.filePath("run.log")));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
