#include <gtest/gtest.h>

#include <vector>

#include "core/audio/pcm.h"

namespace aurisona {
namespace {

std::vector<int16_t> Gained(std::vector<int16_t> samples, int32_t percent) {
  ApplyGain(samples.data(), samples.size(), percent);
  return samples;
}

TEST(AudioPcmGain, ScalesTruncatesTowardZeroAndClipsSymmetrically) {
  EXPECT_EQ(Gained({-32768, -1, 0, 32767}, 100), (std::vector<int16_t>{-32768, -1, 0, 32767}));  // bit-exact
  EXPECT_EQ(Gained({20000, -20000, 100, -100}, 200),
            (std::vector<int16_t>{32767, -32767, 200, -200}));
  EXPECT_EQ(Gained({-3, 3, -1, 1}, 50), (std::vector<int16_t>{-1, 1, 0, 0}));
  // -32768 never results, even unscaled-looking input at 101 percent.
  EXPECT_EQ(Gained({-32768}, 101), (std::vector<int16_t>{-32767}));
  // 999 percent and an automatic gain far above it cannot wrap around.
  EXPECT_EQ(Gained({-32768, 32767, 33}, 999), (std::vector<int16_t>{-32767, 32767, 329}));
  EXPECT_EQ(Gained({1, -1, 2}, 3276700), (std::vector<int16_t>{32767, -32767, 32767}));
  EXPECT_EQ(Gained({5, -5}, 1), (std::vector<int16_t>{0, 0}));
}

TEST(AudioPcmGain, ChoiceOrderAndAutomaticValue) {
  const std::vector<int16_t> loudest = {3, -32768, 32767};
  EXPECT_EQ(ChooseGainPercent({true, false, 300}, UpdatePeak(0, loudest.data(), 3)), 99);  // -32768 counts as 32768
  EXPECT_EQ(ChooseGainPercent({true, false, 300}, UpdatePeak(0, loudest.data(), 0)), 100);  // silent source
  EXPECT_EQ(ChooseGainPercent({true, false, 300}, 100), 32767);   // not limited to 999
  EXPECT_EQ(ChooseGainPercent({false, true, 300}, 16383), 300);
}

// Fades one sample of value `s` at clip index p.
int16_t FadedAt(uint32_t f, uint32_t p, uint32_t n, int16_t s) {
  ApplyFade(f, p, &s, 1, n);
  return s;
}

TEST(AudioPcmFade, FactorsAtTheFadeBoundaries) {
  const uint32_t f = 1000, n = 10000;
  EXPECT_EQ(FadedAt(f, 0, n, 30000), 0);
  EXPECT_EQ(FadedAt(f, f - 1, n, 30000), 29700);           // 99 %
  EXPECT_EQ(FadedAt(f, f, n, 30000), 30000);               // fade-in done
  EXPECT_EQ(FadedAt(f, n - f, n, 30000), 30000);           // N - p = F: unchanged
  EXPECT_EQ(FadedAt(f, n - 1, n, -30000), 0);              // 100/F = 0 %
  EXPECT_EQ(FadedAt(f, n + 5, n, 123), 123);               // past the clip
  EXPECT_EQ(FadedAt(0, 0, n, 123), 123);                   // no fade
  EXPECT_EQ(FadedAt(f, 15, n, -7), -0);                    // -7 * 1 / 100 truncates to 0
  EXPECT_EQ(FadedAt(50, 49, 100, -32768), -32112);         // 98 %, negative side
}

TEST(AudioPcmFade, LengthIsCappedAtAQuarterOfTheBytes) {
  // (A cap of half the clip each way on a real clip: AudioRenderWav.GainGroupAndFadeFollowThePieceKind.)
  // 2F = T/2 exactly is not capped.
  EXPECT_EQ(ComputeFadeLength(1, 1000, 1, 4000), 1000u);
  EXPECT_EQ(ComputeFadeLength(1, 1000, 1, 3996), 999u);
  EXPECT_EQ(ComputeFadeLength(1, 1000, 0, 4000), 0u);
  EXPECT_EQ(ComputeFadeLength(1, 1000, -2, 4000), 0u);
}

}  // namespace
}  // namespace aurisona
