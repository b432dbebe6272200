// Capture from the default sound input into a ring of buffers; each full buffer
// is handed to the owner.
//
// The owner's handler runs on the recorder's delivery thread, one buffer at a
// time and in capture order; a window turns it into a queued call on its own
// thread (copying the samples, which are valid only during the call). When the
// owner falls behind by the whole ring, new sound is dropped until a buffer is
// free again. The buffer being filled when capture ends is dropped: owners only
// ever see whole buffers.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace aurisona {

using RecordedBuffer = std::function<void(std::span<const int16_t> samples)>;

class WaveRecorder {
 public:
  static constexpr int kBufferCount = 5;
  // What the recording dialog asks for: 0.125 s buffers of 22050 Hz mono.
  static constexpr uint32_t kRecordingBufferBytes = 5512;
  static constexpr uint32_t kRecordingSampleRate = 22050;

  WaveRecorder();
  ~WaveRecorder();  // ends capture
  WaveRecorder(const WaveRecorder&) = delete;
  WaveRecorder& operator=(const WaveRecorder&) = delete;

  // Settings, before Begin (defaults: 4800-byte buffers, 1 channel, 8000 Hz, 16 bits).
  void SetBufferSize(uint32_t bytes) { bufferSize_ = bytes; }
  void SetChannels(int channels) { channels_ = channels; }
  void SetSampleRate(uint32_t rate) { sampleRate_ = rate; }
  void SetBitsPerSample(int bits) { bitsPerSample_ = bits; }
  void SetHandler(RecordedBuffer handler) { handler_ = std::move(handler); }
  uint32_t BufferSize() const { return bufferSize_; }

  // Opens the default input in the set format and starts capture. False, with
  // nothing left open, when already begun, without a handler, for a format
  // other than 16 bits, a buffer size that is not a whole number of frames, or
  // when the device is missing, does not take the format or does not start.
  bool Begin();

  // Stops capture and closes the device; the full buffers captured before it
  // are handed over first. Nothing when not begun. Not from the handler.
  void End();

  bool IsBegun() const { return stream_ != nullptr; }
  // Sound dropped because the owner was a whole ring behind, in bytes.
  uint64_t DroppedBytes() const;

 private:
  struct Stream;
  void Capture(const int16_t* samples, size_t count);
  void Deliver();

  uint32_t bufferSize_ = 4800;
  int channels_ = 1;
  uint32_t sampleRate_ = 8000;
  int bitsPerSample_ = 16;
  RecordedBuffer handler_;

  void* stream_ = nullptr;  // PaStream*
  std::vector<std::vector<int16_t>> buffers_;

  mutable std::mutex lock_;
  std::condition_variable ready_;
  std::deque<int> full_;    // buffers waiting for the owner, oldest first
  std::deque<int> free_;    // buffers the device may fill
  int filling_ = -1;        // buffer being filled, -1 none
  size_t fill_ = 0;         // samples in it
  bool ending_ = false;
  uint64_t dropped_ = 0;
  std::thread delivery_;
};

}  // namespace aurisona
