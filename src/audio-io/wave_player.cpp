#include "audio-io/wave_player.h"

#include <portaudio.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <atomic>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "audio-io/audio_system.h"
#include "audio-io/stream_resampler.h"

namespace aurisona {

namespace {
// Latency asked of the device: enough to ride out a busy machine.
constexpr double kSuggestedLatencySeconds = 0.05;
constexpr size_t kHistory = 64;
// The stream's rate when the device does not tell its own.
constexpr uint32_t kFallbackRate = 44100;
}  // namespace

// The stream, its buffers and the queue its callback reads. Parked between
// players, it keeps running and plays silence.
//
// The callback takes no lock. The owner hands over full buffers through a
// single-producer, single-consumer ring (`queued` counts the buffers in it);
// the counts the callback keeps are atomics, and its per-callback history is
// read under a sequence count. When the owner resets the queue or changes the
// format, it first stops the callback from touching the shared state (Hold)
// and lets it go on afterwards (Resume); meanwhile the callback plays silence.
struct WavePlayer::Device final : ParkedStream {
  explicit Device(uint32_t deviceRate) : rate(deviceRate) {}

  ~Device() override {
    if (stream == nullptr) return;
    if (!killed) PlayOut(std::chrono::seconds(1));
    Pa_AbortStream(stream);
    std::lock_guard<std::mutex> setup(StreamSetupLock());
    Pa_CloseStream(stream);
  }

  int channels() const override { return 2; }
  uint32_t sampleRate() const override { return rate; }
  bool Running() const override { return stream != nullptr && Pa_IsStreamActive(stream) == 1; }
  bool Sounding() const override { return Running() && Heard(0) < Consumed(); }
  void Kill() override { killed = true; }

  // Empty buffers for the next player, whose sound is `sourceChannels` x
  // `sourceRate`, and at least `leadIn` frames of silence before its first
  // byte (a stream opened a moment ago keeps what is left of its own). False
  // when the buffers cannot be allocated.
  bool Prepare(int count, int sourceChannels, uint32_t sourceRate, size_t leadIn) {
    // Everything that allocates is made before the callback's lock is taken.
    StreamResampler next;
    next.Prepare(sourceChannels, sourceRate, rate);
    std::unique_ptr<uint8_t[]> newBlock;
    std::vector<size_t> newLengths;
    if (count != bufferCount || !block) {
      newBlock.reset(new (std::nothrow) uint8_t[size_t(count) * kBufferBytes]());
      if (!newBlock) return false;
      newLengths.assign(size_t(count), 0);
    }
    Hold();
    if (newBlock) {
      std::swap(block, newBlock);
      std::swap(lengths, newLengths);
      bufferCount = count;
    }
    std::swap(resampler, next);
    sourceFrameBytes = size_t(resampler.channels()) * 2;
    source = sourceRate;
    ResetQueue();
    consumed.store(0, std::memory_order_relaxed);
    firstConsumed.store(0, std::memory_order_relaxed);
    leadInLeft = std::max(leadIn, leadInLeft);
    historyNext.store(0, std::memory_order_relaxed);
    historyCount.store(0, std::memory_order_relaxed);
    Resume();
    return true;
  }

  // Keeps the callback away from the shared state until Resume: returns once
  // no callback is inside it. Owner only.
  void Hold() {
    held.store(true);
    while (inCallback.load()) std::this_thread::yield();
  }
  void Resume() { held.store(false); }

  // Empties the ring. Only while held.
  void ResetQueue() {
    queued.store(0, std::memory_order_relaxed);
    head = 0;
    headOffset = 0;
  }

  uint8_t* Buffer(int index) { return block.get() + size_t(index) * kBufferBytes; }

