#include "app/SoundEffectPlayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

QString installedDataFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(TARVIX_DATA_FROM_PROGRAM));
}

SoundEffectPlayer::SoundEffectPlayer(std::function<QString()> folder) : folder_(std::move(folder)) {}

SoundEffectPlayer::~SoundEffectPlayer() = default;

bool SoundEffectPlayer::busy() const
{
    // A cue that is still loading counts as playing: it starts once loaded.
    return current_ && (current_->isPlaying() || current_->status() == QSoundEffect::Loading);
}

QString SoundEffectPlayer::playing() const
{
    return current_ ? current_->source().toLocalFile() : QString();
}

void SoundEffectPlayer::play(const QString &file, bool interrupt)
{
    if (!interrupt && busy())
        return;
    const QString relative = (folder_ ? folder_() : QString()) + file;
    // The working folder first (a run from the build tree, or cues of the
    // user's own), then the program's installed data folder.
    QFileInfo info(QDir::current(), relative);
    if (!info.isFile())
        info = QFileInfo(QDir(installedDataFolder()), relative);
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
