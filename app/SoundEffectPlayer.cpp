#include "app/SoundEffectPlayer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <QDir>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

#include <algorithm>

QString installedDataFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(TARVIX_DATA_FROM_PROGRAM));
}

SoundEffectPlayer::SoundEffectPlayer(std::function<QString()> folder) : folder_(std::move(folder)) {}

SoundEffectPlayer::~SoundEffectPlayer()
{
    // Qt's shared sample cache is torn down at program exit, and it
    // deadlocks with its loader thread if a cue is still being decoded then
    // (the program hangs instead of quitting). So a cue still loading is let
    // finish first; a broken file ends as an error, and the wait is bounded.
    QDeadlineTimer deadline(3000);
    for (auto &entry : effects_) {
        QSoundEffect *effect = entry.second.get();
        if (effect->status() != QSoundEffect::Loading)
            continue;
        QEventLoop loop;
        QObject::connect(effect, &QSoundEffect::statusChanged, &loop, &QEventLoop::quit);
        QTimer::singleShot(std::max<qint64>(0, deadline.remainingTime()), &loop, &QEventLoop::quit);
        if (effect->status() == QSoundEffect::Loading)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

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
