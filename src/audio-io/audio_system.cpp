#include "audio-io/audio_system.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <pthread.h>
#include <sched.h>

#include <condition_variable>
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace aurisona {
namespace {

void DropAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

// Points standard error at /dev/null for the lifetime of the object.
class QuietStderr {
 public:
  QuietStderr() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
  }
  ~QuietStderr() {
    std::fflush(stderr);
    if (saved_ >= 0) {
      dup2(saved_, STDERR_FILENO);
      close(saved_);
    }
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

std::mutex gMutex;
bool gReady = false;

}  // namespace

bool EnsureAudioSystem() {
  std::lock_guard<std::mutex> lock(gMutex);
  if (gReady) return true;
  snd_lib_error_set_handler(DropAlsaMessage);
  setenv("JACK_NO_START_SERVER", "1", 0);
  {
    QuietStderr quiet;
    gReady = Pa_Initialize() == paNoError;
  }
  return gReady;
}

std::mutex& StreamSetupLock() {
  static std::mutex lock;
  return lock;
}

bool RaiseToRealtimePriority() {
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO);
  return param.sched_priority >= 0 && pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

namespace {

// The silent stream and the thread that opens and closes it.
class OutputKeeper {
 public:
  static OutputKeeper& Get() {
    StreamSetupLock();  // made first, so that it outlives the keeper
    static OutputKeeper keeper;
    return keeper;
  }

  void Hold() {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      ++holds_;
      tryOpen_ = true;  // (re)opened unless it runs
      if (!thread_.joinable()) thread_ = std::thread(&OutputKeeper::Run, this);
    }
    wake_.notify_all();
  }

  void Release() {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      if (holds_ > 0) --holds_;
      lastRelease_ = std::chrono::steady_clock::now();
    }
    wake_.notify_all();
  }

  bool Awake() {
    std::lock_guard<std::mutex> guard(mutex_);
    return stream_ != nullptr;
  }

  void Park(std::unique_ptr<ParkedStream> stream) {
    std::vector<std::unique_ptr<ParkedStream>> closing;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      if (quit_) {
        closing.push_back(std::move(stream));
      } else {
        parked_.push_back({std::move(stream), std::chrono::steady_clock::now()});
        while (parked_.size() > kMaxParkedStreams) {
          closing.push_back(std::move(parked_.front().stream));
          parked_.erase(parked_.begin());
        }
        if (!thread_.joinable()) thread_ = std::thread(&OutputKeeper::Run, this);
      }
    }
    wake_.notify_all();
    closing.clear();  // outside the lock: letting a stream go takes time
  }

  std::unique_ptr<ParkedStream> Take(int channels, uint32_t sampleRate) {
    std::vector<std::unique_ptr<ParkedStream>> closing;
    std::unique_ptr<ParkedStream> taken;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      for (size_t i = parked_.size(); i-- > 0;) {
        ParkedStream& stream = *parked_[i].stream;
        if (stream.channels() != channels || stream.sampleRate() != sampleRate) continue;
        std::unique_ptr<ParkedStream> found = std::move(parked_[i].stream);
        parked_.erase(parked_.begin() + std::ptrdiff_t(i));
        if (found->Running()) {
          taken = std::move(found);
          break;
        }
        closing.push_back(std::move(found));
      }
    }
    closing.clear();
    return taken;
  }

  void Silence() {
    std::vector<std::unique_ptr<ParkedStream>> closing;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      for (size_t i = 0; i < parked_.size();) {
        if (parked_[i].stream->Sounding()) {
          closing.push_back(std::move(parked_[i].stream));
          parked_.erase(parked_.begin() + std::ptrdiff_t(i));
        } else {
          ++i;
        }
      }
    }
    for (auto& stream : closing) stream->Kill();
    closing.clear();
  }

  size_t ParkedCount() {
    std::lock_guard<std::mutex> guard(mutex_);
    return parked_.size();
  }

 private:
  OutputKeeper() = default;
  ~OutputKeeper() {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  static int Silence(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                     PaStreamCallbackFlags, void* raised) {
    // A starved stream breaks off (the ALSA plugin reports an error), so it
    // asks for the same priority as the players' streams.
    if (!*static_cast<bool*>(raised)) *static_cast<bool*>(raised) = true, RaiseToRealtimePriority();
    std::memset(output, 0, frames * 2 * sizeof(int16_t));
    return paContinue;
  }

  PaStream* Open() {
    if (!EnsureAudioSystem()) return nullptr;
    std::lock_guard<std::mutex> setup(StreamSetupLock());
    const PaDeviceIndex output = Pa_GetDefaultOutputDevice();
    if (output == paNoDevice) return nullptr;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(output);
    PaStreamParameters parameters{};
    parameters.device = output;
    parameters.channelCount = 2;
    parameters.sampleFormat = paInt16;
    // The server's latency follows the shortest a connected stream asks for:
    // this one keeps it short between sounds, and asks for longer than the
    // players' streams (the same latency makes PulseAudio's null sink
    // misbehave when a resampled stream connects).
    parameters.suggestedLatency = std::max(0.15, info != nullptr ? info->defaultLowOutputLatency : 0.0);
    const double rate = info != nullptr && info->defaultSampleRate > 0 ? info->defaultSampleRate : 44100.0;
    PaStream* stream = nullptr;
    raised_ = false;
    if (Pa_OpenStream(&stream, nullptr, &parameters, rate, paFramesPerBufferUnspecified, paNoFlag, &Silence,
                      &raised_) != paNoError) {
      return nullptr;
    }
    if (Pa_StartStream(stream) != paNoError) {
      Pa_CloseStream(stream);
      return nullptr;
    }
    return stream;
  }

  static void Close(PaStream* stream) {
    Pa_AbortStream(stream);
    std::lock_guard<std::mutex> setup(StreamSetupLock());
    Pa_CloseStream(stream);
  }

  // Lets go of the parked streams unused for kParkedIdle, or all of them;
  // returns when the next one is due (time_point::max() when none is). The
  // lock is dropped while streams close (`unlocked` then says so): what it
  // guards may have changed meanwhile.
  std::chrono::steady_clock::time_point DropParked(std::unique_lock<std::mutex>& lock, bool all,
                                                   bool* unlocked = nullptr) {
    std::vector<std::unique_ptr<ParkedStream>> closing;
    const auto now = std::chrono::steady_clock::now();
    auto next = std::chrono::steady_clock::time_point::max();
    for (size_t i = 0; i < parked_.size();) {
      if (all || now >= parked_[i].since + kParkedIdle) {
        closing.push_back(std::move(parked_[i].stream));
        parked_.erase(parked_.begin() + std::ptrdiff_t(i));
      } else {
        next = std::min(next, parked_[i].since + kParkedIdle);
        ++i;
      }
    }
    if (!closing.empty()) {
      lock.unlock();
      closing.clear();
      lock.lock();
      if (unlocked != nullptr) *unlocked = true;
    }
    return next;
  }

  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!quit_) {
      if (holds_ > 0 && stream_ != nullptr && tryOpen_ && Pa_IsStreamActive(stream_) != 1) {
        // It broke off: opened afresh.
        PaStream* closing = stream_;
        stream_ = nullptr;
        lock.unlock();
        Close(closing);
        lock.lock();
        continue;
      }
      if (holds_ > 0 && stream_ != nullptr && tryOpen_) tryOpen_ = false;  // it runs
      if (holds_ > 0 && stream_ == nullptr && tryOpen_) {
        tryOpen_ = false;
        lock.unlock();
        PaStream* opened = Open();
        lock.lock();
        stream_ = opened;
        continue;
      }
      if (holds_ == 0 && (stream_ != nullptr || !parked_.empty())) {
        const auto until = lastRelease_ + kOutputLinger;
        if (std::chrono::steady_clock::now() >= until) {
          PaStream* closing = stream_;
          stream_ = nullptr;
          DropParked(lock, true);
          if (closing != nullptr) {
            lock.unlock();
            Close(closing);
            lock.lock();
          }
          continue;
        }
        wake_.wait_until(lock, until);
        continue;
      }
      bool unlocked = false;
      const auto due = DropParked(lock, false, &unlocked);
      if (quit_) break;
      // A hold or a stream parked while the lock was dropped has notified no
      // one who waits: look again before waiting.
      if (unlocked) continue;
      if (due == std::chrono::steady_clock::time_point::max()) {
        wake_.wait(lock);
      } else {
        wake_.wait_until(lock, due);
      }
    }
    PaStream* closing = stream_;
    stream_ = nullptr;
    DropParked(lock, true);
    if (closing != nullptr) {
      lock.unlock();
      Close(closing);
    }
  }

  struct Parked {
    std::unique_ptr<ParkedStream> stream;
    std::chrono::steady_clock::time_point since;
  };

  std::mutex mutex_;
  std::condition_variable wake_;
  int holds_ = 0;
  bool tryOpen_ = false;
  bool quit_ = false;
  std::chrono::steady_clock::time_point lastRelease_{};
  PaStream* stream_ = nullptr;
  std::vector<Parked> parked_;
  bool raised_ = false;  // written by the silent stream's callback thread only
  std::thread thread_;
};

}  // namespace

void HoldSoundOutput() { OutputKeeper::Get().Hold(); }

void ReleaseSoundOutput() { OutputKeeper::Get().Release(); }

bool SoundOutputKeptAwake() { return OutputKeeper::Get().Awake(); }

void ParkStream(std::unique_ptr<ParkedStream> stream) {
  if (stream) OutputKeeper::Get().Park(std::move(stream));
}

std::unique_ptr<ParkedStream> TakeParkedStream(int channels, uint32_t sampleRate) {
  return OutputKeeper::Get().Take(channels, sampleRate);
}

size_t ParkedStreamCount() { return OutputKeeper::Get().ParkedCount(); }

void SilenceParkedStreams() { OutputKeeper::Get().Silence(); }

}  // namespace aurisona
