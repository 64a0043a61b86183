// Why a port will not open, in words a user can act on, and what the
// system knows of each port.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "link/PortInfo.h"
#include "link/SerialPort.h"

namespace {
// A pseudo-terminal whose far end stays open while the test runs.
struct Pty {
    int master = -1;
    QString slave;
    Pty()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            slave = QString::fromLocal8Bit(::ptsname(master));
    }
    ~Pty()
    {
        if (master >= 0)
            ::close(master);
    }
};

// The message the window shows for a port that did not open.
QString openFailure(const QString &path, int *code = nullptr)
{
    SerialPort port;
    try {
        port.open(path.toStdString());
    } catch (const EComPort &e) {
        if (code)
            *code = e.code();
        return portErrorText(e);
    }
    return QString();
}

void writeFile(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text + '\n');
}
} // namespace

class TestPortReasons : public QObject {
    Q_OBJECT
private slots:
    void goneWhenThePathDoesNotExist()
    {
        int code = 0;
        const QString text = openFailure("/dev/ttyUSB-not-there", &code);
        QCOMPARE(code, ENOENT);
        QVERIFY2(text.contains("COM port doesn't open"), qPrintable(text));
        QVERIFY2(text.contains("/dev/ttyUSB-not-there is gone"), qPrintable(text));
        QVERIFY2(text.contains(QString::fromUtf8("отсутствует")), qPrintable(text));
        QCOMPARE(ports::check("/dev/ttyUSB-not-there").problem, ports::Problem::Gone);
    }

