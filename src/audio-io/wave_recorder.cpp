#include "audio-io/wave_recorder.h"

#include <portaudio.h>

#include <algorithm>

#include "audio-io/audio_system.h"

namespace aurisona {

// The device's callback, a member so that it reaches the ring.
struct WaveRecorder::Stream {
  static int OnCapture(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                       PaStreamCallbackFlags, void* self) {
    auto* recorder = static_cast<WaveRecorder*>(self);
    if (input != nullptr) {
      recorder->Capture(static_cast<const int16_t*>(input), frames * static_cast<size_t>(recorder->channels_));
    }
    return paContinue;
  }
};

WaveRecorder::WaveRecorder() = default;

WaveRecorder::~WaveRecorder() { End(); }

bool WaveRecorder::Begin() {
  if (stream_ != nullptr || !handler_ || bitsPerSample_ != 16 || channels_ < 1 || sampleRate_ == 0) {
    return false;
  }
  const uint32_t frameBytes = uint32_t(channels_) * 2;
  if (bufferSize_ == 0 || bufferSize_ % frameBytes != 0) return false;
  if (!EnsureAudioSystem()) return false;
  const PaDeviceIndex input = Pa_GetDefaultInputDevice();
  if (input == paNoDevice) return false;
  const PaDeviceInfo* info = Pa_GetDeviceInfo(input);
  PaStreamParameters parameters{};
  parameters.device = input;
  parameters.channelCount = channels_;
  parameters.sampleFormat = paInt16;
  parameters.suggestedLatency = info != nullptr ? info->defaultHighInputLatency : 0.1;
  if (Pa_IsFormatSupported(&parameters, nullptr, sampleRate_) != paFormatIsSupported) return false;

  buffers_.assign(kBufferCount, std::vector<int16_t>(bufferSize_ / 2));
  {
    std::lock_guard<std::mutex> guard(lock_);
    full_.clear();
    free_.clear();
    for (int i = 0; i < kBufferCount; ++i) free_.push_back(i);
    filling_ = -1;
    fill_ = 0;
    ending_ = false;
    dropped_ = 0;
  }
  PaStream* stream = nullptr;
  if (Pa_OpenStream(&stream, &parameters, nullptr, sampleRate_, paFramesPerBufferUnspecified, paNoFlag,
                    &Stream::OnCapture, this) != paNoError) {
    return false;
  }
  delivery_ = std::thread(&WaveRecorder::Deliver, this);
  if (Pa_StartStream(stream) != paNoError) {
    Pa_CloseStream(stream);
    {
      std::lock_guard<std::mutex> guard(lock_);
      ending_ = true;
    }
    ready_.notify_all();
    delivery_.join();
    return false;
  }
  stream_ = stream;
  return true;
}

void WaveRecorder::Capture(const int16_t* samples, size_t count) {
  const size_t capacity = bufferSize_ / 2;
  bool wake = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    while (count > 0) {
      if (filling_ < 0) {
        if (free_.empty()) {
          dropped_ += count * 2;
          break;
        }
        filling_ = free_.front();
        free_.pop_front();
        fill_ = 0;
      }
      const size_t take = std::min(count, capacity - fill_);
      std::copy_n(samples, take, buffers_[size_t(filling_)].data() + fill_);
      fill_ += take;
      samples += take;
      count -= take;
      if (fill_ == capacity) {
        full_.push_back(filling_);
        filling_ = -1;
        wake = true;
      }
    }
  }
  if (wake) ready_.notify_one();
}

void WaveRecorder::Deliver() {
  std::unique_lock<std::mutex> lock(lock_);
  for (;;) {
    ready_.wait(lock, [this] { return !full_.empty() || ending_; });
    if (full_.empty()) return;
    const int index = full_.front();
    full_.pop_front();
    lock.unlock();
    handler_(std::span<const int16_t>(buffers_[size_t(index)]));
    lock.lock();
    free_.push_back(index);
  }
}

void WaveRecorder::End() {
  if (stream_ == nullptr) return;
  auto* stream = static_cast<PaStream*>(stream_);
  Pa_AbortStream(stream);
  Pa_CloseStream(stream);
  stream_ = nullptr;
  {
    std::lock_guard<std::mutex> guard(lock_);
    ending_ = true;
    filling_ = -1;  // the partly filled buffer is dropped
  }
  ready_.notify_all();
  if (delivery_.joinable()) delivery_.join();
}

uint64_t WaveRecorder::DroppedBytes() const {
  std::lock_guard<std::mutex> guard(lock_);
  return dropped_;
}

}  // namespace aurisona
