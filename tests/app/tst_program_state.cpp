// The program state file: its 28-byte layout, what files of every length
// leave in force at start, the bytes written at close, and the settings
// commands.
#include <QtTest>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>

#include "app/Saveloadprogramstate.h"
#include "app/Unit1.h"
#include "throttle/CorrectionWindow.h"
#include "app/WindowTestHelpers.h"
#include "ui/FileDialogs.h"
#include "ui/TableCommands.h"
#include "link/MessageSink.h"

#include <QStatusBar>

#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// What a new window writes: English, volts, F9 up, percent, then the design
// positions (delta 10, O2 reference 127, TPS 0..0, B and T 1000, 1200 rpm,
// 2 %, window start 0, spare 10, the two copies).
const QByteArray kDefaults = QByteArray::fromHex("01010000" "000a" "007f" "0000" "0000" "03e8" "03e8" "04b0" "0002"
                                                 "0000" "000a" "03e8" "03e8");
// Every field different from its default.
const QByteArray kChosen = QByteArray::fromHex("00000101" "0014" "0050" "0023" "00dc" "01f4" "0064" "05dc" "0004"
                                               "0030" "0007" "01f4" "0064");
} // namespace

class TestProgramState : public QObject {
    Q_OBJECT
private slots:
    // Each field at its own bytes, high byte first; the language byte is signed.
    void layoutByteByByte()
    {
        TProgramState s;
        s.language = 1;
        s.o2ShowVafr = 0;
        s.descending = 1;
        s.tpsShowRaw = 1;
        for (int k = 0; k < TProgramState::kWords; ++k)
            s.words[size_t(k)] = ((0x11 * (k + 1)) << 8) | (0x80 + k);
        const QByteArray bytes = QByteArray::fromHex("01000101" "1180" "2281" "3382" "4483" "5584" "6685" "7786"
                                                     "8887" "9988" "aa89" "bb8a" "cc8b");
        QCOMPARE(s.encode(), bytes);
        TProgramState back;
        back.language = 7;
        QCOMPARE(back.decode(bytes), 16);
        QCOMPARE(back.encode(), bytes);
        QCOMPARE(back.decode(QByteArray::fromHex("ff")), 1);
        QCOMPARE(back.language, -1);
    }