  static int OnDevice(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* time,
                      PaStreamCallbackFlags, void* self) {
    auto* device = static_cast<Device*>(self);
    if (!device->raised) {
      device->raised = true;
      RaiseToRealtimePriority();
    }
    double dac = 0;
    if (time != nullptr) {
      // Some streams report no delay (PortAudio's ALSA host API through a
      // rate converter gives the callback's own time): the latency the stream
      // was opened with stands in for it.
      const double reported = time->outputBufferDacTime - time->currentTime;
      const double latency = time->outputBufferDacTime > 0 && reported > 0 ? reported : device->openedLatency;
      dac = time->currentTime + latency;
      device->latency.store(latency, std::memory_order_relaxed);
    }
    // Paired with Hold: either Hold sees this callback inside, or the
    // callback sees the hold (both sequentially consistent).
    device->inCallback.store(true);
    if (device->held.load()) {
      std::memset(output, 0, frames * 2 * sizeof(int16_t));
    } else {
      device->Fill(static_cast<int16_t*>(output), frames, dac);
    }
    device->inCallback.store(false);
    return paContinue;
  }

  // Buffers queued and not yet finished by this callback.
  int Unread(int finished) const { return queued.load(std::memory_order_acquire) - finished; }

  // Takes up to `want` queued bytes into `to`; returns how many it took and counts
  // the buffers it finished in `finished` (Fill hands them back).
  size_t Take(uint8_t* to, size_t want, int& finished) {
    size_t got = 0;
    while (got < want && Unread(finished) > 0) {
      const size_t length = lengths[size_t(head)];
      const size_t take = std::min(want - got, length - headOffset);
      std::memcpy(to + got, Buffer(head) + headOffset, take);
      got += take;
      headOffset += take;
      if (headOffset >= length) {
        headOffset = 0;
        head = (head + 1) % bufferCount;
        ++finished;
      }
    }
    return got;
  }

  void Fill(int16_t* out, size_t frames, double dacTime) {
    const uint64_t before = consumed.load(std::memory_order_relaxed);
    uint64_t taken = 0;
    // The lead-in: silence before the first written byte.
    const size_t lead = std::min(leadInLeft, frames);
    std::memset(out, 0, lead * 4);
    leadInLeft -= lead;
    out += 2 * lead;
    frames -= lead;
    dacTime += double(lead) / double(rate);
    if (frames == 0) return;
    int finished = 0;
    resampler.Produce(out, frames, [&](int16_t* frame) {
      if (Unread(finished) == 0) return false;
      uint8_t bytes[4] = {0, 0, 0, 0};
      // A frame cut short by the end of what was written ends in silence.
      taken += Take(bytes, sourceFrameBytes, finished);
      std::memcpy(frame, bytes, sourceFrameBytes);
      return true;
    });
    if (taken == 0) {
      if (finished > 0) queued.fetch_sub(finished, std::memory_order_release);
      return;
    }
    if (before == 0) {
      firstConsumed.store(std::chrono::steady_clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    }
    // Readers of the history retry while the count is odd or has moved.
    const uint32_t sequence = historySequence.load(std::memory_order_relaxed);
    historySequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    const size_t next = historyNext.load(std::memory_order_relaxed);
    history[next].dacTime.store(dacTime, std::memory_order_relaxed);
    history[next].before.store(before, std::memory_order_relaxed);
    history[next].bytes.store(taken, std::memory_order_relaxed);
    historyNext.store((next + 1) % kHistory, std::memory_order_relaxed);
    historyCount.store(std::min(historyCount.load(std::memory_order_relaxed) + 1, kHistory), std::memory_order_relaxed);
    consumed.store(before + taken, std::memory_order_relaxed);
    historySequence.store(sequence + 2, std::memory_order_release);
    // The finished buffers are the owner's again, only now: whoever sees the queue
    // empty sees every byte of it counted as consumed.
    queued.fetch_sub(finished, std::memory_order_release);
  }

  // Hands a filled buffer to the callback. Owner only; false when every
  // buffer is queued.
  bool Queue(int index, size_t length) {
    if (queued.load(std::memory_order_acquire) >= bufferCount) return false;
    lengths[size_t(index)] = length;
    queued.fetch_add(1, std::memory_order_release);
    return true;
  }

  int Queued() const { return queued.load(std::memory_order_acquire); }

  uint64_t Consumed() const { return consumed.load(std::memory_order_relaxed); }

  std::chrono::steady_clock::time_point FirstConsumed() const {
    const auto ticks = firstConsumed.load(std::memory_order_relaxed);
    return ticks == 0 ? std::chrono::steady_clock::time_point{}
                      : std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(ticks));
  }

