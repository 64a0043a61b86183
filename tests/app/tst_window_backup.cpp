// The window keeps each unit's table as found, and asks before leaving a
// unit whose working memory holds edits it does not store.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>

#include <algorithm>

#include "app/Language.h"
#include "ui/TableCommands.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "app/WindowTestHelpers.h"
#include "link/MessageSink.h"
#include "sim/Emulator.h"
#include "table/Table_iat_ect_corr.h"

namespace {
QByteArray bytesOf(const sim::Image &image)
{
    return QByteArray(reinterpret_cast<const char *>(image.data()), int(image.size()));
}
int countEvents(const sim::Emulator &unit, const std::string &name)
{
    const auto events = unit.events();
    return int(std::count(events.begin(), events.end(), name));
}
// Shows the window with its progress window, connects to unit and sends
// it one edit (slot 40 := 200) that it does not store.
bool connectAndEdit(TForm1 &form, TForm2 &progress, const QString &path, sim::Emulator &unit)
{
    form.setProgressWindow(&progress);
    form.show();
    if (!chooseAndIdentify(form, path, unit))
        return false;
    {
        const TableEdit edit(*form.mainTable());
        form.mainTable()->setSlot(40, 200);
    }
    return unit.waitForEvent("quick-write", 3000) && form.unstoredEdits();
}
QStringList backups()
{
    return QDir(QStringLiteral("backups")).entryList(QDir::Files);
}
} // namespace

