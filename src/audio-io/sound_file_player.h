// Plays one sound file, WAV or MP3, on a thread of its own through a WavePlayer.
//
// The file can be cut short at a play time and shaped with a linear fade-in and
// fade-out (ApplyFade's rule: each fade at most half the clip). When the file has
// played to its end the owner's completion is called, once, on the playback
// thread: a window turns it into a queued call on its own thread (for Qt,
// QMetaObject::invokeMethod(window, ..., Qt::QueuedConnection)). The completion
// must not call Play or Stop of the same player directly.
//
// Queue depths: at least kQueueAhead of sound is decoded ahead of the device
// (at least 2 buffers for WAV, where the thread waits while all but one are
// queued, and 6 for MP3, where it waits while all but two are), so that a busy
// machine does not leave the device without sound; Stop discards the queue at
// once, however deep. WAV files keep their channel count (more than two
// channels play their first two); MP3 files play as stereo.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "audio-io/wave_player.h"

namespace aurisona {

enum class PlaybackEnd {
  kPlayed,      // the file (or its play time) has been heard to the end
  kNotPlayed,   // MP3 only: nothing could be decoded, or the device did not open
};

// Called on the playback thread when the file has ended; never after Stop.
using PlaybackCompletion = std::function<void(PlaybackEnd)>;

class SoundFilePlayer {
 public:
  static constexpr int kWavBufferCount = 2;
  static constexpr int kMp3BufferCount = 6;
  static constexpr std::chrono::milliseconds kQueueAhead{500};
  // Buffers for kQueueAhead of `channels` x `sampleRate` sound, at least `minimum`.
  static int BufferCountFor(int channels, uint32_t sampleRate, int minimum);
  static constexpr std::chrono::milliseconds kPollStep{10};

  SoundFilePlayer();
  ~SoundFilePlayer();  // stops a running playback first
  SoundFilePlayer(const SoundFilePlayer&) = delete;
  SoundFilePlayer& operator=(const SoundFilePlayer&) = delete;

  // Stops a running playback, then starts `path` (".wav" or ".mp3", any case).
  // `playTimeSeconds` > 0 plays at most that long; `fadeSeconds` > 0 fades in
  // and out over that long. Returns 0 when playback has started on its thread,
  // 1 when it has not (nothing will be called then): another ending, a WAV file
  // that does not open, is not RIFF WAVE PCM/float data or holds no samples, a
  // device that does not open for a WAV file, an MP3 file that does not open.
  // For an MP3 file the device opens on the thread; when it cannot, or when the
  // file holds no MP3 audio, the completion comes at once with kNotPlayed.
  int Play(const std::filesystem::path& path, PlaybackCompletion completion,
           int32_t playTimeSeconds, int32_t fadeSeconds);

  // Stops playback at once (what is queued is discarded) and returns once the
  // playback thread has released the device. The completion is not called after
  // Stop returns, nor while IsRunning() is false.
  void Stop();

  bool IsRunning() const;

  // The player of the current or last playback (for measurements).
  const WavePlayer& device() const { return player_; }

 private:
  struct WavSource;
  void RunWav(WavSource* source, uint64_t byteLimit, uint32_t fadeLength);
  void RunMp3(std::filesystem::path path, int32_t playTimeSeconds, int32_t fadeSeconds);
  // Drains, closes the device and reports the end, unless stopped.
  void Finish(bool played);
  bool Running() const;
  void JoinThread();

  WavePlayer player_;
  PlaybackCompletion completion_;
  mutable std::mutex runningLock_;
  bool running_ = false;
  std::thread thread_;
};

}  // namespace aurisona
