// Loudness of a piece by EBU R128 (libebur128): integrated loudness in LUFS
// and true peak in dBTP, measured on the PCM a piece would hand the encoder,
// and the gain that brings the piece to a target loudness under a peak ceiling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/audio/piece_encoder.h"

namespace aurisona {

struct LoudnessSettings {
  bool on = false;
  double targetLufs = -16.0;
  double ceilingDbtp = -1.0;
};

struct Loudness {
  double lufs = 0;    // integrated loudness; -inf for silence
  double peakDbtp = 0;  // true peak; -inf for silence
  bool measured = false;  // false when nothing was heard
};

// A PcmSink that measures instead of encoding. Pieces shorter than the
// 400 ms gating block are measured over their whole length.
class LoudnessMeter final : public PcmSink {
 public:
  LoudnessMeter();
  ~LoudnessMeter() override;
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;

  SinkStatus Open(uint32_t sampleRate) override;
  size_t ChunkCapacity() const override { return PieceEncoder::kChunkSamples; }
  SinkStatus Write(const int16_t* samples, size_t count) override;
  SinkStatus Close() override;

  // The result once closed (also usable without Close after the last Write).
  Loudness Result() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// How a piece is brought to the target loudness: a gain, and where the gain
// would lift the true peak over the ceiling, a soft limiter on the peaks
// (samples under its knee pass unchanged). The limiter takes at most 6 dB off
// a peak; a piece that would need more gets less gain instead.
struct LoudnessGain {
  double gain = 1.0;    // linear
  bool limit = false;   // soften the peaks above the knee
  double ceiling = 32767;  // the limiter's largest output sample
  double knee = 32767;     // samples up to this pass the limiter unchanged
};

// The gain for a measured piece; unity for one that was not measured (silence).
LoudnessGain ChooseLoudnessGain(const Loudness& measured, const LoudnessSettings& settings);

// Applies the gain (and the limiter) to 16-bit samples in place.
void ApplyLoudnessGain(int16_t* samples, size_t count, const LoudnessGain& gain);

// A PcmSink that applies a LoudnessGain to the PCM before passing it on.
class LoudnessGainSink final : public PcmSink {
 public:
  LoudnessGainSink(PcmSink& inner, const LoudnessGain& gain) : inner_(inner), gain_(gain) {}
  SinkStatus Open(uint32_t sampleRate) override { return inner_.Open(sampleRate); }
  size_t ChunkCapacity() const override { return inner_.ChunkCapacity(); }
  SinkStatus Write(const int16_t* samples, size_t count) override;
  SinkStatus Close() override { return inner_.Close(); }

 private:
  PcmSink& inner_;
  LoudnessGain gain_;
  std::unique_ptr<int16_t[]> buffer_;
  size_t capacity_ = 0;
};

// Integrated loudness and true peak of interleaved stereo 16-bit PCM at `rate`.
Loudness MeasureLoudness(const int16_t* samples, size_t count, uint32_t rate);

}  // namespace aurisona
