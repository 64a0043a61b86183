// Backups of the unit's table as found: names, exact bytes, the newest 200
// kept, and a place that cannot be written reported without stopping.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

#include "table/Backup.h"

namespace {
QByteArray image(char seed)
{
    QByteArray bytes(392, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(seed + i * 7);
    return bytes;
}
QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
const QDateTime kWhen(QDate(2026, 12, 10), QTime(15, 30, 12));
} // namespace

class TestBackup : public QObject {
    Q_OBJECT
private slots:
    void names_data()
    {
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QString>("name");
        QTest::newRow("firmware") << "2.3" << "2026-12-10_15-30-12_fw2.3.tab";
        QTest::newRow("none") << "" << "2026-12-10_15-30-12_unit.tab";
        QTest::newRow("odd text") << "2/3 x" << "2026-12-10_15-30-12_fw2_3_x.tab";
    }
    void names()
    {
        QFETCH(QString, firmware);
        QFETCH(QString, name);
        QCOMPARE(backup::fileName(kWhen, firmware), name);
    }

    // The bytes as given, byte for byte; a second backup within the same
    // second is kept beside the first and counts as the newer.
    void savesTheImageUnchanged()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("backups"); // made when missing
        const backup::Result first = backup::save(folder, image(1), "2.3", kWhen);
        QVERIFY2(first.ok, qPrintable(first.error));
        QCOMPARE(first.path, QDir(folder).filePath("2026-12-10_15-30-12_fw2.3.tab"));
        QCOMPARE(contents(first.path), image(1));
        const backup::Result second = backup::save(folder, image(2), "2.3", kWhen);
        QVERIFY(second.ok);
        QVERIFY(second.path != first.path);
        QCOMPARE(contents(second.path), image(2));
        QCOMPARE(contents(first.path), image(1));
        QCOMPARE(backup::newest(folder, "2.3"), second.path);
        QCOMPARE(backup::newest(folder, "2.4"), QString());
        const backup::Result other = backup::save(folder, image(3), "2.4", kWhen.addSecs(-60));
        QCOMPARE(backup::newest(folder, "2.4"), other.path);
        // Newest by when it was written, whatever its name says.
        QCOMPARE(backup::newest(folder), other.path);
    }

    // The 201st backup removes the oldest; other files in the folder stay.
    void keepsTheNewest200()
    {
        QTemporaryDir dir;
        QFile mine(dir.filePath("notes.tab"));
        QVERIFY(mine.open(QIODevice::WriteOnly));
        mine.close();
        QString oldest;
        for (int i = 0; i < 200; ++i) {
            const backup::Result r = backup::save(dir.path(), image(char(i)), "2.3", kWhen.addSecs(i));
            QVERIFY(r.ok);
            if (i == 0)
                oldest = r.path;
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 201);
        QVERIFY(QFile::exists(oldest));
        const backup::Result last = backup::save(dir.path(), image(9), "2.3", kWhen.addSecs(500));
        QVERIFY(last.ok);
        QVERIFY(!QFile::exists(oldest));
        QVERIFY(QFile::exists(QDir(dir.path()).filePath(backup::fileName(kWhen.addSecs(1), "2.3"))));
        QVERIFY(QFile::exists(mine.fileName()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 201);
    }

    // Sixteen programs backing up in the same second (the window and
    // tarvix-cli share the folder): sixteen files, each with its own table.
    void concurrentBackupsKeepEveryOne()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("backups");
        QVERIFY(QDir().mkpath(folder));
        int gate[2];
        QVERIFY(::pipe(gate) == 0);
        QList<pid_t> children;
        for (int i = 0; i < 16; ++i) {
            const pid_t child = ::fork();
            if (child == 0) {
                ::close(gate[1]);
                char go;
                [[maybe_unused]] ssize_t n = ::read(gate[0], &go, 1); // all start together
                ::_exit(backup::save(folder, image(char(i)), "2.3", kWhen).ok ? 0 : 1);
            }
            children.append(child);
        }
        ::close(gate[0]);
        ::close(gate[1]); // releases them
        for (pid_t child : children) {
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        const QStringList names = QDir(folder).entryList(QDir::Files);
        QCOMPARE(names.size(), 16);
        QSet<QByteArray> tables;
        for (const QString &name : names)
            tables.insert(contents(QDir(folder).filePath(name)));
        QCOMPARE(tables.size(), 16);
    }

    // Pruning goes by when backups were written, not by the date in their
    // names, removes only files of exactly the program's form and size, and
    // never the backup just written.
    void pruningKeepsWhatIsNotOurs()
    {
        QTemporaryDir dir;
        const QDir folder(dir.path());
        const auto put = [&](const QString &name, const QByteArray &bytes, const QDateTime &written) {
            QFile f(folder.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            QVERIFY(f.setFileTime(written, QFileDevice::FileModificationTime));
        };
        const QDateTime longAgo(QDate(2020, 1, 1), QTime(0, 0));
        // Dated ahead (a clock once wrong, a copied folder) but written long ago.
        put("2099-01-01_00-00-00_fw2.3.tab", image(1), longAgo);
        put("2099-01-01_00-00-01_fw2.3.tab", image(2), longAgo.addSecs(1));
        // The user's own files, named like backups.
        put("2024-05-01_10-00-00_my engine tune.tab", image(3), longAgo);
        put("2024-05-01_10-00-00_fw2.3.tab.bak", image(4), longAgo);
        put("2024-05-01_10-00-01_fw2.3.tab", QByteArray(), longAgo); // empty: not a backup
        const backup::Result r = backup::save(dir.path(), image(5), "2.3", kWhen, 1);
        QVERIFY(r.ok);
        QCOMPARE(contents(r.path), image(5));
        QCOMPARE(backup::newest(dir.path(), "2.3"), r.path);
        QCOMPARE(backup::newest(dir.path()), r.path);
        QStringList left = folder.entryList(QDir::Files);
        left.sort();
        QCOMPARE(left, (QStringList{"2024-05-01_10-00-00_fw2.3.tab.bak", "2024-05-01_10-00-00_my engine tune.tab",
                                    "2024-05-01_10-00-01_fw2.3.tab", QFileInfo(r.path).fileName()}));
    }

    // A file standing where the folder should be: the backup fails and says where.
    void unwritablePlaceFails()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("backups"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const backup::Result r = backup::save(dir.filePath("backups"), image(1), "2.3", kWhen);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(dir.filePath("backups")), qPrintable(r.error));
    }

    void firmwareNoteNamesTheFile()
    {
        QCOMPARE(backup::firmwareNote(QString()), QString());
        const QString note = backup::firmwareNote("backups/2026-12-10_15-30-12_fw2.3.tab");
        QVERIFY(note.contains("backups/2026-12-10_15-30-12_fw2.3.tab"));
        QVERIFY(note.contains(QString::fromUtf8("Таблица")));
    }
};

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
