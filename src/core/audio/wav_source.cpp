// WAV pieces, read through libsndfile.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "core/audio/piece_output.h"
#include "core/audio/render.h"
#include "core/audio/wav_file.h"
#include "core/util/regular_file.h"

namespace aurisona {

namespace {

// Reads a WAV file's frames as one (mono) or two channels, every channel of
// a larger file mixed in, at a rate the encoder takes: a rate below
// kMinPieceSampleRate is raised by a whole factor (linear interpolation), one
// above kMaxPieceSampleRate lowered by a whole factor (the mean of each group).
class WavReader {
 public:
  WavReader(SNDFILE* file, uint32_t channels, uint32_t rate)
      : file_(file), channels_(channels), keep_(channels == 1 ? 1 : 2), mixer_(file, channels) {
    if (rate < kMinPieceSampleRate) up_ = (kMinPieceSampleRate + rate - 1) / rate;
    if (rate > kMaxPieceSampleRate) down_ = (rate + kMaxPieceSampleRate - 1) / kMaxPieceSampleRate;
    outputRate_ = rate * up_ / down_;

  }

  uint32_t keep() const { return keep_; }
  uint32_t outputRate() const { return outputRate_; }
  // Output frames for `sourceFrames` frames of the file.
  uint64_t OutputFrames(uint64_t sourceFrames) const { return sourceFrames * up_ / down_ + (sourceFrames * up_ % down_ ? 1 : 0); }
  // Output frames a chunk of at most `frames` should ask for (a whole number of raised frames).
  size_t ChunkFrames(size_t frames) const { return std::max<size_t>(frames / up_ * up_, up_); }

  bool Allocate(size_t chunkFrames) {
    const size_t sourceFrames = chunkFrames * down_;
    scratch_.reset(new (std::nothrow) float[sourceFrames * channels_]);
    mixed_.reset(new (std::nothrow) float[sourceFrames * keep_]);
    return scratch_ && mixed_;
  }

  // Back to the start of the file.
  bool Rewind() {
    havePrevious_ = false;
    return sf_seek(file_, 0, SEEK_SET) == 0;
  }

  // Up to `frames` output frames (a multiple of the raising factor, except
  // at the end) into `out`; 0 at the end.
  size_t Read(int16_t* out, size_t frames) {
    const size_t wantSource = up_ > 1 ? std::max<size_t>(frames / up_, 1) : frames * down_;
    const sf_count_t got = sf_readf_float(file_, scratch_.get(), static_cast<sf_count_t>(wantSource));
    if (got <= 0) return 0;
    const size_t n = static_cast<size_t>(got);
    Mix(n);
    size_t produced = 0;
    if (up_ > 1) {
      for (size_t i = 0; i < n; ++i) {
        const float* now = &mixed_[i * keep_];
        if (!havePrevious_) std::copy(now, now + keep_, previous_);
        havePrevious_ = true;
        for (uint32_t t = 1; t <= up_; ++t) {
          const float f = static_cast<float>(t) / static_cast<float>(up_);
          for (uint32_t c = 0; c < keep_; ++c) {
            out[produced * keep_ + c] = FloatToPcm16(previous_[c] + (now[c] - previous_[c]) * f);
          }
          ++produced;
        }
        std::copy(now, now + keep_, previous_);
      }
    } else {
      for (size_t i = 0; i < n; i += down_) {
        const size_t group = std::min<size_t>(down_, n - i);
        for (uint32_t c = 0; c < keep_; ++c) {
          float sum = 0;
          for (size_t g = 0; g < group; ++g) sum += mixed_[(i + g) * keep_ + c];
          out[produced * keep_ + c] = FloatToPcm16(sum / static_cast<float>(group));
        }
        ++produced;
      }
    }
    return produced;
  }

 private:
  void Mix(size_t frames) { mixer_.Mix(scratch_.get(), frames, mixed_.get()); }

