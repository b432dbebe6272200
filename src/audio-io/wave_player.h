// One stream to the default sound output: 16-bit PCM written in pieces of any
// length, cut into buffers of 8192 bytes that the device consumes in order.
//
// A stream whose sound has been handed over is parked (see audio_system.h) and
// taken again by the next player of the same format: sounds played one after
// another then follow each other without a stream being opened in between.
//
// The owner writes on one thread; the device's callback copies the queued
// buffers out and counts each one off as it is consumed. Write never waits: the
// owner keeps the queued count below the buffer count (the sound file player
// waits while more than buffer count - 2 are queued). A partly filled buffer is
// queued by Flush, and by Close, so every byte written is played.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace aurisona {

class WavePlayer {
 public:
  static constexpr size_t kBufferBytes = 8192;
  static constexpr int kDefaultBufferCount = 10;
  // Close waits kDrainSteps * kDrainStep at most for the queue to empty and
  // its last byte to be heard, polling every kPollStep, then kHeardPollStep.
  static constexpr int kDrainSteps = 100;
  static constexpr std::chrono::milliseconds kDrainStep{30};
  static constexpr std::chrono::milliseconds kPollStep{10};
  static constexpr std::chrono::milliseconds kHeardPollStep{2};
  // Silence played before the first written byte of a newly opened stream. A
  // sound server that renders ahead (an ordinary PulseAudio null sink) rewinds
  // when a stream connects and may drop what the stream first gave it: only
  // this silence is lost then. A parked stream taken again needs none.
  static constexpr std::chrono::milliseconds kLeadIn{50};
  // Latency of the sound server beyond what the device reports, counted in
  // HeardBytes.
  static constexpr std::chrono::milliseconds kServerMargin{10};

  WavePlayer();
  ~WavePlayer();  // closes the device, draining as Close does
  WavePlayer(const WavePlayer&) = delete;
  WavePlayer& operator=(const WavePlayer&) = delete;

  // Settings for the next Open (defaults: 1 channel, 8000 Hz, 10 buffers).
  // Channels are 1 or 2; the buffer count is at least 2.
  void SetFormat(int channels, uint32_t sampleRate);
  void SetBufferCount(int count);
  int channels() const { return channels_; }
  uint32_t sampleRate() const { return sampleRate_; }
  int bufferCount() const { return bufferCount_; }

  // Opens and starts the default output device with empty buffers (the device
  // plays silence until the first buffer is queued, and kLeadIn at least when
  // the stream is new), or takes a parked stream of the format. False when already open,
  // when there is no output device or it refuses the format, or when the buffers
  // cannot be allocated.
  bool Open();

  // Copies `length` bytes into the buffers, queueing each buffer that fills.
  // False when not open, or when the free buffers cannot take all of `length`
  // (then nothing is written). A length of 0 writes nothing and succeeds.
  bool Write(const void* bytes, size_t length);

  // Queues the partly filled buffer, if any. False when it cannot be queued
  // (not open, or every buffer is queued).
  bool Flush();

  // Flushes, waits up to kDrainSteps * kDrainStep (3 s) for the queue to empty
  // and for its last byte to be heard as soon as anything written now would be
  // (HeardBytes(OutputLatency())), then parks the stream, which plays out what
  // it holds. Given up after those 3 s, the stream is let go instead. Nothing
  // when not open.
  void Close();

  // Close with a deadline of the caller's and a question asked while it waits
  // (`goOn` false cuts the wait short): when the wait ends before the sound
  // has been heard, the device is let go at once, as Abort does. Returns
  // whether the sound was heard to its end.
  bool Finish(std::chrono::steady_clock::time_point deadline, const std::function<bool()>& goOn);

  // Discards everything queued and lets the device go at once: silence follows
  // immediately. A stream that holds nothing unheard is parked. Nothing when
  // not open.
  void Abort();

  bool IsOpen() const;
  // Bytes Write takes now without refusing (0 when not open).
  size_t WritableBytes() const;
  // Buffers queued and not yet consumed by the device.
  int QueuedCount() const;
  // Bytes the device has consumed since Open.
  uint64_t ConsumedBytes() const;
  // Bytes heard `ahead` from now: consumed bytes whose time at the loudspeaker
  // has come by then, as the device reports its latency, plus kServerMargin.
  uint64_t HeardBytes(std::chrono::microseconds ahead = std::chrono::microseconds{0}) const;
  // How long a byte written now takes to be heard: the device's latency as it
  // last reported it, plus kServerMargin (0 while not open).
  std::chrono::microseconds OutputLatency() const;
  // When the device first consumed written bytes since Open (time_point{} before).
  std::chrono::steady_clock::time_point FirstConsumedAt() const;

 private:
  struct Device;
  void Release(bool park);

  int channels_ = 1;
  uint32_t sampleRate_ = 8000;
  int bufferCount_ = kDefaultBufferCount;

  // Guards device_ and the last counts against other threads' questions;
  // only the owner changes them.
  mutable std::mutex stateLock_;
  // The stream, its buffers and what its callback shares with the owner, while open.
  std::unique_ptr<Device> device_;
  // Counts of the last stream, kept once it has been let go.
  uint64_t lastConsumed_ = 0;
  std::chrono::steady_clock::time_point lastFirstConsumed_{};

  // Owner side only.
  int current_ = 0;   // buffer being filled
  size_t fill_ = 0;   // bytes in current_
};

}  // namespace aurisona
