#include "audio-io/wave_player.h"

#include <portaudio.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "audio-io/audio_system.h"

namespace aurisona {

namespace {
// Latency asked of the device: enough to ride out a busy machine.
constexpr double kSuggestedLatencySeconds = 0.05;
constexpr size_t kHistory = 64;
}  // namespace

// What exists while the device is open.
struct WavePlayer::Device {
  PaStream* stream = nullptr;
  std::unique_ptr<uint8_t[]> block;  // bufferCount areas of kBufferBytes
  std::vector<size_t> lengths;       // bytes queued in each buffer
  size_t frameBytes = 2;

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

  uint8_t* Buffer(int index) { return block.get() + size_t(index) * kBufferBytes; }

  bool raised = false;  // the callback thread's priority has been seen to

  static int OnDevice(const void*, void* output, unsigned long frames,
                      const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags, void* self) {
    auto* player = static_cast<WavePlayer*>(self);
    if (!player->device_->raised) {
      player->device_->raised = true;
      RaiseToRealtimePriority();
    }
    const double dac = time != nullptr && time->outputBufferDacTime > 0 ? time->outputBufferDacTime
                       : time != nullptr                                ? time->currentTime
                                                                        : 0;
    player->Fill(static_cast<uint8_t*>(output), frames * player->device_->frameBytes, dac);
    return paContinue;
  }
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
  auto device = std::unique_ptr<Device>(new (std::nothrow) Device);
  if (!device) return false;
  device->block.reset(new (std::nothrow) uint8_t[size_t(bufferCount_) * kBufferBytes]());
  if (!device->block) return false;
  device->lengths.assign(size_t(bufferCount_), 0);
  device->frameBytes = size_t(channels_) * 2;