class TestWindowBackup : public QObject {
    Q_OBJECT
    QTemporaryDir workDir_;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(workDir_.path())); }
    void init()
    {
        startAfresh();
        QDir(QStringLiteral("backups")).removeRecursively();
        QFile::remove(QStringLiteral("backups"));
    }

    // Identification and read leave exactly one backup, equal to the unit's image.
    void identificationKeepsTheTableAsFound()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator unit;
        sim::Image image = sim::defaultImage();
        for (int i = 0; i < 256; ++i)
            image[size_t(i)] = std::uint8_t(255 - i);
        unit.setRam(image);
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        QVERIFY(chooseAndIdentify(form, path, unit));
        QTRY_COMPARE(backups().size(), 1);
        const QString name = backups().constFirst();
        QVERIFY2(QRegularExpression("^\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2}_fw2\\.3\\.tab$").match(name).hasMatch(),
                 qPrintable(name));
        QFile f(QDir(QStringLiteral("backups")).filePath(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytesOf(unit.ram()));
        QVERIFY2(form.statusBar()->currentMessage().contains(name), qPrintable(form.statusBar()->currentMessage()));
        QVERIFY(sink.messages.isEmpty());
    }

    // Nowhere to keep it: the unit is connected all the same, and the status line says so.
    void backupThatFailsStopsNothing()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        QFile blocker(QStringLiteral("backups"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        sim::Emulator unit;
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        QVERIFY(chooseAndIdentify(form, path, unit));
        QCOMPARE(form.LabelFirmware->text(), QStringLiteral("FW_Version:2.3"));
        QVERIFY(form.ActionWriteConverter->isEnabled());
        QVERIFY2(form.statusBar()->currentMessage().startsWith("The backup of the unit's table failed"),
                 qPrintable(form.statusBar()->currentMessage()));
        QVERIFY(sink.messages.isEmpty());
    }

    // Leaving a unit (close, another port, Reconnect) with edits only in its
    // working memory asks once; "store" is a full write, "leave" goes on
    // without one, "cancel" stays. Without such edits nothing is asked.
    void leavingAskedAboutUnstoredEdits_data()
    {
        QTest::addColumn<QString>("leave");
        QTest::addColumn<bool>("edited");
        QTest::addColumn<int>("answer"); // 0 store, 1 leave, 2 cancel
        for (const char *how : {"close", "port", "reconnect"}) {
            QTest::addRow("%s, not edited", how) << how << false << -1;
            QTest::addRow("%s, store", how) << how << true << 0;
            QTest::addRow("%s, leave", how) << how << true << 1;
            QTest::addRow("%s, cancel", how) << how << true << 2;
        }
    }
    void leavingAskedAboutUnstoredEdits()
    {
        QFETCH(QString, leave);
        QFETCH(bool, edited);
        QFETCH(int, answer);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator unit;
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        TForm2 progress(&form);
        form.setProgressWindow(&progress);
        form.show();
        QVERIFY(chooseAndIdentify(form, path, unit));
        const QString title = form.windowTitle();
        if (edited) {
            {
                const TableEdit edit(*form.mainTable());
                form.mainTable()->setSlot(40, 200);
            }
            QVERIFY(unit.waitForEvent("quick-write", 3000));
            QVERIFY(form.unstoredEdits());
            // The program's name once: the system adds it to a title that does not end with it.
            QCOMPARE(form.windowTitle(), QString::fromUtf8("Edits not stored in the unit — Tarvix configurator"));
            QVERIFY(form.windowTitle().endsWith(QGuiApplication::applicationDisplayName()));
            // Another language keeps the warning.
            form.ComboBoxLanguage->setCurrentIndex(lang::kRussian);
            QCOMPARE(form.windowTitle(), QString::fromUtf8("Правки не записаны в устройство — Конфигуратор Tarvix"));
            QVERIFY(form.windowTitle().endsWith(QGuiApplication::applicationDisplayName()));
            form.ComboBoxLanguage->setCurrentIndex(lang::kEnglish);
            sink.replies = {answer};
        }
        unit.clearLog();
        if (leave == "close")
            form.close();
        else if (leave == "port")
            form.choosePort(QString::fromLatin1(TForm1::kDemoUnitEntry));
        else
            form.SpeedButtonReconnect->click();
        QCOMPARE(sink.questions.size(), edited ? 1 : 0);
        QCOMPARE(countEvents(unit, "write"), answer == 0 ? 1 : 0);
        if (answer == 0)
            QCOMPARE(int(unit.eeprom()[40]), 200);
        const bool stayed = answer == 2;
        if (leave == "close")
            QCOMPARE(form.isVisible(), stayed);
        else if (leave == "port")
            QCOMPARE(form.ComComboBox1->currentText(), stayed ? path : QString::fromLatin1(TForm1::kDemoUnitEntry));
        else
            QCOMPARE(countEvents(unit, "identify"), stayed ? 0 : 1);
        QCOMPARE(form.unstoredEdits(), stayed);
        if (!stayed)
            QCOMPARE(form.windowTitle(), title);
    }

    // A read tells what the working memory holds, not what the unit stores:
    // edits sent before it stay unstored, and leaving still asks. "Leave"
    // leaves the EEPROM as it was.
    void readKeepsEditsUnstored()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator unit;
        const QString path = QString::fromStdString(unit.start());
        const sim::Image stored = unit.eeprom();
        TForm1 form;
        TForm2 progress(&form);
        QVERIFY(connectAndEdit(form, progress, path, unit));
        unit.clearLog();
        form.ActionReadCoverter->trigger();
        QVERIFY(unit.waitForEvent("read", 3000));
        QCOMPARE(int(form.mainTable()->slot(40)), 200); // the working memory's
        QVERIFY(form.unstoredEdits());
        QVERIFY2(form.windowTitle().startsWith("Edits not stored in the unit"), qPrintable(form.windowTitle()));
        sink.replies = {1};
        form.close();
        QCOMPARE(sink.questions.size(), 1);
        QVERIFY(!form.isVisible());
        QCOMPARE(countEvents(unit, "write"), 0);
        QVERIFY(unit.eeprom() == stored);
    }

    // "Store in the unit" that fails (the unit stops echoing) keeps the
    // window open and the edits marked; the next close asks again.
    void failedStoreKeepsAsking()
    {
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator unit;
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        TForm2 progress(&form);
        QVERIFY(connectAndEdit(form, progress, path, unit));
        sim::Config silent = unit.config();
        silent.echoStopAt = 5;
        unit.setConfig(silent);
        sink.replies = {0};
        form.close();
        QCOMPARE(sink.questions.size(), 1);
        QVERIFY(form.isVisible());
        QVERIFY(form.unstoredEdits());
        QVERIFY2(form.windowTitle().startsWith("Edits not stored in the unit"), qPrintable(form.windowTitle()));
        sink.replies = {2};
        form.close();
        QCOMPARE(sink.questions.size(), 2);
        QVERIFY(form.isVisible());
        sink.replies = {1};
        form.close();
        QVERIFY(!form.isVisible());
    }

    // A file of another size than a table's is taken as the format allows,
    // and the status line says what it was.
    void loadingAFileOfAnotherSizeSaysSo_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("status");
        QTest::newRow("table") << 392 << QString();
        QTest::newRow("older points-only file") << 256 << QString();
        QTest::newRow("3-byte text") << 3 << "x.tab holds 3 bytes: not a full table; the rest is set to 0";
        QTest::newRow("100 bytes") << 100 << "x.tab holds 100 bytes: not a full table; the rest is set to 0";
        QTest::newRow("600 bytes") << 600
                                   << "x.tab holds 600 bytes: not a table of this unit; its first 392 bytes were taken";
    }
    void loadingAFileOfAnotherSizeSaysSo()
    {
        QFETCH(int, size);
        QFETCH(QString, status);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        QTemporaryDir dir;
        QFile f(dir.filePath("x.tab"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, '\x21'));
        f.close();
        TForm1 form;
        form.statusBar()->clearMessage();
        QVERIFY(form.tableCommands->openTab(*form.mainTable(), 1, f.fileName()));
        QCOMPARE(form.statusBar()->currentMessage(), status);
        QVERIFY(sink.messages.isEmpty());
    }
};

QTEST_MAIN(TestWindowBackup)
#include "tst_window_backup.moc"
