#include <gtest/gtest.h>

#include <cmath>

#include "core/test_util.h"
#include "core/speech/speech_engine.h"
#include "support/wav.h"

namespace aurisona {
namespace {

// A backend with one voice that speaks one second of a 22050 Hz square wave.
class ToneEngine final : public SpeechEngine {
 public:
  explicit ToneEngine(int voice_rate) { voice_.sample_rate = voice_rate; }
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

uint32_t RateOf(const std::string& wav) { return testing::LittleEndian(wav, 24); }

// Files are written whole at the voice's own rate (audio at another rate is
// resampled to it), and Speak says what became of the file.
TEST(SpeechFileTest, SpeakWritesAtTheVoicesRateAndReportsWhatBecameOfTheFile) {
  testing::TempDir dir;
  testing::WriteBytes(dir / "a.wav", std::string(100000, 'x'));  // longer than the speech: must not survive
  SpeakOutcome outcome = SpeakOutcome::kWritten;
  ToneEngine narrow(16000);
  EXPECT_FALSE(narrow.Speak(u"", dir / "a.wav", u"", 0, 100, &outcome));  // nothing spoken yet
  EXPECT_EQ(outcome, SpeakOutcome::kNothingToSpeak);
  ASSERT_TRUE(narrow.Speak(u"x", dir / "no" / "a.wav", u"", 0, 100, &outcome));
  EXPECT_EQ(outcome, SpeakOutcome::kWriteFailed);
  ASSERT_TRUE(narrow.Speak(u"", dir / "a.wav", u"", 0, 100, &outcome));
  EXPECT_EQ(outcome, SpeakOutcome::kNothingToSpeak);
  EXPECT_EQ(testing::ReadBytes(dir / "a.wav").size(), 100000u);
  ASSERT_TRUE(narrow.Speak(u"x", dir / "a.wav", u"", 0, 100, &outcome));
  EXPECT_EQ(outcome, SpeakOutcome::kWritten);
  const std::string a = testing::ReadBytes(dir / "a.wav");
  EXPECT_EQ(testing::WavFault(a), "");
  EXPECT_EQ(RateOf(a), 16000u);
  EXPECT_EQ(a.size(), 44u + 16000u * 2);  // one second, resampled

  ToneEngine wide(0);  // unknown: the audio's own
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

// Band-limited resampling keeps what the lower rate can carry and drops what would fold
// back into it.
TEST(SpeechFileTest, BandLimitedResamplingKeepsTonesBelowNyquistOnly) {
  struct Case {
    int from, to;
    double hertz;
    double kept;  // RMS after over RMS before
  };
  const Case cases[] = {
      {32000, 16000, 1000, 1.0},  {32000, 16000, 6000, 1.0}, {32000, 16000, 9000, 0.0},
      {32000, 16000, 12000, 0.0}, {30203, 32000, 3000, 1.0}, {16000, 44100, 5000, 1.0},
  };
  const auto rms = [](std::span<const int16_t> pcm) {
    double sum = 0;
    for (const int16_t v : pcm.subspan(pcm.size() / 4, pcm.size() / 2)) sum += double(v) * v;  // away from the ends
    return std::sqrt(sum / double(pcm.size() / 2));
  };
  for (const Case& c : cases) {
    std::vector<int16_t> tone(static_cast<size_t>(c.from));
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = int16_t(10000 * std::sin(2 * M_PI * c.hertz * double(i) / c.from));
    const std::vector<int16_t> out = ResampleBandLimited(tone, c.from, c.to);
    EXPECT_EQ(out.size(), size_t(c.to)) << c.from << " -> " << c.to;
    EXPECT_NEAR(rms(out) / rms(tone), c.kept, 0.05) << c.hertz << " Hz, " << c.from << " -> " << c.to;
  }
  EXPECT_TRUE(ResampleBandLimited({}, 32000, 16000).empty());
  const std::vector<int16_t> same = {1, -2, 3};
  EXPECT_EQ(ResampleBandLimited(same, 16000, 16000), same);
}

}  // namespace
}  // namespace aurisona
