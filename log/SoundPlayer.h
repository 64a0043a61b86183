#pragma once
// The one seam for sound cues. Files are named bare ("ready.wav", "20.wav");
// the installed player resolves them in the language's sound folder and plays
// them asynchronously. interrupt: stop a sound still playing and play this
// one; otherwise a sound still playing wins and this one is dropped.
#include <QString>
#include <QStringList>

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QString &file, bool interrupt) = 0;
};

// Plays through the installed player; with none installed nothing sounds.
void playSound(const QString &file, bool interrupt);
// Installs a player (not owned); returns the previous one. nullptr = silence.
SoundPlayer *setSoundPlayer(SoundPlayer *player);

// A player that only records, for tests: "ready.wav" or "!20.wav" (interrupting).
class RecordingSoundPlayer : public SoundPlayer {
public:
    void play(const QString &file, bool interrupt) override
    {
        played.append(interrupt ? QLatin1Char('!') + file : file);
    }
    QStringList played;
};

class ScopedSoundPlayer {
public:
    explicit ScopedSoundPlayer(SoundPlayer *player) : previous_(setSoundPlayer(player)) {}
    ~ScopedSoundPlayer() { setSoundPlayer(previous_); }
    ScopedSoundPlayer(const ScopedSoundPlayer &) = delete;
    ScopedSoundPlayer &operator=(const ScopedSoundPlayer &) = delete;

private:
    SoundPlayer *previous_;
};
