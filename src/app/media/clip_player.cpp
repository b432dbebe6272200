#include "app/media/clip_player.h"

#include <QMetaObject>

namespace aurisona::media {

ClipPlayer::ClipPlayer(QObject* owner, std::function<void(bool)> ended)
    : owner_(owner), ended_(std::move(ended)) {}

ClipPlayer::~ClipPlayer() { player_.Stop(); }

bool ClipPlayer::Play(const std::filesystem::path& path, int playTime, int fade) {
  player_.Stop();
  const unsigned generation = ++generation_;
  QObject* owner = owner_;
  auto completion = [this, owner, generation](PlaybackEnd end) {
    QMetaObject::invokeMethod(
        owner,
        [this, generation, end] {
          // Stop and a newer Play make this end stale.
          if (generation != generation_) return;
          ++generation_;
          player_.Stop();
          if (ended_) ended_(end == PlaybackEnd::kPlayed);
        },
        Qt::QueuedConnection);
  };
  return player_.Play(path, std::move(completion), playTime, fade) == 0;
}

void ClipPlayer::Stop() {
  ++generation_;
  player_.Stop();
}

}  // namespace aurisona::media
