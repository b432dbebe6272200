#include "core/audio/loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "core/audio/pcm.h"

namespace aurisona {

namespace {

// The margin kept under the ceiling for what MP3 encoding adds to the peaks
// (quantisation noise and the encoder's own filters), and for the rounding
// of the gain to whole percent.
constexpr double kEncodingHeadroomDb = 0.4;
// The soft limiter: how far under the ceiling it starts to bend, and the most
// it may take off a peak.
constexpr double kLimiterKneeDb = 3.0;
constexpr double kMaxLimitingDb = 6.0;
// Loudness is measured over at most this window for pieces shorter than one
// gating block (libebur128 needs the window's length up front).
constexpr unsigned long kShortWindowMs = 400;
// Quieter than this is silence (the absolute gate of EBU R128).
constexpr double kSilenceLufs = -70.0;

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

LoudnessGain ChooseLoudnessGain(const Loudness& measured, const LoudnessSettings& settings) {
  LoudnessGain g;
  // Under the absolute gate of EBU R128 nothing is heard: what is left of
  // inaudible sound is not raised to the target.
  if (!measured.measured || !(measured.lufs >= kSilenceLufs)) return g;
  double gainDb = settings.targetLufs - measured.lufs;
  // The largest sample allowed, under the ceiling by what inter-sample peaks
  // and the encoder may add.
  const double ceilingDb = settings.ceilingDbtp - kEncodingHeadroomDb;
  const double overDb = measured.peakDbtp + gainDb - ceilingDb;
  if (overDb > 0) {
    if (overDb > kMaxLimitingDb) gainDb -= overDb - kMaxLimitingDb;
    g.limit = true;
    g.ceiling = 32768.0 * std::pow(10.0, ceilingDb / 20.0);
    g.knee = g.ceiling * std::pow(10.0, -kLimiterKneeDb / 20.0);
  }
  g.gain = std::pow(10.0, gainDb / 20.0);
  return g;
}

void ApplyLoudnessGain(int16_t* samples, size_t count, const LoudnessGain& g) {
  const double range = g.ceiling - g.knee;
  for (size_t i = 0; i < count; ++i) {
    double v = samples[i] * g.gain;
    if (g.limit && range > 0) {
      const double a = std::abs(v);
      // Above the knee the curve bends smoothly toward the ceiling (slope 1 at the knee).
      if (a > g.knee) v = std::copysign(g.knee + range * std::tanh((a - g.knee) / range), v);
    }
    samples[i] = static_cast<int16_t>(std::clamp(std::lrint(v), long{kMinSampleValue}, long{kMaxSampleValue}));
  }
}

SinkStatus LoudnessGainSink::Write(const int16_t* samples, size_t count) {
  count = std::min(count, inner_.ChunkCapacity());
  if (count > capacity_) {
    buffer_.reset(new (std::nothrow) int16_t[count]);
    if (!buffer_) {
      capacity_ = 0;
      return SinkStatus::OutOfMemory;
    }
    capacity_ = count;
  }
  std::copy_n(samples, count, buffer_.get());
  ApplyLoudnessGain(buffer_.get(), count, gain_);
  return inner_.Write(buffer_.get(), count);
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
