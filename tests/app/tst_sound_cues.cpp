// The sound cues are heard: a private sound server with a null sink takes
// what the window plays, a recorder listens to the sink, and the recording
// is matched against the cue files. Skipped, with the reason, where the
// sound server or its tools are missing.
#include <QtTest>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QSet>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/Language.h"
#include "app/SoundEffectPlayer.h"
#include "app/Unit1.h"
#include "app/WindowTestHelpers.h"
#include "link/MessageSink.h"
#include "log/Log_iat_ect_corr.h"
#include "log/SoundPlayer.h"
#include "sim/Emulator.h"

namespace {

constexpr int kRate = 16000; // the cue files' rate; the recorder resamples to it

std::vector<double> samples(const QByteArray &s16le, int from = 0)
{
    std::vector<double> out;
    for (int i = from; i + 1 < s16le.size(); i += 2)
        out.push_back(std::int16_t(std::uint8_t(s16le[i]) | (std::uint8_t(s16le[i + 1]) << 8)) / 32768.0);
    return out;
}

// The samples of a 16-bit mono WAV file (its "data" chunk).
std::vector<double> wavSamples(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const int data = bytes.indexOf("data");
    return data < 0 ? std::vector<double>{} : samples(bytes, data + 8);
}

double correlation(const std::vector<double> &recording, std::ptrdiff_t at, const std::vector<double> &cue,
                   int step)
{
    double dot = 0, energy = 0, cueEnergy = 0;
    for (std::size_t k = 0; k < cue.size(); k += std::size_t(step)) {
        const std::ptrdiff_t i = at + std::ptrdiff_t(k);
        const double r = i >= 0 && i < std::ptrdiff_t(recording.size()) ? recording[std::size_t(i)] : 0.0;
        dot += r * cue[k];
        energy += r * r;
        cueEnergy += cue[k] * cue[k];
    }
    return energy > 0 && cueEnergy > 0 ? dot / std::sqrt(energy * cueEnergy) : 0.0;
}

// Best normalised correlation of the cue with the recording, the cue
// starting anywhere from sample `from` to sample `to`: a coarse search on
// every 4th sample, then every lag near the best one.
double match(const std::vector<double> &recording, const std::vector<double> &cue, std::ptrdiff_t from,
             std::ptrdiff_t to)
{
    if (cue.empty())
        return 0;
    std::ptrdiff_t bestAt = from;
    double best = -1;
    for (std::ptrdiff_t at = std::max<std::ptrdiff_t>(0, from); at <= to; at += 4) {
        const double c = correlation(recording, at, cue, 4);
        if (c > best) {
            best = c;
            bestAt = at;
        }
    }
    best = 0;
    for (std::ptrdiff_t at = bestAt - 4; at <= bestAt + 4; ++at)
        best = std::max(best, correlation(recording, at, cue, 1));
    return best;
}

// A sound server of this test's own (its runtime folder is private) whose
// only sink plays into nothing, and a recorder on that sink.
class SoundRig {
public:
    QString missing() const
    {
        for (const char *tool : {"pulseaudio", "pactl", "parec"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                return QStringLiteral("%1 is not installed (scripts/install-deps.sh installs it)").arg(tool);
        return {};
    }
    bool start()
    {
        const int rc = QProcess::execute(QStringLiteral("pulseaudio"),
                                         {QStringLiteral("-n"), QStringLiteral("--daemonize=yes"),
                                          QStringLiteral("--exit-idle-time=-1"),
                                          QStringLiteral("--load=module-null-sink sink_name=nul"),
                                          QStringLiteral("--load=module-native-protocol-unix")});
        if (rc != 0)
            return false;
        started_ = true;
        if (QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("set-default-sink"), QStringLiteral("nul")}) != 0)
            return false;
        QObject::connect(&recorder_, &QProcess::readyReadStandardOutput,
                         [this] { recording_ += recorder_.readAllStandardOutput(); });
        recorder_.start(QStringLiteral("parec"),
                        {QStringLiteral("-d"), QStringLiteral("nul.monitor"), QStringLiteral("--latency-msec=20"),
                         QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(kRate),
                         QStringLiteral("--channels=1")});
        return recorder_.waitForStarted();
    }
    ~SoundRig()
    {
        if (recorder_.state() != QProcess::NotRunning) {
            recorder_.kill();
            recorder_.waitForFinished();
        }
        if (started_)
            QProcess::execute(QStringLiteral("pulseaudio"), {QStringLiteral("--kill")});
    }
    std::vector<double> recording() const { return samples(recording_); }
    // Samples recorded so far.
    std::ptrdiff_t length() const { return recording_.size() / 2; }

private:
    QProcess recorder_;
    QByteArray recording_;
    bool started_ = false;
};

// The real player, noting each cue it starts.
class StartedCues : public SoundPlayer {
public:
    StartedCues(SoundEffectPlayer &player, const SoundRig &rig) : player_(player), rig_(rig) {}
    void play(const QString &file, bool interrupt) override
    {
        changes += file != lastAsked_;
        lastAsked_ = file;
        const QString before = player_.playing();
        const bool wasBusy = player_.busy();
        if (interrupt && wasBusy && !started.isEmpty())
            cut.insert(int(started.size()) - 1);
        player_.play(file, interrupt);
        if (player_.playing() != before || (!wasBusy && player_.busy())) {
            started.append(player_.playing());
            startedAt.push_back(rig_.length());
        }
    }
    QStringList started;
    std::vector<std::ptrdiff_t> startedAt; // the recording's length then
    int changes = 0;                       // asked for another cue than the last
    QSet<int> cut;                         // started cues another one interrupted

private:
    QString lastAsked_;
    SoundEffectPlayer &player_;
    const SoundRig &rig_;
};

} // namespace

