// The Windows serial port and port list: why a port will not open, in both
// languages, for the system's error numbers; the port the registry lists; one
// program at a time on a port; a read blocked on one thread ended by close()
// on another. The port-using cases need a COM port with the emulator behind
// it, named in TARVIX_TEST_PORT (the Windows test script maps COM5).
#include <QtTest>

#include <atomic>
#include <thread>

#include <windows.h>

#include "link/PortInfo.h"
#include "link/SerialPort.h"

namespace {
QString testPort()
{
    return qEnvironmentVariable("TARVIX_TEST_PORT");
}

// The message the window shows for a port that did not open ("" when it opened).
QString openFailure(SerialPort &port, const QString &name)
{
    try {
        port.open(name.toStdString());
    } catch (const EComPort &e) {
        return portErrorText(e);
    }
    return QString();
}
} // namespace

class TestPortWindows : public QObject {
    Q_OBJECT

private slots:
    void reasons_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("problem");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("russian");
        QTest::newRow("not present") << int(ERROR_FILE_NOT_FOUND) << int(ports::Problem::Gone)
                                     << "COM9 is gone: the adapter is unplugged" << QString::fromUtf8("COM9 отсутствует");
        QTest::newRow("access denied") << int(ERROR_ACCESS_DENIED) << int(ports::Problem::Busy)
                                       << "COM9 is held by another program. Close it and press Reconnect."
                                       << QString::fromUtf8("COM9 занят другой программой");
        QTest::newRow("in use") << int(ERROR_SHARING_VIOLATION) << int(ports::Problem::Busy)
                                << "COM9 is held by another program" << QString::fromUtf8("COM9 занят");
        QTest::newRow("not a port") << int(ERROR_INVALID_FUNCTION) << int(ports::Problem::NotSerial)
                                    << "COM9 is not a serial port." << QString::fromUtf8("COM9 не является");
        QTest::newRow("other") << int(ERROR_GEN_FAILURE) << int(ports::Problem::Other)
                               << "COM9: " + ports::systemErrorText(ERROR_GEN_FAILURE)
                               << "COM9: " + ports::systemErrorText(ERROR_GEN_FAILURE);
    }

    void reasons()
    {
        QFETCH(int, error);
        QFETCH(int, problem);
        QFETCH(QString, english);
        QFETCH(QString, russian);
        const ports::Check check = ports::explain(QStringLiteral("COM9"), error);
        QCOMPARE(int(check.problem), problem);
        const QString en = ports::reasonText(check, true), ru = ports::reasonText(check, false);
        QVERIFY2(en.startsWith(english), qPrintable(en));
        QVERIFY2(ru.startsWith(russian), qPrintable(ru));
        QVERIFY(!ports::systemErrorText(error).isEmpty());
    }

    void aMissingPortSaysSo()
    {
        SerialPort port;
        const QString message = openFailure(port, QStringLiteral("COM97"));
        QVERIFY2(message.contains(QStringLiteral("COM97 is gone")), qPrintable(message));
        QVERIFY2(message.contains(QString::fromUtf8("COM97 отсутствует")), qPrintable(message));
        QVERIFY(!port.isOpen());
    }

    void theMappedPortIsListed()
    {
        if (testPort().isEmpty())
            QSKIP("TARVIX_TEST_PORT names no port");
        bool listed = false;
        for (const ports::Port &port : ports::list())
            listed = listed || port.path == testPort();
        QVERIFY2(listed, qPrintable(SerialPort::availablePorts().join(QLatin1Char(' '))));
        QCOMPARE(int(ports::check(testPort()).problem), int(ports::Problem::None));
    }

    void oneProgramAtATime()
    {
        if (testPort().isEmpty())
            QSKIP("TARVIX_TEST_PORT names no port");
        SerialPort first, second;
        QCOMPARE(openFailure(first, testPort()), QString());
        QVERIFY(first.isOpen());
        const QString message = openFailure(second, testPort());
        QVERIFY2(message.contains(testPort() + QStringLiteral(" is held by another program")), qPrintable(message));
        QVERIFY(!second.isOpen());
        QCOMPARE(int(ports::check(testPort()).problem), int(ports::Problem::Busy));
        first.close();
        QCOMPARE(openFailure(second, testPort()), QString());
        second.close();
        QCOMPARE(int(ports::check(testPort()).problem), int(ports::Problem::None));
    }

    // Nothing comes: the read waits its time-out and returns with nothing.
    // close() on another thread ends a blocked read at once, with an error
    // rather than a quiet "nothing came" that would look like a silent unit.
    void closeEndsABlockedRead()
    {
        if (testPort().isEmpty())
            QSKIP("TARVIX_TEST_PORT names no port");
        SerialPort port;
        QCOMPARE(openFailure(port, testPort()), QString());
        std::uint8_t byte = 0;
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(port.read(&byte, 1), 0);
        QVERIFY(waited.elapsed() >= SerialPort::kTimeoutMs - 50);

        std::atomic<int> outcome{0}; // 1 = returned, 2 = threw
        std::thread reader([&] {
            try {
                port.read(&byte, 1);
                outcome = 1;
            } catch (const EComPort &) {
                outcome = 2;
            }
        });
        QTest::qWait(200); // let the read block first
        port.close();
        reader.join();
        QCOMPARE(outcome.load(), 2);
        QVERIFY(!port.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestPortWindows)
#include "tst_port_windows.moc"
