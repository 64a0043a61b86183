#pragma once
// Plays the sound cues with QSoundEffect from the window's sound folder,
// relative to the working folder or, failing that, to the installed data
// folder. A file that does not exist plays nothing.
#include <functional>
#include <map>
#include <memory>

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
    // Loaded effects by path; loading a file once keeps repeated cues cheap.
    std::map<QString, std::unique_ptr<QSoundEffect>> effects_;
    QSoundEffect *current_ = nullptr;
};
