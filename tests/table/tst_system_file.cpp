// The files written past Qt's own classes, on every system the program is
// built for: every byte value must reach the file as it is (Windows' C
// runtime opens files in text mode unless told otherwise, and would turn
// 0A into 0D 0A), and a name taken by one file is never handed out again.
#include <QtTest>

#include <cerrno>

#include "log/RecordingKeeper.h"
#include "table/SafeFile.h"
#include "table/SystemFile.h"

namespace {
// Every byte value, the line ends and Ctrl+Z (end of a text file on Windows) among them.
QByteArray allBytes(int size)
{
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(char((i * 7 + 3) & 0xFF));
    return bytes + QByteArray("\r\n\n\r\x1a\0\x1a", 7);
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<cannot read>");
}
} // namespace

class TestSystemFile : public QObject {
    Q_OBJECT

private slots:
    void bytesReachTheFileUnchanged_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::newRow("safe write") << "safe";
        QTest::newRow("recording") << "recording";
    }

    void bytesReachTheFileUnchanged()
    {
        QFETCH(QString, writer);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray head = allBytes(256), tail = allBytes(300).mid(17);
        QString path;
        if (writer == QLatin1String("safe")) {
            path = dir.filePath(QStringLiteral("t.tab"));
            QVERIFY(safefile::write(path, head + tail).ok());
        } else {
            RecordingKeeper keeper(dir.path());
            QVERIFY2(keeper.begin(head), qPrintable(keeper.error()));
            QVERIFY2(keeper.append(tail), qPrintable(keeper.error()));
            path = keeper.path();
            keeper.end();
        }
        const QByteArray got = contents(path);
        QCOMPARE(got.size(), head.size() + tail.size());
        QCOMPARE(got.toHex(), (head + tail).toHex());
    }

    // A name another file holds is neither opened again nor truncated.
    void aTakenNameIsNeverHandedOut()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString first = dir.filePath(QStringLiteral("b_1.tab"));
        QVERIFY(safefile::write(first, QByteArray("kept")).ok());
        errno = 0;
        QCOMPARE(systemfile::createNew(first), -1);
        QCOMPARE(errno, EEXIST);

        auto name = [](int n) { return QStringLiteral("b_%1.tab").arg(n); };
        QString reason;
        const QString second = safefile::createUnique(dir.path(), name, &reason);
        QCOMPARE(QFileInfo(second).fileName(), QStringLiteral("b_2.tab"));
        const QString third = safefile::createUnique(dir.path(), name, &reason);
        QCOMPARE(QFileInfo(third).fileName(), QStringLiteral("b_3.tab"));
        QCOMPARE(contents(first), QByteArray("kept"));
        QCOMPARE(QFileInfo(second).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSystemFile)
#include "tst_system_file.moc"