    // A missing, empty, short, long or odd file never stops the start; the
    // fields it holds are taken, the others keep the window's values, and
    // the close writes a whole file.
    void filesAtStart_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("trackBarB");
        QTest::addColumn<QString>("forcedIdleRpm");
        QTest::addColumn<bool>("f9");
        QTest::addColumn<QString>("tpsMax");
        QTest::addColumn<QString>("status"); // what the status line says (empty: nothing)
        QTest::newRow("missing") << false << QByteArray() << kDefaults << 10 << 1000 << "1200" << false << "Max=0" << "";
        QTest::newRow("0 bytes") << true << QByteArray() << kDefaults << 10 << 1000 << "1200" << false << "Max=0"
                                 << "config.cfg holds 0 of 28 bytes";
        QTest::newRow("5 bytes: flags only") << true << kChosen.left(5) << kChosen.left(4) + kDefaults.mid(4) << 10
                                             << 1000 << "1200" << true << "Max=0" << "config.cfg holds 5 of 28 bytes";
        // The last copy is not in the file; moving TrackBarT set it.
        QTest::newRow("27 bytes") << true << kChosen.left(27) << kChosen << 20 << 500 << "1500" << true << "Max=220"
                                  << "config.cfg holds 27 of 28 bytes";
        QTest::newRow("28 bytes") << true << kChosen << kChosen << 20 << 500 << "1500" << true << "Max=220" << "";
        QTest::newRow("100 bytes") << true << kChosen + QByteArray(72, '\x55') << kChosen << 20 << 500 << "1500"
                                   << true << "Max=220" << "config.cfg is longer than 28 bytes";
        // Out of its control's range a field keeps the window's default.
        QByteArray odd = kChosen;
        odd[0] = char(0xff);                             // no language selected: English stays
        odd[1] = char(0x07);                             // a flag that is neither 0 nor 1
        odd.replace(4, 2, QByteArray("\x07\xd0", 2));  // delta 2000: beyond the up-down's 255
        odd.replace(12, 2, QByteArray("\x13\x88", 2)); // TrackBarB 5000: beyond the bar's 1000
        odd.replace(10, 2, QByteArray("\xbe\xf0", 2)); // TPS maximum 48880: not a throttle code
        odd.replace(20, 2, QByteArray("\xff\xff", 2)); // window start 65535: beyond the last code
        QByteArray oddWritten = odd;
        oddWritten[0] = char(0x01);
        oddWritten[1] = char(0x01);
        oddWritten.replace(4, 2, QByteArray("\x00\x0a", 2));
        oddWritten.replace(12, 2, QByteArray("\x03\xe8", 2));
        oddWritten.replace(10, 2, QByteArray("\x00\x00", 2));
        oddWritten.replace(20, 2, QByteArray("\x00\x00", 2));
        QTest::newRow("out of range") << true << odd << oddWritten << 10 << 1000 << "1500" << true << "Max=0"
                                      << "6 settings of config.cfg out of range kept their defaults";
    }
    void filesAtStart()
    {
        QFETCH(bool, present);
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, written);
        QFETCH(int, delta);
        QFETCH(int, trackBarB);
        QFETCH(QString, forcedIdleRpm);
        QFETCH(bool, f9);
        QFETCH(QString, tpsMax);
        QFETCH(QString, status);
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        if (present)
            QVERIFY(writeFile("config.cfg", file));
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        {
            TForm1 form;
            QCOMPARE(form.UpDown1->value(), delta);
            QCOMPARE(form.TrackBarB->value(), trackBarB);
            QCOMPARE(form.MaskEditForcedIdleRpm->text(), forcedIdleRpm);
            QCOMPARE(form.SpeedButtonToyota->isChecked(), f9);
            QCOMPARE(form.mainTable()->descending(), f9); // start-up passes F9 on
            QCOMPARE(form.LabelTpsMax->text(), tpsMax);
            QCOMPARE(form.correctionWindow()->mafWindowStart(), int(std::uint8_t(written[21])));
            const QString shown = form.statusBar()->currentMessage();
            QVERIFY2(status.isEmpty() ? shown.isEmpty() : shown.startsWith(status), qPrintable(shown));
            form.close();
        }
        QCOMPARE(readFile("config.cfg").toHex(), written.toHex());
        QVERIFY2(sink.messages.isEmpty(), qPrintable(sink.messages.join('|')));
    }

    // Each checked field at the edges of its range: the last value inside is
    // taken (and written back at close), the first outside keeps the default
    // and is reported.
    void eachFieldAtItsEdges_data()
    {
        QTest::addColumn<int>("offset"); // of the field in the file
        QTest::addColumn<int>("size");   // 1: a flag byte, 2: a big-endian word
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("taken");
        const auto edges = [](const char *name, int offset, int size, int lastInside, int firstOutside) {
            QTest::addRow("%s %d taken", name, lastInside) << offset << size << lastInside << true;
            QTest::addRow("%s %d refused", name, firstOutside) << offset << size << firstOutside << false;
        };
        edges("language", 0, 1, 0, 2); // 0 Russian: English is the default
        edges("O2 display", 1, 1, 0, 2);
        edges("F9", 2, 1, 1, 2);
        edges("TPS display", 3, 1, 1, 2);
        edges("delta", 4, 2, 255, 256);
        edges("O2 reference", 6, 2, 255, 256);
        edges("TPS minimum", 8, 2, 255, 256);
        edges("TPS maximum", 10, 2, 255, 256);
        edges("TrackBarB", 12, 2, 1, 0);
        edges("TrackBarB", 12, 2, 999, 1001);
        edges("TrackBarT", 14, 2, 10, 9);
        edges("TrackBarT", 14, 2, 999, 1001);
        edges("window start", 20, 2, 255, 256);
        edges("TrackBarB copy", 24, 2, 1, 0);
        edges("TrackBarT copy", 26, 2, 10, 9);
    }
    void eachFieldAtItsEdges()
    {
        QFETCH(int, offset);
        QFETCH(int, size);
        QFETCH(int, value);
        QFETCH(bool, taken);
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        QByteArray file = kDefaults;
        if (size == 1)
            file[offset] = char(value);
        else
            file.replace(offset, 2, QByteArray(1, char(value >> 8)) + QByteArray(1, char(value & 0xFF)));
        QVERIFY(writeFile("config.cfg", file));
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        {
            TForm1 form;
            const QString shown = form.statusBar()->currentMessage();
            QCOMPARE(shown, taken ? QString() : QStringLiteral("1 settings of config.cfg out of range kept their defaults"));
            form.close();
        }
        const QByteArray written = readFile("config.cfg");
        QCOMPARE(written.mid(offset, size).toHex(), (taken ? file : kDefaults).mid(offset, size).toHex());
        QVERIFY2(sink.messages.isEmpty(), qPrintable(sink.messages.join('|')));
    }

    // The settings, log and firmware dialogs go through the same seam as
    // the table's: their filters and proposed names, and a cancel does nothing.
    void dialogsOfTheWindow()
    {
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        FakeDialogs dialogs;
        form.tableCommands->setDialogs(&dialogs);
        dialogs.answer = dir.filePath("mine");
        form.Nastroiki_FileSaveAs->trigger();
        QCOMPARE(dialogs.asked.last().request.filter, QStringLiteral("Autotuning Files (*.cfg)"));
        QCOMPARE(dialogs.asked.last().request.proposedName, QStringLiteral("config"));
        // The dialog adds the extension before it asks about replacing a file.
        QCOMPARE(dialogs.asked.last().request.defaultSuffix, QStringLiteral("cfg"));
        QVERIFY(QFile::exists(dir.filePath("mine.cfg")));
        dialogs.answer.clear(); // cancelled
        form.LogFileSave->trigger();
        QCOMPARE(dialogs.asked.last().request.filter, QStringLiteral("Log Files (*.log)"));
        QVERIFY(dialogs.asked.last().request.proposedName.startsWith('D'));
        form.FileOpenFirmware->trigger();
        QCOMPARE(dialogs.asked.last().request.filter, QStringLiteral("Firmware files (*.enc)"));
        QVERIFY(sink.messages.isEmpty()); // a cancelled update starts nothing
        form.tableCommands->setDialogs(nullptr);
    }

    void settingsCommands()
    {
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        TForm1 form;
        QVERIFY(form.findChild<QAction *>("Nastroiki_FileOpen"));
        QVERIFY(form.findChild<QAction *>("Nastroiki_FileSaveAs"));
        form.saveSettingsAs(dir.filePath("mine"));
        QCOMPARE(readFile(dir.filePath("mine.cfg")), kDefaults);
        // A name with the extension keeps it: the file replaced is the one named.
        QVERIFY(writeFile(dir.filePath("mine.cfg"), "old"));
        form.saveSettingsAs(dir.filePath("mine.cfg"));
        QCOMPARE(readFile(dir.filePath("mine.cfg")), kDefaults);
        QVERIFY(!QFile::exists(dir.filePath("mine.cfg.cfg")));
        // Loading a saved set: F9 shows down, but the tables keep their
        // characteristic until the button is clicked.
        QVERIFY(writeFile(dir.filePath("chosen.cfg"), kChosen));
        form.loadProgramState(dir.filePath("chosen.cfg"));
        QVERIFY(form.SpeedButtonToyota->isChecked());
        QVERIFY(!form.mainTable()->descending());
        QCOMPARE(form.LabelTpsMin->text(), QStringLiteral("Min=35"));
        QVERIFY(sink.messages.isEmpty());
        // A file that cannot be read or written says so.
        QVERIFY(QDir(dir.path()).mkdir("folder.cfg"));
        form.loadProgramState(dir.filePath("folder.cfg"));
        form.saveSettingsAs(dir.filePath("no/such/place"));
        QCOMPARE(sink.messages.size(), 2);
        QCOMPARE(sink.messages[0], dir.filePath("folder.cfg") + " Config file load error");
        // The program's words, then the system's reason (in the system's language).
        QVERIFY2(sink.messages[1].startsWith("Config file save error\n\n"), qPrintable(sink.messages[1]));
        QCOMPARE(form.UpDown1->value(), 20); // the failed load changed nothing
    }

    // A folder the user may not write into, holding a state file the user
    // may write: the settings are written in place instead of lost.
    void savesInPlaceInAReadOnlyFolder()
    {
        if (::geteuid() != 0)
            QSKIP("needs to run as root to act as another user");
        const passwd *nobody = ::getpwnam("nobody");
        if (!nobody)
            QSKIP("this machine has no unprivileged user 'nobody'");
        QTemporaryDir dir;
        const QString path = dir.filePath("config.cfg");
        QVERIFY(writeFile(path, kDefaults));
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                      | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                      | QFileDevice::ExeOther));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther
                                                | QFileDevice::WriteOther));
        RecordingSink sink; // the child must not show a box
        ScopedMessageSink scoped(&sink);
        TProgramState chosen;
        QVERIFY(chosen.decode(kChosen) == 16);
        const pid_t child = ::fork();
        if (child == 0) {
            const bool ok = ::setgid(nobody->pw_gid) == 0 && ::setuid(nobody->pw_uid) == 0
                            && programstate::save(chosen, path);
            ::_exit(ok ? 0 : 1);
        }
        QVERIFY(child > 0);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(readFile(path).toHex(), kChosen.toHex());
    }
};

QTEST_MAIN(TestProgramState)
#include "tst_program_state.moc"
