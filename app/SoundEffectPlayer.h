#pragma once
// Plays the sound cues from the window's sound folder, relative to the
// working folder or, failing that, to the installed data folder. A file that
// does not exist plays nothing. QSoundEffect on Linux; the system's own
// PlaySound on Windows, where QSoundEffect stays silent under some audio
// set-ups (Wine) and a cue needs nothing more.
#include <functional>

#include <QElapsedTimer>

#include "log/SoundPlayer.h"

class QSoundEffect;

// Where an installed program keeps its data (the sound folders).
QString installedDataFolder();

class SoundEffectPlayer : public SoundPlayer {
public:
    // folder() gives the current sound folder, e.g. "Sound/En/".
    explicit SoundEffectPlayer(std::function<QString()> folder);
    ~SoundEffectPlayer() override;
    void play(const QString &file, bool interrupt) override;
    // The file of the cue last started (empty before any).
    QString playing() const;
    // A cue is playing (or still loading, which starts it once loaded).
    bool busy() const;

private:
    // The system's part: start path (stopping the cue before), and whether
    // the started cue is still loading or playing as far as it can tell.
    void start(const QString &path);
    bool loading() const;
    bool sounding() const;

    std::function<QString()> folder_;
    QString path_; // of the cue last started
#ifndef _WIN32
    // The cue last started. Each cue gets an effect of its own (Qt caches
    // the decoded files): an effect stopped and started again can stall in
    // its audio stream and never sound again.
    QSoundEffect *current_ = nullptr;
#endif
    // When the current cue started and how long its file plays: the
    // effect's own "playing" can stay set for good once its audio stream
    // stalls, and every later cue would then be dropped.
    QElapsedTimer started_;
    qint64 durationMs_ = 0;
};

// How long a WAV file plays, in ms (0 when its header cannot be read).
qint64 wavDurationMs(const QString &path);
