#include "core/audio/pcm.h"

#include <algorithm>
#include <cmath>

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
  if (group.automatic) return peak >= kSilentPeak ? 3276700 / peak : 100;
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

InfrasoundFilter::InfrasoundFilter(uint32_t sampleRate, uint32_t channels)
    : channels_(std::max<uint32_t>(channels, 1)), state_(channels_) {
  // Two sections of the quality factors of a fourth-order Butterworth filter.
  constexpr double kQ[2] = {0.54119610014619698, 1.3065629648763766};
  const double w0 = 2.0 * M_PI * kCutoffHz / std::max<double>(sampleRate, 4 * kCutoffHz);
  const double c = std::cos(w0);
  for (size_t k = 0; k < sections_.size(); ++k) {
    const double alpha = std::sin(w0) / (2.0 * kQ[k]);
    const double a0 = 1.0 + alpha;
    sections_[k] = Section{(1.0 + c) / 2.0 / a0, -(1.0 + c) / a0, (1.0 + c) / 2.0 / a0, -2.0 * c / a0,
                           (1.0 - alpha) / a0};
  }
}

double InfrasoundFilter::Step(uint32_t channel, double x) {
  auto& z = state_[channel];
  for (size_t k = 0; k < sections_.size(); ++k) {
    const Section& s = sections_[k];
    double& z1 = z[2 * k];
    double& z2 = z[2 * k + 1];
    const double y = s.b0 * x + z1;
    z1 = s.b1 * x - s.a1 * y + z2;
    z2 = s.b2 * x - s.a2 * y;
    x = y;
  }
  return x;
}

void InfrasoundFilter::Prime(const int16_t* head, size_t frames) {
  if (frames == 0) return;
  for (uint32_t ch = 0; ch < channels_; ++ch) {
    const double first = head[ch];
    auto mirrored = [&](size_t k) { return 2.0 * first - head[k * channels_ + ch]; };
    // A constant input passes the first section as nothing: its state for the
    // earliest mirrored value; the second then starts at rest.
    const double start = mirrored(frames - 1);
    const Section& s = sections_[0];
    state_[ch] = {-s.b0 * start, s.b2 * start, 0.0, 0.0};
    for (size_t k = frames - 1; k > 0; --k) Step(ch, mirrored(k));
  }
}

void InfrasoundFilter::Process(int16_t* samples, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const double y = Step(static_cast<uint32_t>(i % channels_), samples[i]);
    samples[i] = static_cast<int16_t>(std::clamp<double>(std::lround(y), kMinSampleValue, kMaxSampleValue));
  }
}

}  // namespace aurisona
