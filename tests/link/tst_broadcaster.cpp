#include <QtTest>

#include <stdexcept>

#include "link/Ziravbroadcaster.h"

namespace {
struct Recorder : TSubscriber {
    Recorder(QStringList &log, QString name, std::uint32_t throwOn = 0) : log(log), name(std::move(name)), throwOn(throwOn) {}
    void handleMessage(TMessage &m) override
    {
        log.append(name + QLatin1Char(':') + QString::number(m.id));
        if (m.id == throwOn)
            throw std::runtime_error("open failed");
    }
    QStringList &log;
    QString name;
    std::uint32_t throwOn;
};
} // namespace

class TestBroadcaster : public QObject {
    Q_OBJECT
private slots:
    void deliversInSubscriptionOrderAndKeepsCurrent()
    {
        QStringList log;
        Recorder window(log, "window"), rxtx(log, "rxtx"), logObj(log, "log");
        TZiravBroadcaster b;
        b.subscribe(&window);
        b.subscribe(&rxtx);
        b.subscribe(&logObj);
        TMsgStopLiveData stop;
        b.broadcast(stop);
        QCOMPARE(log, QStringList({"window:32772", "rxtx:32772", "log:32772"}));
        QCOMPARE(b.currentMessage(), static_cast<TMessage *>(&stop));
    }

    void unknownIdsPassEverySubscriber()
    {
        QStringList log;
        Recorder a(log, "a"), c(log, "c");
        TZiravBroadcaster b;
        b.subscribe(&a);
        b.subscribe(&c);
        TMessage odd(12345);
        b.broadcast(odd);
        QCOMPARE(log.size(), 2);
    }

    void exceptionStopsDeliveryAndReachesSender()
    {
        QStringList log;
        Recorder window(log, "window"), rxtx(log, "rxtx", kMsgSetComPort), logObj(log, "log");
        TZiravBroadcaster b;
        b.subscribe(&window);
        b.subscribe(&rxtx);
        b.subscribe(&logObj);
        TMsgSetComPort choose(QStringLiteral("/dev/none"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, b.broadcast(choose));
        QCOMPARE(log, QStringList({"window:32773", "rxtx:32773"}));
        // The next broadcast is delivered to everyone again.
        TMsgStartLiveData start(2);
        b.broadcast(start);
        QCOMPARE(log.size(), 5);
    }

    void recordsCarryTheirIdsAndFlagsFromLowByte()
    {
        QCOMPARE(TMsgStartLiveData().id, 32771u);
        QCOMPARE(TMsgStopLiveData().id, 32772u);
        QCOMPARE(TMsgSetComPort().id, 32773u);
        QCOMPARE(TMsgDashData().id, 32774u);
        QCOMPARE(TMsgAutocorrection().id, 32775u);
        QCOMPARE(TMsgSmoothing().id, 32776u);
        QCOMPARE(TMsgCorrectionWindow().id, 32777u);
        TMsgAutocorrection a;
        a.commit = 0x100; // only the low byte counts
        a.discard = 0x1FF;
        QVERIFY(!a.commitSet());
        QVERIFY(a.discardSet());
        TMsgCorrectionWindow w;
        w.clearFlag = 0xAB00;
        QVERIFY(!w.clearSet());
    }
};

QTEST_GUILESS_MAIN(TestBroadcaster)
#include "tst_broadcaster.moc"
