#pragma once
// Plays the sound cues with QSoundEffect from the window's sound folder,
// relative to the working folder or, failing that, to the installed data
// folder. A file that does not exist plays nothing.
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
    std::function<QString()> folder_;
    // The cue last started. Each cue gets an effect of its own (Qt caches
    // the decoded files): an effect stopped and started again can stall in
    // its audio stream and never sound again.
    QSoundEffect *current_ = nullptr;
    // When the current cue started and how long its file plays: the
    // effect's own "playing" can stay set for good once its audio stream
    // stalls, and every later cue would then be dropped.
    QElapsedTimer started_;
    qint64 durationMs_ = 0;
};

// How long a WAV file plays, in ms (0 when its header cannot be read).
qint64 wavDurationMs(const QString &path);
