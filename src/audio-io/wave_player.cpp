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
    std::lock_guard<std::mutex> guard(lock);
    if (newBlock) {
      std::swap(block, newBlock);
      std::swap(lengths, newLengths);
      bufferCount = count;
    }
    std::swap(resampler, next);
    sourceFrameBytes = size_t(resampler.channels()) * 2;
    source = sourceRate;
    queued = 0;
    head = 0;
    headOffset = 0;
    consumed = 0;
    firstConsumed = {};
    leadInLeft = std::max(leadIn, leadInLeft);
    historyNext = 0;
    historyCount = 0;
    return true;
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
    device->Fill(static_cast<int16_t*>(output), frames, dac);
    return paContinue;
  }

  // Takes up to `want` queued bytes into `to`; returns how many it took.
  size_t Take(uint8_t* to, size_t want) {
    size_t got = 0;
    while (got < want && queued > 0) {
      const size_t length = lengths[size_t(head)];
      const size_t take = std::min(want - got, length - headOffset);
      std::memcpy(to + got, Buffer(head) + headOffset, take);
      got += take;
      headOffset += take;
      if (headOffset >= length) {
        headOffset = 0;
        head = (head + 1) % bufferCount;
        --queued;
      }
    }
    return got;
  }

  void Fill(int16_t* out, size_t frames, double dacTime) {
    std::lock_guard<std::mutex> guard(lock);
    const uint64_t before = consumed;
    // The lead-in: silence before the first written byte.
    const size_t lead = std::min(leadInLeft, frames);
    std::memset(out, 0, lead * 4);
    leadInLeft -= lead;
    out += 2 * lead;
    frames -= lead;
    dacTime += double(lead) / double(rate);
    if (frames == 0) return;
    resampler.Produce(out, frames, [&](int16_t* frame) {
      if (queued == 0) return false;
      uint8_t bytes[4] = {0, 0, 0, 0};
      // A frame cut short by the end of what was written ends in silence.
      consumed += Take(bytes, sourceFrameBytes);
      std::memcpy(frame, bytes, sourceFrameBytes);
      return true;
    });
    const uint64_t done = consumed - before;
    if (done > 0) {
      if (before == 0) firstConsumed = std::chrono::steady_clock::now();
      history[historyNext] = {dacTime, before, done};
      historyNext = (historyNext + 1) % kHistory;
      historyCount = std::min(historyCount + 1, kHistory);
    }
  }

  bool QueueLocked(int index, size_t length) {
    if (queued >= bufferCount) return false;
    lengths[size_t(index)] = length;
    ++queued;
    return true;
  }

  uint64_t Consumed() const {
    std::lock_guard<std::mutex> guard(lock);
    return consumed;
  }

  uint64_t Heard(double ahead) const {
    // The device's reported latency leaves out the sound server's own (a
    // PipeWire graph cycle, a PulseAudio sink's block): a margin covers it.
    const double now = Pa_GetStreamTime(stream) + ahead - double(kServerMargin.count()) / 1000.0;
    std::lock_guard<std::mutex> guard(lock);
    // A byte leaves the rate converter that long after it was consumed.
    const double at = now - double(resampler.delayFrames()) / double(source);
    // The newest callback whose first frame has reached the loudspeaker by then.
    for (size_t i = 0; i < historyCount; ++i) {
      const Moment& m = history[(historyNext + kHistory - 1 - i) % kHistory];
      if (m.dacTime <= at) {
        const double elapsed = (at - m.dacTime) * source * double(sourceFrameBytes);
        if (elapsed >= double(m.bytes)) return m.before + m.bytes;
        const auto into = uint64_t(elapsed);
        return m.before + into - into % sourceFrameBytes;
      }
    }
    // Nothing heard yet, or the history is too short to tell.
    return historyCount == kHistory ? history[historyNext].before : 0;
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

  mutable std::mutex lock;  // guards the rest
  StreamResampler resampler;         // the player's sound to the stream's format
  size_t sourceFrameBytes = 2;
  uint32_t source = 8000;            // the player's rate
  std::unique_ptr<uint8_t[]> block;  // bufferCount areas of kBufferBytes
  int bufferCount = 0;
  std::vector<size_t> lengths;       // bytes queued in each buffer
  int queued = 0;                    // buffers queued, oldest at head
  int head = 0;                      // buffer the device reads next
  size_t headOffset = 0;             // bytes of head already consumed
  uint64_t consumed = 0;
  size_t leadInLeft = 0;             // frames of the lead-in still to play
  std::chrono::steady_clock::time_point firstConsumed{};

  // When the consumed bytes are heard: per callback, the time its first frame
  // reaches the loudspeaker and the range of written bytes it carried.
  struct Moment {
    double dacTime = 0;
    uint64_t before = 0;
    uint64_t bytes = 0;
  };
  std::array<Moment, kHistory> history{};
  size_t historyNext = 0;
  size_t historyCount = 0;
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
  {
    std::lock_guard<std::mutex> guard(device.lock);
    const size_t room = size_t(device.bufferCount - device.queued) * kBufferBytes - fill_;
    if (length > room) return false;
  }
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
      std::lock_guard<std::mutex> guard(device.lock);
      if (device.QueueLocked(current_, fill_)) {
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
  std::lock_guard<std::mutex> guard(device_->lock);
  if (!device_->QueueLocked(current_, fill_)) return false;
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
    std::lock_guard<std::mutex> guard(device_->lock);
    lastConsumed_ = device_->consumed;
    lastFirstConsumed_ = device_->firstConsumed;
    device_->queued = 0;
    device_->head = 0;
    device_->headOffset = 0;
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
  std::lock_guard<std::mutex> guard(device_->lock);
  return size_t(device_->bufferCount - device_->queued) * kBufferBytes - fill_;
}

int WavePlayer::QueuedCount() const {
  std::lock_guard<std::mutex> state(stateLock_);
  if (!device_) return 0;
  std::lock_guard<std::mutex> guard(device_->lock);
  return device_->queued;
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
  std::lock_guard<std::mutex> guard(device_->lock);
  return device_->firstConsumed;
}

}  // namespace aurisona
