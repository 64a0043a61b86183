// Every file the program writes, on a disk that refuses the bytes: the save
// says it failed and why, the old file stays whole and no temporary file is
// left behind. A file-size limit (EFBIG) stands for a full disk without
// privileges; where mounting is allowed, a full tmpfs shows the real ENOSPC.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

#include "app/Saveloadprogramstate.h"
#include "link/MessageSink.h"
#include "link/Rxtx.h"
#include "link/Ziravbroadcaster.h"
#include "log/LogCsv.h"
#include "log/Log_iat_ect_corr.h"
#include "table/Backup.h"
#include "table/TableFile.h"
#include "table/Table_iat_ect_corr.h"
#include "throttle/TpsCalibration.h"

namespace {
// Writes past limit bytes fail with EFBIG while it lives (SIGXFSZ ignored).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit lowered = previous_;
        lowered.rlim_cur = limit;
        ok_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    bool ok() const { return ok_; }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
    bool ok_ = false;
};

QByteArray distinctBytes(int n, int seed)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char((seed + i * 13) & 0xFF);
    return b;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

// What one kind of file needs to be saved, and how the program saves it.
struct Kind {
    QString fileName;                                      // the old file in the folder
    std::function<bool(const QString &folder, QString *why)> save; // false: reported failure
};

Kind kindNamed(const QString &name)
{
    if (name == "table")
        return {"old.tab", [](const QString &folder, QString *) {
                    Table table;
                    return tbl::saveTabFile(table, QDir(folder).filePath("old.tab"), 1);
                }};
    if (name == "backup")
        return {"", [](const QString &folder, QString *why) {
                    const backup::Result r = backup::save(folder, distinctBytes(392, 3), "2.3");
                    *why = r.error;
                    return r.ok;
                }};
    if (name == "log" || name == "csv")
        return {name == "log" ? "old.log" : "old.csv", [name](const QString &folder, QString *) {
                    TZiravBroadcaster broadcaster;
                    TRXTX channel(broadcaster);
                    TTpsCalibration tps;
                    Log log(tps, channel, broadcaster);
                    log.setUpView(nullptr, nullptr);
                    for (int i = 0; i < 50; ++i) {
                        TLogRecord r{};
                        r.fill(i);
                        log.addRecord(r);
                    }
                    return name == "log" ? log.saveToFile(QDir(folder).filePath("old.log"))
                                         : logcsv::exportCsv(log, QDir(folder).filePath("old.csv"));
                }};
    if (name == "config")
        return {"config.cfg", [](const QString &folder, QString *) {
                    TProgramState state;
                    return programstate::save(state, QDir(folder).filePath("config.cfg"));
                }};
    return {"UndoRedoHistory.his", [](const QString &folder, QString *why) {
                Table table;
                table.takeSnapshot();
                return table.saveHistory(folder, why);
            }};
}

const QStringList kKinds = {"table", "backup", "log", "csv", "config", "history"};
} // namespace

class TestFullDisk : public QObject {
    Q_OBJECT
private slots:
    void failedSaveKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("kind");
        for (const QString &kind : kKinds)
            QTest::newRow(qPrintable(kind)) << kind;
    }
    void failedSaveKeepsTheOldFile()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const Kind k = kindNamed(kind);
        const QByteArray old = distinctBytes(20, 7); // past the limit below, so its place is real
        if (!k.fileName.isEmpty())
            writeFile(dir.filePath(k.fileName), old);
        const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        bool saved = true;
        QString why;
        {
            FileSizeLimit limit(12); // less than any of these files
            QVERIFY(limit.ok());
            saved = k.save(dir.path(), &why);
        }
        QVERIFY2(!saved, "a save the disk refused reported success");
        const QString told = sink.messages.join('\n') + why;
        QVERIFY2(told.contains("File too large"), qPrintable(told));
        if (!k.fileName.isEmpty())
            QCOMPARE(contents(dir.filePath(k.fileName)), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), before);
    }

    // The real thing: a small tmpfs filled up (ENOSPC), where the tests may mount.
    void fullFileSystem()
    {
        QTemporaryDir dir;
        const QString mount = dir.filePath("small");
        QVERIFY(QDir().mkpath(mount));
        QProcess p;
        p.start("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mount});
        if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            QSKIP("mounting a tmpfs is refused here (not root, or no CAP_SYS_ADMIN)");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {mount}); });
        const QByteArray old = distinctBytes(392, 9);
        writeFile(QDir(mount).filePath("old.tab"), old);
        {
            // Fill what is left.
            QFile filler(QDir(mount).filePath("filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray block(4096, 'x');
            while (filler.write(block) == block.size()) {
            }
        }
        const QStringList before = QDir(mount).entryList(QDir::Files | QDir::Hidden);
        for (const QString &kind : kKinds) {
            const Kind k = kindNamed(kind);
            RecordingSink sink;
            ScopedMessageSink scoped(&sink);
            QString why;
            QVERIFY2(!k.save(mount, &why), qPrintable(kind));
            const QString told = sink.messages.join('\n') + why;
            QVERIFY2(told.contains("No space left on device"), qPrintable(kind + ": " + told));
            QCOMPARE(contents(QDir(mount).filePath("old.tab")), old);
            QCOMPARE(QDir(mount).entryList(QDir::Files | QDir::Hidden), before);
        }
    }
};

QTEST_GUILESS_MAIN(TestFullDisk)
#include "tst_full_disk.moc"
