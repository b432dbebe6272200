// A play button's sound: a SoundFilePlayer whose end comes back to the
// dialog's thread, and whose failures are reported at once.
#pragma once

#include <QObject>
#include <filesystem>
#include <functional>

#include "audio-io/sound_file_player.h"

class QWidget;

namespace aurisona::media {

class ClipPlayer {
 public:
  // `owner` receives the queued end; `ended` runs there, on the owner's
  // thread, when a playback has been heard to its end (or, for an MP3 file,
  // could not be played after all: `played` is false then).
  ClipPlayer(QObject* owner, std::function<void(bool played)> ended);
  ~ClipPlayer();
  ClipPlayer(const ClipPlayer&) = delete;
  ClipPlayer& operator=(const ClipPlayer&) = delete;

  // Stops what plays and starts `path`. False when it could not start.
  bool Play(const std::filesystem::path& path, int playTime, int fade);
  void Stop();
  bool IsRunning() const { return player_.IsRunning(); }

 private:
  QObject* owner_;
  std::function<void(bool)> ended_;
  SoundFilePlayer player_;
  unsigned generation_ = 0;  // ends of older playbacks are dropped
};

}  // namespace aurisona::media
