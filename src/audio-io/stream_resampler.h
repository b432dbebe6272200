// Converts 16-bit PCM of one or two channels at one rate into stereo at another,
// frame by frame as a device callback asks for it, so that every sound goes out
// through a stream of one format whatever its own.
//
// Rates are converted with a windowed-sinc filter (Blackman window, 24 source
// samples each side when raising the rate, more when lowering it; pass band to
// 0.9 of the lower Nyquist frequency). Equal rates pass through unfiltered.
// Prepare allocates; Produce does not and may run on a device callback.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace aurisona {

class StreamResampler {
 public:
  static constexpr int kHalfTaps = 24;
  static constexpr int kPhases = 256;

  // For `channels` (1 or 2) at `from` Hz in, stereo at `to` Hz out; forgets
  // what earlier frames left in the filter.
  void Prepare(int channels, uint32_t from, uint32_t to);

  int channels() const { return channels_; }
  // Source frames the filter holds back: how far the output lags the input.
  int delayFrames() const { return direct_ ? 0 : half_ + 1; }

  // Writes `frames` stereo frames to `out`. `next(int16_t* frame)` gives the
  // next source frame (channels() samples) and returns false when there is
  // none; silence is taken then.
  template <typename Next>
  void Produce(int16_t* out, size_t frames, Next&& next) {
    int16_t in[2] = {0, 0};
    if (direct_) {
      for (size_t i = 0; i < frames; ++i) {
        if (!next(in)) in[0] = in[1] = 0;
        out[2 * i] = in[0];
        out[2 * i + 1] = channels_ == 1 ? in[0] : in[1];
      }
      return;
    }
    for (size_t i = 0; i < frames; ++i) {
      float left = 0, right = 0;
      const float* window = history_.data() + 2 * size_t(pos_);
      // Frame j of the window lies (half_ - 1 + frac_ - j) source frames
      // before the output instant; the table starts at -half_.
      const double start = (double(half_ - 1) + frac_ + double(half_)) * kPhases;
      for (int j = 0; j < taps_; ++j) {
        const double at = start - double(j) * kPhases;
        const auto index = static_cast<size_t>(at);
        const float part = float(at - double(index));
        const float weight = table_[index] + (table_[index + 1] - table_[index]) * part;
        left += weight * window[2 * j];
        right += weight * window[2 * j + 1];
      }
      out[2 * i] = Clip(left);
      out[2 * i + 1] = Clip(right);
      frac_ += step_;
      while (frac_ >= 1.0) {
        frac_ -= 1.0;
        if (!next(in)) in[0] = in[1] = 0;
        Push(float(in[0]), float(channels_ == 1 ? in[0] : in[1]));
      }
    }
  }

 private:
  static int16_t Clip(float value) {
    return static_cast<int16_t>(std::clamp(value < 0 ? value - 0.5f : value + 0.5f, -32768.0f, 32767.0f));
  }
  void Push(float left, float right) {
    // Each frame is kept twice, taps_ apart, so that the window is always
    // contiguous: history_[pos_ .. pos_ + taps_) from the oldest frame.
    const size_t a = 2 * size_t(pos_), b = 2 * size_t(pos_ + taps_);
    history_[a] = history_[b] = left;
    history_[a + 1] = history_[b + 1] = right;
    pos_ = (pos_ + 1) % taps_;
  }

  int channels_ = 2;
  bool direct_ = true;
  double step_ = 1;   // source frames per output frame
  double frac_ = 0;   // output instant past frame half_ - 1 of the window
  int half_ = 0;
  int taps_ = 0;
  int pos_ = 0;
  std::vector<float> table_;    // the filter from -half_ to half_, kPhases per frame
  std::vector<float> history_;  // stereo frames, twice over
};

}  // namespace aurisona
