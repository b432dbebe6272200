#include "core/audio/render.h"

#include <algorithm>
#include <new>
#include <optional>

#include "core/audio/piece_output.h"
#include "core/util/text.h"

namespace aurisona {

namespace {

const PieceGain kUnityGain{};

RenderResult ResultOfFailure(SinkStatus status) {
  switch (status) {
    case SinkStatus::OutOfMemory: return RenderResult::OutOfMemory;
    case SinkStatus::WriteFailed: return RenderResult::WriteFailed;
    case SinkStatus::Unsupported: return RenderResult::Undecodable;
    default: return RenderResult::NothingAdded;
  }
}

}  // namespace

SourceType SourceTypeOf(const std::filesystem::path& path) {
  const std::u16string name = path.u16string();
  if (EndsWithIgnoreAsciiCase(name, u".mp3")) return SourceType::Mp3;
  if (EndsWithIgnoreAsciiCase(name, u".wav")) return SourceType::Wav;
  return SourceType::Unknown;
}

const PieceGain& PieceGainOf(const PieceSettings& settings, PieceKind kind) {
  switch (kind) {
    case PieceKind::Speech: return settings.text;
    case PieceKind::PromptTone:
    case PieceKind::Music: return settings.music;
    case PieceKind::Recording: return settings.recording;
  }
  return kUnityGain;
}

bool FadeApplies(const PieceSettings& settings, PieceKind kind) {
  return settings.musicFade && kind == PieceKind::Music;
}

bool RemovesInfrasound(const PieceSettings& settings, PieceKind kind) {
  return kind != PieceKind::Speech &&
         (settings.removeInfrasound || settings.loudness.on || PieceGainOf(settings, kind).automatic);
}

namespace {

RenderResult RenderSourceInto(const std::filesystem::path& path, PieceKind kind, int32_t playTimeSeconds,
                              const PieceSettings& settings, PcmSink& sink) {
  switch (SourceTypeOf(path)) {
    case SourceType::Mp3: return RenderMp3Source(path, kind, playTimeSeconds, settings, sink);
    case SourceType::Wav: return RenderWavSource(path, kind, settings, sink);
    case SourceType::Unknown: break;
  }
  return RenderResult::UnsupportedType;
}

// The settings a piece is rendered with when loudness normalisation is on (its
// gain group at unity: the LoudnessGain comes after), and that gain, from a
// measuring render with the fade, as the listener hears it.
std::optional<PieceSettings> LoudnessAdjusted(const std::filesystem::path& path, PieceKind kind,
                                              int32_t playTimeSeconds, const PieceSettings& settings,
                                              LoudnessGain* gain, RenderResult* failure) {
  PieceSettings adjusted = settings;
  adjusted.loudness.on = false;
  adjusted.removeInfrasound = true;
  PieceGain* group = kind == PieceKind::Speech      ? &adjusted.text
                     : kind == PieceKind::Recording ? &adjusted.recording
                                                    : &adjusted.music;
  *group = PieceGain{};
  LoudnessMeter meter;
  const RenderResult measured = RenderSourceInto(path, kind, playTimeSeconds, adjusted, meter);
  if (measured == RenderResult::OutOfMemory) {
    *failure = measured;
    return std::nullopt;
  }
  *gain = ChooseLoudnessGain(meter.Result(), settings.loudness);
  return adjusted;
}

}  // namespace

RenderResult RenderSoundFile(const std::filesystem::path& path, PieceKind kind,
                             int32_t playTimeSeconds, const PieceSettings& settings,
                             ByteSink& sink) {
  if (settings.loudness.on && SourceTypeOf(path) != SourceType::Unknown) {
    RenderResult failure = RenderResult::NothingAdded;
    LoudnessGain gain;
    const std::optional<PieceSettings> adjusted =
        LoudnessAdjusted(path, kind, playTimeSeconds, settings, &gain, &failure);
    if (!adjusted) return failure;
    PieceEncoder encoder(sink);
    LoudnessGainSink gained(encoder, gain);
    return RenderSourceInto(path, kind, playTimeSeconds, *adjusted, gained);
  }
  switch (SourceTypeOf(path)) {
    case SourceType::Mp3: return RenderMp3Source(path, kind, playTimeSeconds, settings, sink);
    case SourceType::Wav: return RenderWavSource(path, kind, settings, sink);
    case SourceType::Unknown: break;
  }
  return RenderResult::UnsupportedType;
}

RenderResult RenderWavSource(const std::filesystem::path& path, PieceKind kind,
                             const PieceSettings& settings, ByteSink& sink) {
  PieceEncoder encoder(sink);
  return RenderWavSource(path, kind, settings, static_cast<PcmSink&>(encoder));
}

RenderResult RenderMp3Source(const std::filesystem::path& path, PieceKind kind,
                             int32_t playTimeSeconds, const PieceSettings& settings,
                             ByteSink& sink) {
  PieceEncoder encoder(sink);
  return RenderMp3Source(path, kind, playTimeSeconds, settings, static_cast<PcmSink&>(encoder));
}

RenderResult RenderSilence(int32_t milliseconds, ByteSink& sink) {
  PieceEncoder encoder(sink);
  return RenderSilence(milliseconds, static_cast<PcmSink&>(encoder));
}

RenderResult RenderSilence(int32_t milliseconds, PcmSink& sink) {
  if (milliseconds <= 0) return RenderResult::NothingAdded;
  // 176.4 bytes per millisecond (44100 Hz, 2 channels, 2 bytes), whole frames.
  uint64_t remaining = uint64_t(milliseconds) * 17640 / 100;
  remaining = std::min(remaining, kMaxPieceBytes) & ~uint64_t{3};
  if (remaining == 0) return RenderResult::NothingAdded;
  PieceOutput output(sink);
  if (auto failure = output.Open(PieceEncoder::kOutputSampleRate)) return *failure;
  while (remaining > 0) {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(output.capacity(), remaining / 2));
    std::fill_n(output.buffer(), count, int16_t{0});
    if (!output.Write(count)) break;
    remaining -= count * 2;
  }
  return output.Finish();
}

