#include "audio/pcm.h"

#include <algorithm>

namespace aurisona {

void ApplyGain(int16_t* samples, size_t count, int32_t percent) {
  if (percent == 100 || count == 0) return;
  for (size_t i = 0; i < count; ++i) {
    const int64_t scaled = int64_t{samples[i]} * percent / 100;
    samples[i] = static_cast<int16_t>(std::clamp<int64_t>(scaled, kMinSampleValue, kMaxSampleValue));
  }
}

void ApplyFade(uint32_t fadeLength, uint32_t firstIndex, int16_t* samples, size_t count,
               uint32_t clipLength) {
  if (fadeLength == 0) return;
  const uint64_t f = fadeLength;
  const uint64_t n = clipLength;
  for (size_t i = 0; i < count; ++i) {
    const uint64_t p = uint64_t{firstIndex} + i;
    uint64_t factor;
    if (p < f) {
      factor = p * 100 / f;
    } else if (p > n || n - p >= f) {
      continue;
    } else {
      factor = (n - p) * 100 / f;
    }
    samples[i] = static_cast<int16_t>(static_cast<int32_t>(factor) * samples[i] / 100);
  }
}

void WidenMonoToStereo(int16_t* buffer, size_t monoCount) {
  for (size_t i = monoCount; i-- > 0;) {
    const int16_t s = buffer[i];
    buffer[2 * i] = s;
    buffer[2 * i + 1] = s;
  }
}

int32_t UpdatePeak(int32_t peak, const int16_t* samples, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const int32_t magnitude = samples[i] < 0 ? -int32_t{samples[i]} : int32_t{samples[i]};
    peak = std::max(peak, magnitude);
  }
  return peak;
}

int32_t ChooseGainPercent(const PieceGain& group, int32_t peak) {
  if (group.automatic) return peak > 0 ? 3276700 / peak : 100;
  if (group.fixed) return group.percent;
  return 100;
}

uint32_t ComputeFadeLength(uint32_t channels, uint32_t sampleRate, int32_t fadeSeconds,
                           uint64_t totalBytes) {
  if (fadeSeconds <= 0) return 0;
  uint64_t f = uint64_t{channels} * sampleRate * static_cast<uint64_t>(fadeSeconds);
  if (2 * f > totalBytes / 2) f = totalBytes / 4;
  return static_cast<uint32_t>(std::min<uint64_t>(f, UINT32_MAX));
}

}  // namespace aurisona
