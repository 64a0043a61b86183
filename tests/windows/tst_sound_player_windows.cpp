// The cue player's rules with the system's PlaySound behind it, which tells
// nothing of what it plays: a cue counts as playing for its file's length, a
// cue that does not interrupt is dropped meanwhile, one that interrupts takes
// over, and a missing file starts nothing. The sounds come from Sound/En/ in
// the working folder (the test script records what reaches the sound server).
#include <QtTest>

#include "app/SoundEffectPlayer.h"

class TestSoundPlayerWindows : public QObject {
    Q_OBJECT

private slots:
    void cuesFollowTheRules()
    {
        QVERIFY2(QFileInfo::exists(QStringLiteral("Sound/En/ready.wav")), "Sound/En missing in the working folder");
        SoundEffectPlayer player([] { return QStringLiteral("Sound/En/"); });
        player.play(QStringLiteral("no-such-cue.wav"), true);
        QCOMPARE(player.playing(), QString());
        QVERIFY(!player.busy());

        player.play(QStringLiteral("ready.wav"), false);
        QVERIFY(player.playing().endsWith(QStringLiteral("Sound/En/ready.wav")));
        QVERIFY(player.busy());
        player.play(QStringLiteral("corr.wav"), false); // dropped: ready.wav still plays
        QVERIFY(player.playing().endsWith(QStringLiteral("ready.wav")));

        player.play(QStringLiteral("20.wav"), true);
        QVERIFY(player.playing().endsWith(QStringLiteral("20.wav")));
        const qint64 length = wavDurationMs(QStringLiteral("Sound/En/20.wav"));
        QVERIFY(length > 100);
        QTRY_VERIFY_WITH_TIMEOUT(!player.busy(), int(length) + 3000);
        player.play(QStringLiteral("corr.wav"), false); // the last one ended: this one plays
        QVERIFY(player.playing().endsWith(QStringLiteral("corr.wav")));
        QTRY_VERIFY_WITH_TIMEOUT(!player.busy(), int(wavDurationMs(QStringLiteral("Sound/En/corr.wav"))) + 3000);
    }
};

QTEST_GUILESS_MAIN(TestSoundPlayerWindows)
#include "tst_sound_player_windows.moc"