    // A port that vanished under its name (the adapter unplugged as it was
    // opened) is gone, told in words, not in the system's raw error.
    void vanishedPortIsGone_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("raw");
        QTest::newRow("ENOENT") << ENOENT << "No such file or directory";
        QTest::newRow("ENODEV") << ENODEV << "No such device";
        QTest::newRow("ENXIO") << ENXIO << "No such device or address";
    }
    void vanishedPortIsGone()
    {
        QFETCH(int, code);
        QFETCH(QString, raw);
        QCOMPARE(ports::explain("/dev/ttyUSB3", code).problem, ports::Problem::Gone);
        const QString text = portErrorText(EComPort("cannot open /dev/ttyUSB3", EComPort::CannotOpen, code, "/dev/ttyUSB3"));
        QVERIFY2(text.contains("/dev/ttyUSB3 is gone: the adapter is unplugged"), qPrintable(text));
        QVERIFY2(text.contains(QString::fromUtf8("/dev/ttyUSB3 отсутствует")), qPrintable(text));
        QVERIFY2(!text.contains(raw), qPrintable(text));
    }

    // Held by another open of this very process (exclusive, as the window
    // holds its port): busy even for root, and the holder is named.
    void busyWhileHeldExclusively()
    {
        Pty pty;
        QVERIFY(!pty.slave.isEmpty());
        SerialPort holder;
        holder.open(pty.slave.toStdString());
        int code = 0;
        const QString text = openFailure(pty.slave, &code);
        QCOMPARE(code, EBUSY);
        QVERIFY2(text.contains(pty.slave + " is held by another program"), qPrintable(text));
        const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName().left(15);
        QVERIFY2(text.contains(QStringLiteral("(pid %1)").arg(::getpid())), qPrintable(text));
        QVERIFY2(text.contains(self), qPrintable(text));
        QCOMPARE(ports::check(pty.slave).problem, ports::Problem::Busy);
        // Once let go, the port opens again.
        holder.close();
        QVERIFY(openFailure(pty.slave).isEmpty());
    }

    // A port its owner keeps to a group: the reason names the group and the
    // fix. Run as a user without the right where the machine has one;
    // otherwise (no such user) the errno's words are checked.
    void noPermissionNamesTheGroup()
    {
        Pty pty;
        QVERIFY(!pty.slave.isEmpty());
        QVERIFY(::chmod(QFile::encodeName(pty.slave).constData(), 0) == 0);
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(pty.slave).constData(), &st) == 0);
        const group *g = ::getgrgid(st.st_gid);
        const QString groupName = g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);
        const passwd *nobody = ::getpwnam("nobody");
        if (::geteuid() == 0 && nobody) {
            // A child that becomes that user tries the port and tells the errno.
            int pipeFds[2];
            QVERIFY(::pipe(pipeFds) == 0);
            const pid_t child = ::fork();
            if (child == 0) {
                ::close(pipeFds[0]);
                int code = 0;
                if (::setgid(nobody->pw_gid) == 0 && ::setuid(nobody->pw_uid) == 0) {
                    SerialPort port;
                    try {
                        port.open(pty.slave.toStdString());
                    } catch (const EComPort &e) {
                        code = e.code();
                    }
                } else {
                    code = -1;
                }
                [[maybe_unused]] ssize_t n = ::write(pipeFds[1], &code, sizeof code);
                ::_exit(0);
            }
            ::close(pipeFds[1]);
            int code = 0;
            QCOMPARE(::read(pipeFds[0], &code, sizeof code), ssize_t(sizeof code));
            ::close(pipeFds[0]);
            ::waitpid(child, nullptr, 0);
            QCOMPARE(code, EACCES);
        }
        const ports::Check c = ports::explain(pty.slave, EACCES);
        QCOMPARE(c.problem, ports::Problem::NoPermission);
        QCOMPARE(c.group, groupName);
        const QString en = ports::reasonText(c, true);
        if (groupName == "root") // a machine without a tty group: only root may open it
            return;
        QVERIFY2(en.contains(QStringLiteral("belongs to the group \"%1\"").arg(groupName)), qPrintable(en));
        QVERIFY2(en.contains(QStringLiteral("sudo usermod -aG %1 $USER").arg(groupName)), qPrintable(en));
        QVERIFY(ports::reasonText(c, false).contains(QStringLiteral("sudo usermod -aG %1 $USER").arg(groupName)));
    }

    // A device only root may open (owned by root, mode 600): joining the
    // group root is no advice; the usual grant is named instead.
    void onlyRootMayOpen()
    {
        ports::Check c = ports::explain("/dev/ttyUSB0", EACCES);
        c.group = "root";
        for (bool english : {true, false}) {
            const QString text = ports::reasonText(c, english);
            QVERIFY2(!text.contains("-aG root"), qPrintable(text));
            QVERIFY2(text.contains("dialout") && text.contains("udev"), qPrintable(text));
        }
        QVERIFY(ports::reasonText(c, true).contains("only root may open it"));
    }

    // What the kernel's device tree tells of a port.
    void descriptions_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QByteArray>("product"); // as the adapter reports it
        const QByteArray product("FT232R USB UART");
        QTest::newRow("USB adapter") << "/dev/ttyUSB0" << "FTDI FT232R USB UART (0403:6001)" << product;
        // A carriage return or tab from the device would break the listing's line.
        QTest::newRow("control characters") << "/dev/ttyUSB0" << "FTDI FT232R USB UART (0403:6001)"
                                            << QByteArray("FT232R\r USB\tUART\x1b");
        QTest::newRow("USB without names") << "/dev/ttyACM0" << "USB adapter (2341:0043)" << product;
        QTest::newRow("Bluetooth") << "/dev/rfcomm0" << "Bluetooth" << product;
        QTest::newRow("built in") << "/dev/ttyS0" << "built-in serial port" << product;
        QTest::newRow("unknown") << "/dev/pts/7" << "" << product;
    }
    void descriptions()
    {
        QFETCH(QString, path);
        QFETCH(QString, description);
        QFETCH(QByteArray, product);
        QTemporaryDir sys;
        // ttyUSB0: interface folder under the USB device that has the names.
        const QString ftdi = sys.filePath("devices/pci0/usb1/1-1");
        writeFile(ftdi + "/idVendor", "0403");
        writeFile(ftdi + "/idProduct", "6001");
        writeFile(ftdi + "/manufacturer", "FTDI");
        writeFile(ftdi + "/product", product);
        QDir().mkpath(ftdi + "/1-1:1.0/ttyUSB0");
        const QString arduino = sys.filePath("devices/pci0/usb1/1-2");
        writeFile(arduino + "/idVendor", "2341");
        writeFile(arduino + "/idProduct", "0043");
        QDir().mkpath(arduino + "/1-2:1.0");
        QDir().mkpath(sys.filePath("class/tty/ttyUSB0"));
        QDir().mkpath(sys.filePath("class/tty/ttyACM0"));
        QVERIFY(QFile::link(ftdi + "/1-1:1.0/ttyUSB0", sys.filePath("class/tty/ttyUSB0/device")));
        QVERIFY(QFile::link(arduino + "/1-2:1.0", sys.filePath("class/tty/ttyACM0/device")));
        QCOMPARE(ports::describe(path, sys.path()), description);
        QCOMPARE(ports::choiceText({path, description}),
                 description.isEmpty() ? path : path + "  (" + description + ")");
    }
};

QTEST_MAIN(TestPortReasons)
#include "tst_port_reasons.moc"