  uint64_t Heard(double ahead) const {
    // The device's reported latency leaves out the sound server's own (a
    // PipeWire graph cycle, a PulseAudio sink's block): a margin covers it.
    const double now = Pa_GetStreamTime(stream) + ahead - double(kServerMargin.count()) / 1000.0;
    // A byte leaves the rate converter that long after it was consumed.
    const double at = now - double(resampler.delayFrames()) / double(source);
    for (;;) {
      const uint32_t sequence = historySequence.load(std::memory_order_acquire);
      if (sequence % 2 != 0) {
        std::this_thread::yield();
        continue;
      }
      const uint64_t heard = HeardFromHistory(at);
      std::atomic_thread_fence(std::memory_order_acquire);
      if (historySequence.load(std::memory_order_relaxed) == sequence) return heard;
    }
  }

  // The bytes heard by stream time `at`, as the history tells; may read a
  // history being written (the caller then reads it again).
  uint64_t HeardFromHistory(double at) const {
    const size_t count = historyCount.load(std::memory_order_relaxed);
    const size_t next = historyNext.load(std::memory_order_relaxed);
    // The newest callback whose first frame has reached the loudspeaker by then.
    for (size_t i = 0; i < count; ++i) {
      const Moment& m = history[(next + kHistory - 1 - i) % kHistory];
      const double dac = m.dacTime.load(std::memory_order_relaxed);
      if (dac <= at) {
        const uint64_t before = m.before.load(std::memory_order_relaxed);
        const uint64_t bytes = m.bytes.load(std::memory_order_relaxed);
        const double elapsed = (at - dac) * source * double(sourceFrameBytes);
        if (elapsed >= double(bytes)) return before + bytes;
        const auto into = uint64_t(elapsed);
        return before + into - into % sourceFrameBytes;
      }
    }
    // Nothing heard yet, or the history is too short to tell.
    return count == kHistory ? history[next].before.load(std::memory_order_relaxed) : 0;
  }

  // Waits, up to `limit`, until every consumed byte has been heard.
  void PlayOut(std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const uint64_t all = Consumed();
    while (Heard(0) < all && Running() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(kHeardPollStep);
    }
  }

  const uint32_t rate;  // the stream's: stereo at the device's own rate
  PaStream* stream = nullptr;
  bool killed = false;   // let go at once, without playing out
  bool raised = false;   // the callback thread's priority has been seen to (callback only)
  double openedLatency = 0;        // seconds, as the stream was opened
  std::atomic<double> latency{0};  // seconds from a callback to its first frame being heard

  std::atomic<bool> held{false};        // the owner keeps the callback out
  std::atomic<bool> inCallback{false};  // a callback is at work

  // Changed only while held (or before the stream starts).
  StreamResampler resampler;         // the player's sound to the stream's format
  size_t sourceFrameBytes = 2;
  uint32_t source = 8000;            // the player's rate
  std::unique_ptr<uint8_t[]> block;  // bufferCount areas of kBufferBytes
  int bufferCount = 0;
  std::vector<size_t> lengths;       // bytes queued in each buffer, set before it is queued

  // The ring: the owner queues at its end, the callback reads from head.
  std::atomic<int> queued{0};        // buffers queued, oldest at head
  int head = 0;                      // buffer the device reads next (callback)
  size_t headOffset = 0;             // bytes of head already consumed (callback)
  size_t leadInLeft = 0;             // frames of the lead-in still to play (callback)

  // Written by the callback, read by anyone.
  std::atomic<uint64_t> consumed{0};
  std::atomic<std::chrono::steady_clock::rep> firstConsumed{0};  // 0: nothing consumed yet

