// PCM operations on signed 16-bit samples: gain, fade, mono widening and the
// choice of a piece's gain. "Samples" count 16-bit values of all channels
// together; stereo data is interleaved left, right.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace aurisona {

// Scaled samples are clipped to this range (symmetric: -32768 never results).
inline constexpr int32_t kMaxSampleValue = 32767;
inline constexpr int32_t kMinSampleValue = -32767;

// One gain group of the settings (text, music or recording).
struct PieceGain {
  bool automatic = false;  // scale the loudest sample to full scale
  bool fixed = false;      // use `percent`
  int32_t percent = 100;   // 1..999 in the settings
};

// Scales `count` samples in place by percent / 100: s * percent / 100 with
// truncation toward zero, clipped to -32767..32767. With percent 100 (or no
// samples) nothing changes, so the samples stay bit-exact. The product is
// formed in 64 bits, so even an automatic gain far above 999 cannot wrap.
void ApplyGain(int16_t* samples, size_t count, int32_t percent);

// Fades `count` samples in place. `firstIndex` is the clip index of
// samples[0], `clipLength` the clip's length N in samples and `fadeLength` F
// the length of each fade in samples. A sample at clip index p:
//   p < F               factor = 100 * p / F          (fade in)
//   N - p >= F or p > N  unchanged
//   otherwise           factor = 100 * (N - p) / F    (fade out)
// and becomes factor * s / 100 (truncated toward zero). F = 0 changes nothing.
void ApplyFade(uint32_t fadeLength, uint32_t firstIndex, int16_t* samples, size_t count,
               uint32_t clipLength);

// Widens `monoCount` mono samples at the start of `buffer` in place into as
// many stereo frames (left = right). The buffer must hold 2 * monoCount samples.
void WidenMonoToStereo(int16_t* buffer, size_t monoCount);

// Largest absolute sample value of `samples` and `peak` (|-32768| = 32768).
int32_t UpdatePeak(int32_t peak, const int16_t* samples, size_t count);

// The gain percent of a piece: automatic gain first (3276700 / peak, or 100
// for a source that is silent: a peak below kSilentPeak), then the fixed
// percent, else 100.
int32_t ChooseGainPercent(const PieceGain& group, int32_t peak);

// The loudest a source may be and still count as silent for the automatic
// gain (-60 dBFS): what is left of inaudible sound is not raised to full scale.
inline constexpr int32_t kSilentPeak = 33;

// Removes DC and infrasound: a fourth-order Butterworth high-pass at 20 Hz on
// every channel of interleaved 16-bit PCM.
class InfrasoundFilter {
 public:
  static constexpr double kCutoffHz = 20.0;
  // Frames of the start of a piece Prime() wants: a quarter of a second.
  static size_t HeadFrames(uint32_t sampleRate) { return sampleRate / 4 + 1; }

  InfrasoundFilter(uint32_t sampleRate, uint32_t channels);
  // Sets the state as if the sound had been going on before its start (the
  // first `frames` frames mirrored about the first one), so that neither an
  // offset nor the onset of a slow wave leaves a step to filter.
  void Prime(const int16_t* head, size_t frames);
  // Filters `count` interleaved samples in place.
  void Process(int16_t* samples, size_t count);

 private:
  struct Section {
    double b0, b1, b2, a1, a2;
  };
  double Step(uint32_t channel, double x);

  uint32_t channels_;
  std::array<Section, 2> sections_{};
  std::vector<std::array<double, 4>> state_;  // per channel: z1, z2 of each section
};

// The fade length F in samples of the source's own layout:
// channels * rate * seconds, but at most a quarter of `totalBytes` (so that
// each fade covers at most half the clip) when 2 * F exceeds totalBytes / 2.
// Seconds of 0 or less give 0.
uint32_t ComputeFadeLength(uint32_t channels, uint32_t sampleRate, int32_t fadeSeconds,
                           uint64_t totalBytes);

}  // namespace aurisona