class TestSoundCues : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The cues are played from the working folder, as from the build tree.
        QVERIFY(QFile::link(QStringLiteral(TARVIX_SOURCE_DIR "/Sound"), QStringLiteral("Sound")));
        // One sound server for the whole run, as a user's session has: the
        // multimedia backend stays connected to the server it first found,
        // and a cue played while it reconnects to a new one is lost.
        if (rig_.missing().isEmpty())
            QVERIFY2(rig_.start(), "the private sound server did not start");
    }

    void autotuningStateCueIsHeard_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("heard");
        QTest::addColumn<QString>("other");
        QTest::newRow("English") << int(lang::kEnglish) << "Sound/En/corr.wav" << "Sound/Ru/corr.wav";
        QTest::newRow("Russian") << int(lang::kRussian) << "Sound/Ru/corr.wav" << "Sound/En/corr.wav";
    }
    void autotuningStateCueIsHeard()
    {
        QFETCH(int, language);
        QFETCH(QString, heard);
        QFETCH(QString, other);
        SoundRig &rig = rig_;
        if (!rig.missing().isEmpty())
            QSKIP(qPrintable(rig.missing()));

        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Emulator unit(sim::demoConfig());
        unit.setRam(sim::demoImage());
        unit.setEeprom(sim::demoImage());
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        SoundEffectPlayer player([&form] { return form.soundFolder(); });
        StartedCues cues(player, rig);
        ScopedSoundPlayer installed(&cues);
        form.ComboBoxLanguage->setCurrentIndex(language);
        form.choosePort(path);
        QVERIFY(unit.waitForEvent("read", 5000));
        // The recorder hears the sink before anything plays.
        const std::ptrdiff_t heardBefore = rig.length();
        QTRY_VERIFY_WITH_TIMEOUT(rig.length() > heardBefore + kRate / 5, 10000);
        form.SpeedButtonAutocorr->click();
        form.ActionStart->trigger();
        // The first requests of the loop are in its fast phase: "corr.wav".
        auto fastPhase = [&cues, &heard] {
            for (int i = 0; i < cues.started.size(); ++i)
                if (cues.started.at(i).endsWith(heard))
                    return i;
            return -1;
        };
        QTRY_VERIFY_WITH_TIMEOUT(fastPhase() >= 0, 20000);
        const std::vector<double> cue = wavSamples(heard);
        QVERIFY(!cue.empty());
        // The cue sounds from when it was started (the recording's length
        // then) or later: a loaded machine can delay the sound server, and the
        // recorder's output, by seconds. So the recording is searched as it
        // grows, up to the point where the cue has been found whole.
        const std::ptrdiff_t at = cues.startedAt.at(std::size_t(fastPhase()));
        const std::ptrdiff_t from = at - kRate / 4;
        std::vector<double> recording;
        double score = 0;
        QDeadlineTimer deadline(30000);
        std::ptrdiff_t searched = 0;
        while (score <= 0.7 && !deadline.hasExpired()) {
            QTRY_VERIFY_WITH_TIMEOUT(rig.length() > std::max(searched, at) + std::ptrdiff_t(cue.size()) + kRate / 2
                                         || deadline.hasExpired(),
                                     31000);
            recording = rig.recording();
            const std::ptrdiff_t to = std::ptrdiff_t(recording.size()) - std::ptrdiff_t(cue.size());
            score = std::max(score, match(recording, cue, std::max(from, searched - 8), to));
            searched = to;
        }
        const double otherScore = match(recording, wavSamples(other), from, searched);
        qInfo("%s: match %.2f, the other language's file %.2f", qPrintable(heard), score, otherScore);
        QVERIFY(score > 0.7);
        QVERIFY(otherScore < score - 0.2);
        form.ActionStop->trigger();
        QVERIFY(sink.messages.isEmpty());
    }

    void cuesKeepSoundingAsStatesChange()
    {
        // Autotuning's state changes on the demo unit for a minute
        // (TARVIX_CUE_RUN_S sets another length): every cue started is
        // heard, and cues still start at the end of the run.
        SoundRig &rig = rig_;
        if (!rig.missing().isEmpty())
            QSKIP(qPrintable(rig.missing()));
        const int seconds = qEnvironmentVariableIsSet("TARVIX_CUE_RUN_S") ? qEnvironmentVariableIntValue("TARVIX_CUE_RUN_S") : 60;
        RecordingSink sink;
        ScopedMessageSink scoped(&sink);
        sim::Config config = sim::demoConfig();
        auto engine = std::make_shared<sim::EngineModel>(sim::demoEngine());
        engine->warmUpFrames = 0;
        // Short holds: the states change every few seconds.
        for (sim::EngineModel::Level &level : engine->drive)
            level.holdFrames = 150;
        config.engine = engine;
        sim::Emulator unit(config);
        unit.setRam(sim::demoImage());
        const QString path = QString::fromStdString(unit.start());
        TForm1 form;
        SoundEffectPlayer player([&form] { return form.soundFolder(); });
        StartedCues cues(player, rig);
        ScopedSoundPlayer installed(&cues);
        QVERIFY(chooseAndIdentify(form, path, unit));
        const std::ptrdiff_t heardBefore = rig.length();
        QTRY_VERIFY_WITH_TIMEOUT(rig.length() > heardBefore + kRate / 5, 10000);
        form.SpeedButtonAutocorr->click();
        form.ActionStart->trigger();
        QDeadlineTimer run(seconds * 1000);
        while (!run.hasExpired())
            QTest::qWait(200);
        form.ActionStop->trigger();
        // The recording catches up with the last cue.
        const std::ptrdiff_t end = cues.startedAt.empty() ? 0 : cues.startedAt.back() + kRate * 2;
        QTRY_VERIFY_WITH_TIMEOUT(rig.length() >= end, 30000);
        const std::vector<double> recording = rig.recording();
        int heard = 0, cut = 0;
        for (int i = 0; i < cues.started.size(); ++i) {
            std::vector<double> cue = wavSamples(cues.started.at(i));
            const std::ptrdiff_t at = cues.startedAt.at(std::size_t(i));
            // A store's cue interrupts the one playing: that one is cut short.
            if (cues.cut.contains(i)) {
                ++cut;
                continue;
            }
            cue.resize(std::min<std::size_t>(cue.size(), kRate / 4)); // its first quarter second
            const double score = match(recording, cue, at - kRate / 10, at + kRate);
            heard += score > 0.7;
            if (score <= 0.7)
                qInfo("not heard: %s at %.1f s (%.2f)", qPrintable(cues.started.at(i)), double(at - heardBefore) / kRate, score);
        }
        const double lastStart = cues.startedAt.empty() ? 0 : double(cues.startedAt.back() - heardBefore) / kRate;
        qInfo("%d s: %d state changes asked for a cue, %d cues started (%d cut short by a store's cue), %d of the "
              "others heard; the last started %.0f s in",
              seconds, cues.changes, int(cues.started.size()), cut, heard, lastStart);
        QVERIFY(cues.started.size() >= seconds / 6);
        QVERIFY(heard >= (cues.started.size() - cut) * 9 / 10);
        QVERIFY(lastStart > seconds * 0.8);
        QVERIFY(sink.messages.isEmpty());
    }

private:
    SoundRig rig_;
};

QTEST_MAIN(TestSoundCues)
#include "tst_sound_cues.moc"
