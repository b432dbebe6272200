// WAV pieces, read through libsndfile.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "audio/piece_output.h"
#include "audio/render.h"
#include "audio/wav_file.h"
#include "util/regular_file.h"

namespace aurisona {

namespace {

// Reads up to `frames` frames and keeps the first `keep` channels of each.
class WavReader {
 public:
  WavReader(SNDFILE* file, uint32_t channels, uint32_t keep, float* scratch)
      : file_(file), channels_(channels), keep_(keep), scratch_(scratch) {}

  size_t Read(int16_t* out, size_t frames) {
    const sf_count_t got = sf_readf_float(file_, scratch_, static_cast<sf_count_t>(frames));
    if (got <= 0) return 0;
    for (sf_count_t i = 0; i < got; ++i) {
      for (uint32_t c = 0; c < keep_; ++c) {
        out[size_t(i) * keep_ + c] = FloatToPcm16(scratch_[size_t(i) * channels_ + c]);
      }
    }
    return static_cast<size_t>(got);
  }

 private:
  SNDFILE* file_;
  uint32_t channels_;
  uint32_t keep_;
  float* scratch_;
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
  if (!HasRiffWaveHeader(path)) return RenderResult::NothingAdded;
  SF_INFO info{};
  const std::unique_ptr<WavFile> wav = WavFile::Open(path, &info);
  if (!wav) return RenderResult::NothingAdded;
  SNDFILE* const file = wav->get();
  const int major = info.format & SF_FORMAT_TYPEMASK;
  if ((major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) || info.channels < 1 ||
      info.samplerate <= 0 || info.frames <= 0) {
    return RenderResult::NothingAdded;
  }
  const uint32_t channels = static_cast<uint32_t>(info.channels);
  const uint32_t keep = channels == 1 ? 1 : 2;
  const uint32_t rate = static_cast<uint32_t>(info.samplerate);

  PieceShape shape;
  shape.channels = keep;
  const uint64_t frameBytes = uint64_t{keep} * 2;
  const uint64_t maxFrames = kMaxPieceBytes / frameBytes;
  shape.totalBytes = std::min<uint64_t>(static_cast<uint64_t>(info.frames), maxFrames) * frameBytes;

  PieceOutput output(sink);
  if (auto failure = output.Open(rate)) return *failure;

  // Both layouts read C / 2 frames per chunk: C / 2 mono samples, which fill
  // the buffer once widened, or C stereo samples.
  const size_t chunkFrames = output.capacity() / 2;
  std::unique_ptr<float[]> scratch(new (std::nothrow) float[chunkFrames * channels]);
  if (!scratch) {
    output.Finish();
    return RenderResult::OutOfMemory;
  }
  WavReader reader(file, channels, keep, scratch.get());
  const uint64_t totalFrames = shape.totalBytes / frameBytes;

  if (FadeApplies(settings, kind)) {
    shape.fadeLength = ComputeFadeLength(keep, rate, settings.fadeSeconds, shape.totalBytes);
  }
  const PieceGain& group = PieceGainOf(settings, kind);
  int32_t peak = 0;
  if (group.automatic) {
    uint64_t measured = 0;
    while (measured < totalFrames) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(chunkFrames, totalFrames - measured));
      const size_t got = reader.Read(output.buffer(), want);
      if (got == 0) break;
      peak = UpdatePeak(peak, output.buffer(), got * keep);
      measured += got;
    }
    if (sf_seek(file, 0, SEEK_SET) != 0) return output.Finish();
  }
  shape.gainPercent = ChooseGainPercent(group, peak);

  uint64_t position = 0;
  while (position < shape.totalBytes) {
    const uint64_t framesLeft = (shape.totalBytes - position) / frameBytes;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(chunkFrames, framesLeft));
    const size_t got = reader.Read(output.buffer(), want);
    if (got == 0) break;
    if (!output.Emit(shape, got * keep, position)) break;
  }
  return output.Finish();
}

}  // namespace aurisona
