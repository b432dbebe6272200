#include "audio/loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace aurisona {

namespace {

// The margin kept under the ceiling for what MP3 encoding adds to the peaks
// (quantisation noise and the encoder's own filters), and for the rounding
// of the gain to whole percent.
constexpr double kEncodingHeadroomDb = 0.3;
// Loudness is measured over at most this window for pieces shorter than one
// gating block (libebur128 needs the window's length up front).
constexpr unsigned long kShortWindowMs = 400;

}  // namespace

struct LoudnessMeter::State {
  ebur128_state* meter = nullptr;
  uint64_t frames = 0;
  uint32_t rate = 0;
  bool heard = false;
  ~State() {
    if (meter != nullptr) ebur128_destroy(&meter);
  }
};

LoudnessMeter::LoudnessMeter() : state_(std::make_unique<State>()) {}
LoudnessMeter::~LoudnessMeter() = default;

SinkStatus LoudnessMeter::Open(uint32_t sampleRate) {
  state_ = std::make_unique<State>();
  if (sampleRate < kMinPieceSampleRate || sampleRate > kMaxPieceSampleRate) return SinkStatus::Unsupported;
  state_->meter = ebur128_init(2, sampleRate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
  if (state_->meter == nullptr) return SinkStatus::OutOfMemory;
  // The window the integrated mode keeps already; anything else is a failure.
  const int window = ebur128_set_max_window(state_->meter, kShortWindowMs);
  if (window != EBUR128_SUCCESS && window != EBUR128_ERROR_NO_CHANGE) return SinkStatus::EncoderFailed;
  state_->rate = sampleRate;
  return SinkStatus::Ok;
}

SinkStatus LoudnessMeter::Write(const int16_t* samples, size_t count) {
  if (state_->meter == nullptr) return SinkStatus::EncoderFailed;
  const size_t frames = std::min(count, ChunkCapacity()) / 2;
  if (frames == 0) return SinkStatus::Ok;
  if (ebur128_add_frames_short(state_->meter, samples, frames) != EBUR128_SUCCESS) return SinkStatus::OutOfMemory;
  state_->frames += frames;
  for (size_t i = 0; i < frames * 2 && !state_->heard; ++i) state_->heard = samples[i] != 0;
  return SinkStatus::Ok;
}

SinkStatus LoudnessMeter::Close() { return state_->meter ? SinkStatus::Ok : SinkStatus::EncoderFailed; }

Loudness LoudnessMeter::Result() const {
  Loudness r;
  r.lufs = -std::numeric_limits<double>::infinity();
  r.peakDbtp = -std::numeric_limits<double>::infinity();
  ebur128_state* m = state_->meter;
  if (m == nullptr || !state_->heard) return r;
  double lufs = -HUGE_VAL;
  const uint64_t blockFrames = uint64_t{state_->rate} * 400 / 1000;
  if (state_->frames >= blockFrames) {
    if (ebur128_loudness_global(m, &lufs) != EBUR128_SUCCESS) lufs = -HUGE_VAL;
  }
  if (!std::isfinite(lufs)) {
    // Too short for a gating block, or gated away entirely: the loudness of
    // the whole piece (what the meter holds of its last 400 ms).
    const unsigned long ms =
        static_cast<unsigned long>(std::max<uint64_t>(1, state_->frames * 1000 / state_->rate));
    if (ebur128_loudness_window(m, std::min(ms, kShortWindowMs), &lufs) != EBUR128_SUCCESS) lufs = -HUGE_VAL;
  }
  double peak = 0;
  for (unsigned int c = 0; c < 2; ++c) {
    double p = 0;
    if (ebur128_true_peak(m, c, &p) == EBUR128_SUCCESS) peak = std::max(peak, p);
  }
  if (!std::isfinite(lufs) || peak <= 0) return r;
  r.lufs = lufs;
  r.peakDbtp = 20.0 * std::log10(peak);
  r.measured = true;
  return r;
}

int32_t LoudnessGainPercent(const Loudness& measured, const LoudnessSettings& settings) {
  if (!measured.measured) return 100;
  double gainDb = settings.targetLufs - measured.lufs;
  const double roomDb = settings.ceilingDbtp - kEncodingHeadroomDb - measured.peakDbtp;
  gainDb = std::min(gainDb, roomDb);
  const double percent = 100.0 * std::pow(10.0, gainDb / 20.0);
  // Round down so the ceiling holds; at least 1 % so a piece is never muted.
  return static_cast<int32_t>(std::clamp(std::floor(percent), 1.0, 1.0e6));
}

Loudness MeasureLoudness(const int16_t* samples, size_t count, uint32_t rate) {
  LoudnessMeter meter;
  if (meter.Open(rate) != SinkStatus::Ok) return {};
  for (size_t at = 0; at < count; at += meter.ChunkCapacity()) {
    meter.Write(samples + at, std::min(meter.ChunkCapacity(), count - at));
  }
  meter.Close();
  return meter.Result();
}

}  // namespace aurisona