// PieceOutput

std::optional<RenderResult> PieceOutput::Open(uint32_t sampleRate) {
  const SinkStatus status = sink_.Open(sampleRate);
  if (status != SinkStatus::Ok) return ResultOfFailure(status);
  opened_ = true;
  capacity_ = sink_.ChunkCapacity() & ~size_t{1};
  if (capacity_ < 2) {
    sink_.Close();
    opened_ = false;
    return RenderResult::NothingAdded;
  }
  buffer_.reset(new (std::nothrow) int16_t[capacity_]);
  if (!buffer_) {
    failure_ = RenderResult::OutOfMemory;
    return RenderResult::OutOfMemory;
  }
  return std::nullopt;
}

bool PieceOutput::Emit(const PieceShape& shape, size_t sourceSamples, uint64_t& position) {
  int16_t* samples = buffer_.get();
  if (shape.fadeLength > 0) {
    ApplyFade(shape.fadeLength, static_cast<uint32_t>(position / 2), samples, sourceSamples,
              static_cast<uint32_t>(shape.totalBytes / 2));
  }
  position += uint64_t{sourceSamples} * 2;
  size_t count = sourceSamples;
  if (shape.channels == 1) {
    WidenMonoToStereo(samples, sourceSamples);
    count *= 2;
  }
  ApplyGain(samples, count, shape.gainPercent);
  return Write(count);
}

bool PieceOutput::Write(size_t count) {
  if (count == 0) return true;
  const SinkStatus status = sink_.Write(buffer_.get(), count);
  if (status == SinkStatus::Ok) {
    wrote_ = true;
    return true;
  }
  if (status == SinkStatus::OutOfMemory || status == SinkStatus::WriteFailed) {
    failure_ = ResultOfFailure(status);
  }
  return false;
}

RenderResult PieceOutput::Finish() {
  if (failure_) return *failure_;
  if (!opened_) return RenderResult::NothingAdded;
  opened_ = false;
  const SinkStatus status = sink_.Close();
  if (status == SinkStatus::OutOfMemory || status == SinkStatus::WriteFailed) {
    return ResultOfFailure(status);
  }
  return wrote_ ? RenderResult::Rendered : RenderResult::NothingAdded;
}

}  // namespace aurisona