  const PaDeviceIndex output = Pa_GetDefaultOutputDevice();
  if (output == paNoDevice) return false;
  const PaDeviceInfo* info = Pa_GetDeviceInfo(output);
  PaStreamParameters parameters{};
  parameters.device = output;
  parameters.channelCount = channels_;
  parameters.sampleFormat = paInt16;
  parameters.suggestedLatency =
      std::max(kSuggestedLatencySeconds, info != nullptr ? info->defaultLowOutputLatency : 0.0);
  {
    std::lock_guard<std::mutex> guard(lock_);
    queued_ = 0;
    head_ = 0;
    headOffset_ = 0;
    consumed_ = 0;
    firstConsumed_ = {};
    leadInLeft_ = size_t(uint64_t(sampleRate_) * uint64_t(kLeadIn.count()) / 1000) * device->frameBytes;
  }
  current_ = 0;
  fill_ = 0;
  device_ = std::move(device);
  // Held before the stream opens, so that the server is kept awake across the
  // gap to whatever plays next.
  HoldSoundOutput();
  std::unique_lock<std::mutex> setup(StreamSetupLock());
  PaStream* stream = nullptr;
  if (Pa_OpenStream(&stream, nullptr, &parameters, sampleRate_, paFramesPerBufferUnspecified,
                    paNoFlag, &Device::OnDevice, this) != paNoError) {
    setup.unlock();
    device_.reset();
    ReleaseSoundOutput();
    return false;
  }
  device_->stream = stream;
  if (Pa_StartStream(stream) != paNoError) {
    Pa_CloseStream(stream);
    setup.unlock();
    device_.reset();
    ReleaseSoundOutput();
    return false;
  }
  return true;
}

int WavePlayer::Fill(uint8_t* out, size_t bytes, double dacTime) {
  std::lock_guard<std::mutex> guard(lock_);
  Device& device = *device_;
  const uint64_t before = consumed_;
  // The lead-in: silence before the first written byte.
  size_t lead = std::min(leadInLeft_, bytes);
  lead -= lead % device.frameBytes;
  std::memset(out, 0, lead);
  leadInLeft_ -= lead;
  if (leadInLeft_ > 0) return 0;
  out += lead;
  bytes -= lead;
  dacTime += double(lead / device.frameBytes) / double(sampleRate_);
  size_t done = 0;
  while (done < bytes && queued_ > 0) {
    const size_t length = device.lengths[size_t(head_)];
    const size_t take = std::min(bytes - done, length - headOffset_);
    std::memcpy(out + done, device.Buffer(head_) + headOffset_, take);
    done += take;
    headOffset_ += take;
    if (headOffset_ >= length) {
      headOffset_ = 0;
      head_ = (head_ + 1) % bufferCount_;
      --queued_;
    }
  }
  if (done < bytes) std::memset(out + done, 0, bytes - done);
  if (done > 0) {
    if (consumed_ == 0) firstConsumed_ = std::chrono::steady_clock::now();
    consumed_ += done;
    device.history[device.historyNext] = {dacTime, before, done};
    device.historyNext = (device.historyNext + 1) % kHistory;
    device.historyCount = std::min(device.historyCount + 1, kHistory);
  }
  return 0;
}

bool WavePlayer::QueueCurrentLocked() {
  if (queued_ >= bufferCount_) return false;
  device_->lengths[size_t(current_)] = fill_;
  ++queued_;
  current_ = (current_ + 1) % bufferCount_;
  fill_ = 0;
  return true;
}

bool WavePlayer::Write(const void* bytes, size_t length) {
  if (!device_) return false;
  if (length == 0) return true;
  {
    std::lock_guard<std::mutex> guard(lock_);
    const size_t room = size_t(bufferCount_ - queued_) * kBufferBytes - fill_;
    if (length > room) return false;
  }
  const auto* from = static_cast<const uint8_t*>(bytes);
  while (length > 0) {
    // The buffer being filled is never one the device reads: the room check
    // above leaves it free until it is queued.
    const size_t take = std::min(length, kBufferBytes - fill_);
    std::memcpy(device_->Buffer(current_) + fill_, from, take);
    fill_ += take;
    from += take;
    length -= take;
    if (fill_ == kBufferBytes) {
      std::lock_guard<std::mutex> guard(lock_);
      QueueCurrentLocked();
    }
  }
  return true;
}

bool WavePlayer::Flush() {
  if (!device_) return false;
  if (fill_ == 0) return true;
  std::lock_guard<std::mutex> guard(lock_);
  return QueueCurrentLocked();
}

void WavePlayer::Close() {
  if (!device_) return;
  Flush();
  const auto deadline = std::chrono::steady_clock::now() + kDrainSteps * kDrainStep;
  while (QueuedCount() > 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(kPollStep);
  // Wait until the last byte has been heard (within what is left of the drain
  // time), then let the stream go at once. Draining it instead would wait on
  // the sound server's buffering, which has nothing more of ours to play.
  const uint64_t consumed = ConsumedBytes();
  while (HeardBytes() < consumed && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kHeardPollStep);
  }
  Release();
}

void WavePlayer::Abort() {
  if (!device_) return;
  Release();
}

void WavePlayer::Release() {
  Pa_AbortStream(device_->stream);
  {
    std::lock_guard<std::mutex> setup(StreamSetupLock());
    Pa_CloseStream(device_->stream);
  }
  ReleaseSoundOutput();
  {
    std::lock_guard<std::mutex> guard(lock_);
    queued_ = 0;
    head_ = 0;
    headOffset_ = 0;
  }
  device_.reset();
  current_ = 0;
  fill_ = 0;
}

bool WavePlayer::IsOpen() const { return device_ != nullptr; }

size_t WavePlayer::WritableBytes() const {
  if (!device_) return 0;
  std::lock_guard<std::mutex> guard(lock_);
  return size_t(bufferCount_ - queued_) * kBufferBytes - fill_;
}

int WavePlayer::QueuedCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return queued_;
}

uint64_t WavePlayer::ConsumedBytes() const {
  std::lock_guard<std::mutex> guard(lock_);
  return consumed_;
}

uint64_t WavePlayer::HeardBytes() const {
  if (!device_) return ConsumedBytes();
  // The device's reported latency leaves out the sound server's own (a
  // PipeWire graph cycle, a PulseAudio sink's block): a margin covers it.
  const double now = Pa_GetStreamTime(device_->stream) - double(kServerMargin.count()) / 1000.0;
  std::lock_guard<std::mutex> guard(lock_);
  const Device& device = *device_;
  // The newest callback whose first frame has reached the loudspeaker.
  for (size_t i = 0; i < device.historyCount; ++i) {
    const Device::Moment& m = device.history[(device.historyNext + kHistory - 1 - i) % kHistory];
    if (m.dacTime <= now) {
      const double elapsed = (now - m.dacTime) * sampleRate_ * double(device.frameBytes);
      const uint64_t into = elapsed >= double(m.bytes) ? m.bytes : uint64_t(elapsed);
      return m.before + into - into % device.frameBytes;
    }
  }
  // Nothing heard yet, or the history is too short to tell.
  return device.historyCount == kHistory ? device.history[device.historyNext].before : 0;
}

std::chrono::steady_clock::time_point WavePlayer::FirstConsumedAt() const {
  std::lock_guard<std::mutex> guard(lock_);
  return firstConsumed_;
}

}  // namespace aurisona
