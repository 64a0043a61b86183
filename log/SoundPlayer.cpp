#include "log/SoundPlayer.h"

#include <atomic>

namespace {
std::atomic<SoundPlayer *> g_player{nullptr};
}

void playSound(const QString &file, bool interrupt)
{
    if (SoundPlayer *player = g_player.load())
        player->play(file, interrupt);
}

SoundPlayer *setSoundPlayer(SoundPlayer *player)
{
    return g_player.exchange(player);
}
