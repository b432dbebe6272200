#include <gtest/gtest.h>

#include "core/test_util.h"
#include "speech/speech_engine.h"

namespace aurisona {
namespace {

// A backend with one voice that speaks one second of a 22050 Hz square wave.
class ToneEngine final : public SpeechEngine {
 public:
  explicit ToneEngine(std::u16string display) { voice_.display_name = std::move(display); }
  std::vector<Voice> ListVoices() override { return {voice_}; }
  SynthesisStatus Synthesize(std::u16string_view text, std::u16string_view, int, int,
                             const SpeechSink& sink, Voice* used) override {
    if (text.empty()) return SynthesisStatus::kEmptyText;
    ready_ = true;
    if (used) *used = voice_;
    std::vector<int16_t> pcm(22050);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = (i / 50) % 2 ? 1000 : -1000;
    sink({22050, pcm, {}});
    return SynthesisStatus::kOk;
  }
  bool IsReady() const override { return ready_; }

 private:
  Voice voice_;
  bool ready_ = false;
};

uint32_t RateOf(const std::string& wav) {
  uint32_t rate = 0;
  for (int i = 0; i < 4; ++i) rate |= static_cast<uint32_t>(static_cast<unsigned char>(wav[24 + i])) << (8 * i);
  return rate;
}

TEST(SpeechFileTest, VoicesWithout22InTheirNameAreWrittenAt16kHz) {
  testing::TempDir dir;
  SpeakOutcome outcome = SpeakOutcome::kNoEngine;
  ToneEngine narrow(u"Some Voice");
  ASSERT_TRUE(narrow.Speak(u"x", dir / "a.wav", u"", 0, 100, &outcome));
  EXPECT_EQ(outcome, SpeakOutcome::kWritten);
  const std::string a = testing::ReadBytes(dir / "a.wav");
  EXPECT_EQ(RateOf(a), 16000u);
  EXPECT_EQ(a.size(), 44u + 16000u * 2);  // one second, resampled

  ToneEngine wide(u"Some Voice 22kHz");
  ASSERT_TRUE(wide.Speak(u"x", dir / "b.wav", u"", 0, 100, &outcome));
  const std::string b = testing::ReadBytes(dir / "b.wav");
  EXPECT_EQ(RateOf(b), 22050u);
  EXPECT_EQ(b.size(), 44u + 22050u * 2);
}

TEST(SpeechFileTest, ResamplingKeepsTheSignalShape) {
  const std::vector<int16_t> ramp = {0, 100, 200, 300, 400, 500, 600, 700};
  EXPECT_EQ(ResampleMono16(ramp, 8, 4), (std::vector<int16_t>{0, 200, 400, 600}));
  EXPECT_EQ(ResampleMono16(ramp, 8, 16).size(), 16u);
  EXPECT_EQ(ResampleMono16(ramp, 8, 16)[1], 50);
  EXPECT_EQ(ResampleMono16(ramp, 8, 16).back(), 700);
  EXPECT_TRUE(ResampleMono16({}, 22050, 16000).empty());
}

}  // namespace
}  // namespace aurisona
