// Loudness of a piece by EBU R128 (libebur128): integrated loudness in LUFS
// and true peak in dBTP, measured on the PCM a piece would hand the encoder,
// and the gain that brings the piece to a target loudness under a peak ceiling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio/piece_encoder.h"

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

// The gain in percent (as ApplyGain takes it) that brings `measured` to the
// target, lowered so the true peak stays at or under the ceiling. 100 for a
// piece that was not measured (silence).
int32_t LoudnessGainPercent(const Loudness& measured, const LoudnessSettings& settings);

// Integrated loudness and true peak of interleaved stereo 16-bit PCM at `rate`.
Loudness MeasureLoudness(const int16_t* samples, size_t count, uint32_t rate);

}  // namespace aurisona