  // When the consumed bytes are heard: per callback, the time its first frame
  // reaches the loudspeaker and the range of written bytes it carried.
  struct Moment {
    std::atomic<double> dacTime{0};
    std::atomic<uint64_t> before{0};
    std::atomic<uint64_t> bytes{0};
  };
  std::array<Moment, kHistory> history{};
  std::atomic<size_t> historyNext{0};
  std::atomic<size_t> historyCount{0};
  std::atomic<uint32_t> historySequence{0};  // odd while the callback writes
};

WavePlayer::WavePlayer() = default;

WavePlayer::~WavePlayer() { Close(); }

void WavePlayer::SetFormat(int channels, uint32_t sampleRate) {
  channels_ = channels == 1 ? 1 : 2;
  sampleRate_ = sampleRate;
}

void WavePlayer::SetBufferCount(int count) { bufferCount_ = std::max(count, 2); }

bool WavePlayer::Open() {
  if (device_) return false;
  if (sampleRate_ == 0 || !EnsureAudioSystem()) return false;
  current_ = 0;
  fill_ = 0;
  // Held before the stream opens, so that the server is kept awake across the
  // gap to whatever plays next.
  HoldSoundOutput();
  // Every stream is stereo at the device's own rate, whatever the sound's
  // format: the sound server converts nothing, and a parked stream serves
  // every sound.
  const PaDeviceIndex output = Pa_GetDefaultOutputDevice();
  const PaDeviceInfo* info = output != paNoDevice ? Pa_GetDeviceInfo(output) : nullptr;
  const auto deviceRate = static_cast<uint32_t>(
      info != nullptr && info->defaultSampleRate >= 8000 && info->defaultSampleRate <= 384000 ? std::lround(info->defaultSampleRate)
                                                                                              : kFallbackRate);
  if (std::unique_ptr<ParkedStream> parked = TakeParkedStream(2, deviceRate)) {
    if (auto* reused = dynamic_cast<Device*>(parked.get())) {
      parked.release();
      std::unique_ptr<Device> device(reused);
      if (device->Prepare(bufferCount_, channels_, sampleRate_, 0)) {
        std::lock_guard<std::mutex> state(stateLock_);
        device_ = std::move(device);
        return true;
      }
    }
  }

  auto device = std::unique_ptr<Device>(new (std::nothrow) Device(deviceRate));
  const size_t leadIn = size_t(uint64_t(deviceRate) * uint64_t(kLeadIn.count()) / 1000);
  if (output == paNoDevice || !device || !device->Prepare(bufferCount_, channels_, sampleRate_, leadIn)) {
    ReleaseSoundOutput();
    return false;
  }
  PaStreamParameters parameters{};
  parameters.device = output;
  parameters.channelCount = 2;
  parameters.sampleFormat = paInt16;
  parameters.suggestedLatency =
      std::max(kSuggestedLatencySeconds, info != nullptr ? info->defaultLowOutputLatency : 0.0);
  std::unique_lock<std::mutex> setup(StreamSetupLock());
  PaStream* stream = nullptr;
  if (Pa_OpenStream(&stream, nullptr, &parameters, deviceRate, paFramesPerBufferUnspecified, paNoFlag,
                    &Device::OnDevice, device.get()) != paNoError) {
    setup.unlock();
    ReleaseSoundOutput();
    return false;
  }
  const PaStreamInfo* opened = Pa_GetStreamInfo(stream);
  device->openedLatency = opened != nullptr && opened->outputLatency > 0 ? opened->outputLatency : parameters.suggestedLatency;
  if (Pa_StartStream(stream) != paNoError) {
    Pa_CloseStream(stream);
    setup.unlock();
    ReleaseSoundOutput();
    return false;
  }
  device->stream = stream;
  std::lock_guard<std::mutex> state(stateLock_);
  device_ = std::move(device);
  return true;
}

bool WavePlayer::Write(const void* bytes, size_t length) {
  if (!device_) return false;
  if (length == 0) return true;
  Device& device = *device_;
  const size_t room = size_t(device.bufferCount - device.Queued()) * kBufferBytes - fill_;
  if (length > room) return false;
  const auto* from = static_cast<const uint8_t*>(bytes);
  while (length > 0) {
    // The buffer being filled is never one the device reads: the room check
    // above leaves it free until it is queued.
    const size_t take = std::min(length, kBufferBytes - fill_);
    std::memcpy(device.Buffer(current_) + fill_, from, take);
    fill_ += take;
    from += take;
    length -= take;
    if (fill_ == kBufferBytes) {
      if (device.Queue(current_, fill_)) {
        current_ = (current_ + 1) % device.bufferCount;
        fill_ = 0;
      }
    }
  }
  return true;
}

bool WavePlayer::Flush() {
  if (!device_) return false;
  if (fill_ == 0) return true;
  if (!device_->Queue(current_, fill_)) return false;
  current_ = (current_ + 1) % device_->bufferCount;
  fill_ = 0;
  return true;
}

void WavePlayer::Close() {
  Finish(std::chrono::steady_clock::now() + kDrainSteps * kDrainStep, [] { return true; });
}

bool WavePlayer::Finish(std::chrono::steady_clock::time_point deadline, const std::function<bool()>& goOn) {
  if (!device_) return false;
  Flush();
  const auto waiting = [&] {
    return std::chrono::steady_clock::now() < deadline && device_->Running() && goOn();
  };
  while (QueuedCount() > 0 && waiting()) std::this_thread::sleep_for(kPollStep);
  // Until the last byte will have been heard by the time a byte written now
  // is: whatever plays next then follows without a gap. The stream is parked
  // and plays out the rest; draining it instead would wait on the sound
  // server's buffering, which has nothing more of ours to play.
  const uint64_t consumed = ConsumedBytes();
  const auto heard = [&] { return QueuedCount() == 0 && HeardBytes(OutputLatency()) >= consumed; };
  while (!heard() && waiting()) std::this_thread::sleep_for(kHeardPollStep);
  const bool ended = heard() && device_->Running() && goOn();
  Release(ended);
  return ended;
}

void WavePlayer::Abort() {
  if (!device_) return;
  Release(QueuedCount() == 0 && HeardBytes() >= ConsumedBytes() && device_->Running());
}

void WavePlayer::Release(bool park) {
  std::unique_ptr<Device> device;
  {
    std::lock_guard<std::mutex> state(stateLock_);
    device_->Hold();
    lastConsumed_ = device_->Consumed();
    lastFirstConsumed_ = device_->FirstConsumed();
    device_->ResetQueue();
    device_->Resume();
    device = std::move(device_);
  }
  if (park) {
    ParkStream(std::move(device));
  } else {
    device->killed = true;
    device.reset();
  }
  ReleaseSoundOutput();
  current_ = 0;
  fill_ = 0;
}

// What other threads may ask while the owner opens and lets go of the device.

bool WavePlayer::IsOpen() const {
  std::lock_guard<std::mutex> state(stateLock_);
  return device_ != nullptr;
}

size_t WavePlayer::WritableBytes() const {
  std::lock_guard<std::mutex> state(stateLock_);
  if (!device_) return 0;
  return size_t(device_->bufferCount - device_->Queued()) * kBufferBytes - fill_;
}

int WavePlayer::QueuedCount() const {
  std::lock_guard<std::mutex> state(stateLock_);
  if (!device_) return 0;
  return device_->Queued();
}

uint64_t WavePlayer::ConsumedBytes() const {
  std::lock_guard<std::mutex> state(stateLock_);
  return device_ ? device_->Consumed() : lastConsumed_;
}

uint64_t WavePlayer::HeardBytes(std::chrono::microseconds ahead) const {
  std::lock_guard<std::mutex> state(stateLock_);
  if (!device_) return lastConsumed_;
  return device_->Heard(double(ahead.count()) / 1e6);
}

std::chrono::microseconds WavePlayer::OutputLatency() const {
  std::lock_guard<std::mutex> state(stateLock_);
  if (!device_) return std::chrono::microseconds{0};
  return std::chrono::microseconds(int64_t(device_->latency.load(std::memory_order_relaxed) * 1e6)) +
         std::chrono::duration_cast<std::chrono::microseconds>(kServerMargin);
}

std::chrono::steady_clock::time_point WavePlayer::FirstConsumedAt() const {
  std::lock_guard<std::mutex> state(stateLock_);
  if (!device_) return lastFirstConsumed_;
  return device_->FirstConsumed();
}

}  // namespace aurisona
