#include "audio-io/sound_file_player.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "core/audio/pcm.h"
#include "core/audio/render.h"
#include "core/audio/wav_file.h"
#include "core/util/regular_file.h"

namespace aurisona {

namespace {

constexpr size_t kChunkBytes = WavePlayer::kBufferBytes;

}  // namespace

// An open WAV file as 16-bit samples of one or two channels (a file with
// more has every channel mixed in, as in the output).
struct SoundFilePlayer::WavSource {
  std::unique_ptr<WavFile> wav;
  SNDFILE* file = nullptr;
  uint32_t channels = 0;  // in the file
  uint32_t keep = 0;      // played: 1 or 2
  std::vector<float> scratch;
  std::vector<float> mixed;
  std::optional<ChannelMixer> mixer;

  size_t Read(int16_t* out, size_t frames) {
    const sf_count_t got = sf_readf_float(file, scratch.data(), static_cast<sf_count_t>(frames));
    if (got <= 0) return 0;
    mixer->Mix(scratch.data(), static_cast<size_t>(got), mixed.data());
    for (size_t i = 0; i < static_cast<size_t>(got) * keep; ++i) out[i] = FloatToPcm16(mixed[i]);
    return static_cast<size_t>(got);
  }
};

// Hands the decoded MP3 to the device, waiting while the queue is full.
class Mp3DeviceSink final : public PcmSink {
 public:
  Mp3DeviceSink(WavePlayer& player, const std::function<bool()>& running)
      : player_(player), running_(running) {}

  SinkStatus Open(uint32_t sampleRate) override {
    player_.SetFormat(2, sampleRate);
    player_.SetBufferCount(SoundFilePlayer::BufferCountFor(2, sampleRate, SoundFilePlayer::kMp3BufferCount));
    return player_.Open() ? SinkStatus::Ok : SinkStatus::Unsupported;
  }
  size_t ChunkCapacity() const override { return kChunkBytes / 2; }
  SinkStatus Write(const int16_t* samples, size_t count) override {
    while (player_.QueuedCount() > player_.bufferCount() - 2 && running_()) {
      std::this_thread::sleep_for(SoundFilePlayer::kPollStep);
    }
    if (!running_()) return SinkStatus::WriteFailed;
    if (!player_.Write(samples, (count & ~size_t{1}) * 2)) return SinkStatus::WriteFailed;
    wrote_ = true;
    return SinkStatus::Ok;
  }
  SinkStatus Close() override { return SinkStatus::Ok; }
  bool wrote() const { return wrote_; }

 private:
  WavePlayer& player_;
  const std::function<bool()>& running_;
  bool wrote_ = false;
};

int SoundFilePlayer::BufferCountFor(int channels, uint32_t sampleRate, int minimum) {
  const uint64_t bytes = uint64_t(std::max(channels, 1)) * 2 * sampleRate * uint64_t(kQueueAhead.count()) / 1000;
  // The threads keep all but one (WAV) or two (MP3) buffers queued.
  const uint64_t count = (bytes + kChunkBytes - 1) / kChunkBytes + 2;
  return static_cast<int>(std::clamp<uint64_t>(count, uint64_t(std::max(minimum, 2)), 256));
}

SoundFilePlayer::SoundFilePlayer() = default;

SoundFilePlayer::~SoundFilePlayer() { Stop(); }

bool SoundFilePlayer::Running() const {
  std::lock_guard<std::mutex> guard(runningLock_);
  return running_;
}

bool SoundFilePlayer::IsRunning() const { return Running(); }

void SoundFilePlayer::JoinThread() {
  if (thread_.joinable()) thread_.join();
}

void SoundFilePlayer::Stop() {
  {
    std::lock_guard<std::mutex> guard(runningLock_);
    running_ = false;
  }
  // From the completion itself: the thread releases the device as it returns.
  if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) return;
  JoinThread();
}

