#include "app/SoundEffectPlayer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>
#else
#include <QSoundEffect>
#endif

QString installedDataFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(TARVIX_DATA_FROM_PROGRAM));
}

SoundEffectPlayer::SoundEffectPlayer(std::function<QString()> folder) : folder_(std::move(folder)) {}

#ifdef _WIN32
SoundEffectPlayer::~SoundEffectPlayer()
{
    ::PlaySoundW(nullptr, nullptr, 0);
}

void SoundEffectPlayer::start(const QString &path)
{
    // SND_ASYNC stops the cue still playing; SND_NODEFAULT: a file that
    // cannot be played stays silent rather than playing the system's beep.
    ::PlaySoundW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()), nullptr,
                 SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
}

bool SoundEffectPlayer::loading() const
{
    return false;
}

bool SoundEffectPlayer::sounding() const
{
    return true; // PlaySound does not tell; the file's length does
}
#else
SoundEffectPlayer::~SoundEffectPlayer()
{
    // Qt's shared sample cache is torn down at program exit, and it
    // deadlocks with its loader thread if a cue is still being decoded then
    // (the program hangs instead of quitting). So a cue still loading is let
    // finish first; a broken file ends as an error, and the wait is bounded.
    if (current_ && current_->status() == QSoundEffect::Loading) {
        QEventLoop loop;
        QObject::connect(current_, &QSoundEffect::statusChanged, &loop, &QEventLoop::quit);
        QTimer::singleShot(3000, &loop, &QEventLoop::quit);
        if (current_->status() == QSoundEffect::Loading)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    delete current_;
}

void SoundEffectPlayer::start(const QString &path)
{
    if (current_) {
        current_->stop();
        delete current_;
    }
    current_ = new QSoundEffect;
    current_->setSource(QUrl::fromLocalFile(path));
    current_->play();
}

bool SoundEffectPlayer::loading() const
{
    return current_ && current_->status() == QSoundEffect::Loading;
}

bool SoundEffectPlayer::sounding() const
{
    return current_ && current_->isPlaying();
}
#endif

namespace {
// A cue counts as playing this much longer than its file lasts (the sound
// server's latency); a cue still "loading" after the limit is given up.
constexpr qint64 kMarginMs = 300;
constexpr qint64 kLoadLimitMs = 3000;

quint32 littleEndian32(const QByteArray &bytes, int at)
{
    quint32 v = 0;
    for (int k = 3; k >= 0; --k)
        v = (v << 8) | quint8(bytes[at + k]);
    return v;
}
} // namespace

qint64 wavDurationMs(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.read(4096);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return 0;
    quint32 byteRate = 0;
    for (int at = 12; at + 8 <= head.size();) {
        const QByteArray id = head.mid(at, 4);
        const quint32 size = littleEndian32(head, at + 4);
        if (id == "fmt " && at + 20 <= head.size())
            byteRate = littleEndian32(head, at + 16);
        if (id == "data")
            return byteRate ? qint64(size) * 1000 / byteRate : 0;
        at += 8 + int(size + (size & 1));
    }
    return 0;
}

bool SoundEffectPlayer::busy() const
{
    if (path_.isEmpty() || !started_.isValid())
        return false;
    // A cue that is still loading counts as playing: it starts once loaded.
    if (loading())
        return started_.elapsed() < kLoadLimitMs;
    return sounding() && started_.elapsed() < durationMs_ + kMarginMs;
}

QString SoundEffectPlayer::playing() const
{
    return path_;
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
    start(path);
    path_ = path;
    durationMs_ = wavDurationMs(path);
    started_.start();
}