  SNDFILE* file_;
  uint32_t channels_;
  uint32_t keep_;
  uint32_t up_ = 1;
  uint32_t down_ = 1;
  uint32_t outputRate_ = 0;
  ChannelMixer mixer_;
  std::unique_ptr<float[]> scratch_;
  std::unique_ptr<float[]> mixed_;
  float previous_[2] = {0, 0};
  bool havePrevious_ = false;
};

}  // namespace

bool HasRiffWaveHeader(const std::filesystem::path& path) {
  StdioFile file = OpenRegularStream(path);
  if (file == nullptr) return false;
  char header[12];
  const size_t got = std::fread(header, 1, sizeof header, file.get());
  return got == sizeof header && std::memcmp(header, "RIFF", 4) == 0 &&
         std::memcmp(header + 8, "WAVE", 4) == 0;
}

// libsndfile normalises every format to -1.0 .. 1.0 (16-bit PCM exactly as
// s / 32768), so scaling back by 32768 gives 16-bit PCM unchanged and the top
// 16 bits (rounded) of deeper formats; float data outside the range clips.
int16_t FloatToPcm16(float value) {
  if (std::isnan(value)) return 0;
  const float scaled = value * 32768.0f;
  if (scaled >= 32767.0f) return 32767;
  if (scaled <= -32768.0f) return -32768;
  return static_cast<int16_t>(std::lrint(scaled));
}

RenderResult RenderWavSource(const std::filesystem::path& path, PieceKind kind,
                             const PieceSettings& settings, PcmSink& sink) {
  if (!HasRiffWaveHeader(path)) return RenderResult::Undecodable;
  SF_INFO info{};
  const std::unique_ptr<WavFile> wav = WavFile::Open(path, &info);
  if (!wav) return RenderResult::Undecodable;
  SNDFILE* const file = wav->get();
  const int major = info.format & SF_FORMAT_TYPEMASK;
  if ((major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) || info.channels < 1 ||
      info.samplerate <= 0 || info.frames <= 0) {
    return RenderResult::NothingAdded;
  }
  if (static_cast<uint32_t>(info.samplerate) < kMinSourceSampleRate ||
      static_cast<uint32_t>(info.samplerate) > kMaxSourceSampleRate) {
    return RenderResult::Undecodable;
  }
  WavReader reader(file, static_cast<uint32_t>(info.channels), static_cast<uint32_t>(info.samplerate));
  const uint32_t keep = reader.keep();
  const uint32_t rate = reader.outputRate();

  PieceShape shape;
  shape.channels = keep;
  const uint64_t frameBytes = uint64_t{keep} * 2;
  const uint64_t maxFrames = kMaxPieceBytes / frameBytes;
  shape.totalBytes =
      std::min<uint64_t>(reader.OutputFrames(static_cast<uint64_t>(info.frames)), maxFrames) * frameBytes;

  PieceOutput output(sink);
  if (auto failure = output.Open(rate)) return *failure;

  // Both layouts read C / 2 frames per chunk: C / 2 mono samples, which fill
  // the buffer once widened, or C stereo samples.
  const size_t chunkFrames = reader.ChunkFrames(output.capacity() / 2);
  if (!reader.Allocate(chunkFrames)) {
    static_cast<void>(output.Finish());  // out of memory is the result, whatever the close gives
    return RenderResult::OutOfMemory;
  }
  const uint64_t totalFrames = shape.totalBytes / frameBytes;

  if (FadeApplies(settings, kind)) {
    shape.fadeLength = ComputeFadeLength(keep, rate, settings.fadeSeconds, shape.totalBytes);
  }
  const PieceGain& group = PieceGainOf(settings, kind);
  // The filter, primed with the start of the piece, for each pass alike.
  std::optional<InfrasoundFilter> primed;
  if (RemovesInfrasound(settings, kind)) {
    std::vector<int16_t> head;
    const uint64_t headFrames = std::min<uint64_t>(InfrasoundFilter::HeadFrames(rate), totalFrames);
    while (head.size() < headFrames * keep) {
      const size_t left = static_cast<size_t>(headFrames - head.size() / keep);
      const size_t got = reader.Read(output.buffer(), std::min(chunkFrames, reader.ChunkFrames(left)));
      if (got == 0) break;
      head.insert(head.end(), output.buffer(), output.buffer() + got * keep);
    }
    if (!reader.Rewind()) return output.Finish();
    primed.emplace(rate, keep);
    primed->Prime(head.data(), head.size() / keep);
  }
  const bool filter = primed.has_value();
  int32_t peak = 0;
  if (group.automatic) {
    InfrasoundFilter highPass = filter ? *primed : InfrasoundFilter(rate, keep);
    uint64_t measured = 0;
    while (measured < totalFrames) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(chunkFrames, totalFrames - measured));
      const size_t got = reader.Read(output.buffer(), want);
      if (got == 0) break;
      if (filter) highPass.Process(output.buffer(), got * keep);
      peak = UpdatePeak(peak, output.buffer(), got * keep);
      measured += got;
    }
    if (!reader.Rewind()) return output.Finish();
  }
  shape.gainPercent = ChooseGainPercent(group, peak);

  InfrasoundFilter highPass = filter ? *primed : InfrasoundFilter(rate, keep);
  uint64_t position = 0;
  while (position < shape.totalBytes) {
    const uint64_t framesLeft = (shape.totalBytes - position) / frameBytes;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(chunkFrames, framesLeft));
    const size_t got = reader.Read(output.buffer(), want);
    if (got == 0) break;
    if (filter) highPass.Process(output.buffer(), got * keep);
    if (!output.Emit(shape, got * keep, position)) break;
  }
  return output.Finish();
}

}  // namespace aurisona