int SoundFilePlayer::Play(const std::filesystem::path& path, PlaybackCompletion completion,
                          int32_t playTimeSeconds, int32_t fadeSeconds) {
  if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) return 1;
  Stop();
  completion_ = std::move(completion);

  switch (SourceTypeOf(path)) {
    case SourceType::Wav: {
      if (!HasRiffWaveHeader(path)) return 1;
      auto source = std::unique_ptr<WavSource>(new (std::nothrow) WavSource);
      if (!source) return 1;
      SF_INFO info{};
      source->wav = WavFile::Open(path, &info);
      if (source->wav == nullptr) return 1;
      source->file = source->wav->get();
      const int major = info.format & SF_FORMAT_TYPEMASK;
      if ((major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) || info.channels < 1 ||
          info.samplerate <= 0 || info.frames <= 0) {
        return 1;
      }
      source->channels = static_cast<uint32_t>(info.channels);
      source->keep = source->channels == 1 ? 1 : 2;
      const uint32_t rate = static_cast<uint32_t>(info.samplerate);
      const uint64_t frameBytes = uint64_t{source->keep} * 2;
      uint64_t limit = std::min<uint64_t>(static_cast<uint64_t>(info.frames), kMaxPieceBytes / frameBytes) * frameBytes;
      if (playTimeSeconds > 0) {
        limit = std::min(limit, frameBytes * rate * static_cast<uint64_t>(playTimeSeconds));
      }
      const uint32_t fadeLength = ComputeFadeLength(source->keep, rate, fadeSeconds, limit);
      source->scratch.resize(kChunkBytes / frameBytes * source->channels);
      source->mixed.resize(kChunkBytes / frameBytes * source->keep);
      source->mixer.emplace(source->file, source->channels);

      player_.SetFormat(static_cast<int>(source->keep), rate);
      player_.SetBufferCount(BufferCountFor(static_cast<int>(source->keep), rate, kWavBufferCount));
      if (!player_.Open()) return 1;
      {
        std::lock_guard<std::mutex> guard(runningLock_);
        running_ = true;
      }
      thread_ = std::thread(&SoundFilePlayer::RunWav, this, source.release(), limit, fadeLength);
      return 0;
    }
    case SourceType::Mp3: {
      // A FIFO or a device would hold the decoder for ever.
      if (!IsRegularFile(path)) return 1;
      {
        std::lock_guard<std::mutex> guard(runningLock_);
        running_ = true;
      }
      thread_ = std::thread(&SoundFilePlayer::RunMp3, this, path, playTimeSeconds, fadeSeconds);
      return 0;
    }
    case SourceType::Unknown:
      break;
  }
  return 1;
}

void SoundFilePlayer::RunWav(WavSource* wav, uint64_t byteLimit, uint32_t fadeLength) {
  std::unique_ptr<WavSource> source(wav);
  std::vector<int16_t> pcm(kChunkBytes / 2);
  const uint64_t frameBytes = uint64_t{source->keep} * 2;
  const uint32_t clipSamples = static_cast<uint32_t>(byteLimit / 2);
  uint64_t played = 0;
  while (played < byteLimit) {
    while (player_.QueuedCount() > player_.bufferCount() - 1 && Running()) std::this_thread::sleep_for(kPollStep);
    if (!Running()) break;
    const size_t frames = static_cast<size_t>(std::min<uint64_t>(kChunkBytes, byteLimit - played) / frameBytes);
    const size_t got = source->Read(pcm.data(), frames);
    if (got == 0) break;
    const size_t samples = got * source->keep;
    if (fadeLength > 0) ApplyFade(fadeLength, static_cast<uint32_t>(played / 2), pcm.data(), samples, clipSamples);
    played += samples * 2;
    player_.Write(pcm.data(), samples * 2);
  }
  source.reset();
  Finish(true);
}

void SoundFilePlayer::RunMp3(std::filesystem::path path, int32_t playTimeSeconds, int32_t fadeSeconds) {
  const std::function<bool()> running = [this] { return Running(); };
  Mp3DeviceSink sink(player_, running);
  PieceSettings settings;  // no gain: the music group at 100 percent
  settings.musicFade = fadeSeconds > 0;
  settings.fadeSeconds = fadeSeconds;
  // A clip that cannot be decoded to its end ends where decoding stopped;
  // the end reported says whether anything was played.
  static_cast<void>(RenderMp3Source(path, PieceKind::Music, playTimeSeconds, settings, sink));
  Finish(sink.wrote());
}

void SoundFilePlayer::Finish(bool played) {
  // The end is reported when the last byte will have been heard by the time
  // a byte written now is: what follows is then heard without a gap. Stop
  // cuts the wait short.
  if (Running()) {
    player_.Finish(std::chrono::steady_clock::now() + WavePlayer::kDrainSteps * WavePlayer::kDrainStep,
                   [this] { return Running(); });
  } else {
    player_.Abort();
  }
  bool report = false;
  {
    std::lock_guard<std::mutex> guard(runningLock_);
    report = running_;
    running_ = false;
  }
  if (report && completion_) completion_(played ? PlaybackEnd::kPlayed : PlaybackEnd::kNotPlayed);
}

}  // namespace aurisona
