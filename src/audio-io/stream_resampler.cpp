#include "audio-io/stream_resampler.h"

#include <cmath>

namespace aurisona {

void StreamResampler::Prepare(int channels, uint32_t from, uint32_t to) {
  channels_ = channels == 1 ? 1 : 2;
  direct_ = from == to || from == 0 || to == 0;
  frac_ = 0;
  pos_ = 0;
  if (direct_) {
    step_ = 1;
    half_ = taps_ = 0;
    table_.clear();
    history_.clear();
    return;
  }
  step_ = double(from) / double(to);
  // Lowering the rate narrows the pass band and widens the filter with it.
  const double scale = std::min(1.0, double(to) / double(from));
  const double cutoff = 0.9 * scale;
  half_ = static_cast<int>(std::ceil(kHalfTaps / scale));
  taps_ = 2 * half_;
  table_.assign(size_t(taps_) * kPhases + 2, 0.0f);
  for (size_t i = 0; i <= size_t(taps_) * kPhases; ++i) {
    const double t = double(i) / kPhases - half_;
    const double x = M_PI * cutoff * t;
    const double sinc = std::abs(x) < 1e-9 ? 1.0 : std::sin(x) / x;
    const double w = (t + half_) / double(taps_);
    const double blackman = 0.42 - 0.5 * std::cos(2 * M_PI * w) + 0.08 * std::cos(4 * M_PI * w);
    table_[i] = static_cast<float>(cutoff * sinc * blackman);
  }
  history_.assign(size_t(taps_) * 4, 0.0f);
}

}  // namespace aurisona
