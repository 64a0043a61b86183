#include "app/SoundEffectPlayer.h"

#include <QDir>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

SoundEffectPlayer::SoundEffectPlayer(std::function<QString()> folder) : folder_(std::move(folder)) {}

SoundEffectPlayer::~SoundEffectPlayer() = default;

bool SoundEffectPlayer::busy() const
{
    // A cue that is still loading counts as playing: it starts once loaded.
    return current_ && (current_->isPlaying() || current_->status() == QSoundEffect::Loading);
}

void SoundEffectPlayer::play(const QString &file, bool interrupt)
{
    if (!interrupt && busy())
        return;
    const QFileInfo info(QDir::current(), (folder_ ? folder_() : QString()) + file);
    if (!info.isFile())
        return;
    const QString path = info.absoluteFilePath();
    std::unique_ptr<QSoundEffect> &effect = effects_[path];
    if (!effect) {
        effect = std::make_unique<QSoundEffect>();
        effect->setSource(QUrl::fromLocalFile(path));
    }
    if (current_ && current_ != effect.get())
        current_->stop();
    current_ = effect.get();
    current_->stop();
    current_->play();
}
