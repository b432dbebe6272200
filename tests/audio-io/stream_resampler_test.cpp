#include "audio-io/stream_resampler.h"
#include "support/wav.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace aurisona {
namespace {

// Runs `source` (interleaved, `channels` per frame) through a resampler into
// `frames` stereo frames; `taken` counts the source frames it asked for.
std::vector<int16_t> Convert(const std::vector<int16_t>& source, int channels, uint32_t from, uint32_t to,
                             size_t frames, size_t* taken = nullptr) {
  StreamResampler resampler;
  resampler.Prepare(channels, from, to);
  std::vector<int16_t> out(frames * 2);
  size_t next = 0;
  // Asked for in pieces of uneven length, as device callbacks ask.
  for (size_t done = 0, piece = 1; done < frames; done += piece, piece = piece * 3 % 997 + 1) {
    piece = std::min(piece, frames - done);
    resampler.Produce(out.data() + 2 * done, piece, [&](int16_t* frame) {
      if (next + size_t(channels) > source.size()) return false;
      for (int c = 0; c < channels; ++c) frame[c] = source[next + size_t(c)];
      next += size_t(channels);
      return true;
    });
  }
  if (taken != nullptr) *taken = next / size_t(channels);
  return out;
}

// Amplitude of `hz` in the left channel of `stereo` from frame `from` on (Goertzel).
double Level(const std::vector<int16_t>& stereo, double hz, uint32_t rate, size_t from) {
  const double w = 2 * M_PI * hz / rate;
  double s1 = 0, s2 = 0;
  const size_t n = stereo.size() / 2 - from;
  for (size_t i = from; i < stereo.size() / 2; ++i) {
    const double s = stereo[2 * i] + 2 * std::cos(w) * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  return 2 * std::sqrt(s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2) / double(n);
}

TEST(StreamResamplerTest, EqualRatesPassThroughAndMonoGoesToBothChannels) {
  const std::vector<int16_t> stereo = {1, -1, 32767, -32768, 5, 6};
  EXPECT_EQ(Convert(stereo, 2, 44100, 44100, 4), (std::vector<int16_t>{1, -1, 32767, -32768, 5, 6, 0, 0}));
  const std::vector<int16_t> mono = {7, -8, 9};
  size_t taken = 0;
  EXPECT_EQ(Convert(mono, 1, 48000, 48000, 3, &taken), (std::vector<int16_t>{7, 7, -8, -8, 9, 9}));
  EXPECT_EQ(taken, 3u);
}

TEST(StreamResamplerTest, RaisingTheRateKeepsPitchLevelAndLengthWithoutImages) {
  // Speech at 16 kHz out at 44.1 kHz: a 1 kHz tone stays a 1 kHz tone of the
  // same level, its image at 15 kHz stays far below it, and the source is
  // read at its own pace.
  const size_t out = 44100;
  size_t taken = 0;
  const auto heard = Convert(testing::Sine(20000, 1, 1000, 16000, 10000), 1, 16000, 44100, out, &taken);
  EXPECT_NEAR(double(taken), 16000.0, 2.0 + StreamResampler::kHalfTaps);
  const double level = Level(heard, 1000, 44100, 1000);
  EXPECT_NEAR(20 * std::log10(level / 10000), 0.0, 0.1);
  EXPECT_LT(Level(heard, 15000, 44100, 1000) / level, std::pow(10, -60 / 20.0));
  for (size_t i = 0; i < out; ++i) EXPECT_EQ(heard[2 * i], heard[2 * i + 1]) << i;
}

TEST(StreamResamplerTest, LoweringTheRateFiltersWhatWouldFoldBack) {
  // A 23 kHz tone at 48 kHz has no place at 44.1 kHz: it would fold back to
  // 21.1 kHz. (What passes keeps its level: RaisingTheRate...)
  const auto high = Convert(testing::Sine(48000, 1, 23000, 48000, 10000), 1, 48000, 44100, 40000);
  EXPECT_LT(Level(high, 21100, 44100, 1000), 10000 * std::pow(10, -40 / 20.0));
}

TEST(StreamResamplerTest, AClickComesOutWhereItWentInLateByTheFilter) {
  // Stereo at 22050 Hz to 44100 Hz: a click on the right channel at source
  // frame 1000 peaks at output frame 2 * (1000 + delay), on the right only.
  std::vector<int16_t> source(2 * 3000, 0);
  source[2 * 1000 + 1] = 20000;
  StreamResampler probe;
  probe.Prepare(2, 22050, 44100);
  const auto heard = Convert(source, 2, 22050, 44100, 6000);
  size_t peak = 0;
  int left = 0;
  for (size_t i = 0; i < 6000; ++i) {
    if (std::abs(heard[2 * i + 1]) > std::abs(heard[2 * peak + 1])) peak = i;
    left = std::max(left, std::abs(int(heard[2 * i])));
  }
  EXPECT_NEAR(double(peak), 2.0 * (1000 + probe.delayFrames()), 1.0);
  EXPECT_EQ(left, 0);
  // Full scale does not wrap around.
  const auto loud = Convert(std::vector<int16_t>(4000, 32767), 1, 16000, 44100, 8000);
  for (size_t i = 200; i < 8000; ++i) ASSERT_GT(loud[2 * i], 30000) << i;
}

}  // namespace
}  // namespace aurisona
