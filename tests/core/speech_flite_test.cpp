// The Flite backend and the engine the program uses (Flite and eSpeak NG together).
#include <gtest/gtest.h>

#include <cmath>

#include "core/test_util.h"
#include "support/wav.h"
#include "core/speech/composite_engine.h"
#include "core/speech/engines/espeak/espeak_engine.h"
#include "core/speech/voice.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

using testing::Rms;
using testing::TempDir;

const std::u16string kFliteMale = u"美语男声";

SpeechAudio Synth(SpeechEngine& engine, std::u16string_view text, std::u16string_view voice,
                  int rate = 0, int volume = 100, SynthesisStatus expected = SynthesisStatus::kOk) {
  SpeechAudio audio;
  EXPECT_EQ(engine.SynthesizeAll(text, voice, rate, volume, &audio), expected) << Utf16ToUtf8(text);
  return audio;
}

TEST(SpeechFliteTest, TextWithoutWordsAddsNothing) {
  const auto engine = CreateSpeechEngine();
  TempDir dir;
  for (const std::u16string text : {u"...", u" ，。 ", u"\u00D7\u00F7", u"\U0001F600", u"你好"}) {
    // eSpeak NG reads "×÷" and emoji by their names, and Chinese in its English voice.
    const bool words = text.find_first_of(u"\u00D7\xD83D\u4F60") != std::u16string::npos;
    for (const std::u16string& voice : {kFliteMale, std::u16string(words ? u"美语女声" : u"美音女声")}) {
      SCOPED_TRACE(Utf16ToUtf8(voice) + " " + Utf16ToUtf8(text));
      SpeechAudio audio;
      EXPECT_EQ(engine->SynthesizeAll(text, voice, 0, 100, &audio), SynthesisStatus::kEmptyText);
      EXPECT_TRUE(audio.samples.empty());
      SpeakOutcome outcome{};
      EXPECT_TRUE(engine->Speak(text, dir / "x.wav", voice, 0, 100, &outcome));
      EXPECT_EQ(outcome, SpeakOutcome::kNothingToSpeak);
      EXPECT_FALSE(std::filesystem::exists(dir / "x.wav"));
    }
  }
  // Accented letters are read as their plain letters.
  EXPECT_EQ(Synth(*engine, u"café", kFliteMale).samples.size(),
            Synth(*engine, u"cafe", kFliteMale).samples.size());
}

// Rate -10..10 and volume 10..100 follow one curve in both engines: duration scales by
// 3^(-rate/10), loudness by volume/100, and the steps at the ends of the range are heard
// (eSpeak NG alone stops speeding up at 450 words a minute).
TEST(SpeechFliteTest, RateAndVolumeFollowTheSameCurvesInBothEngines) {
  const auto engine = CreateSpeechEngine();
  const std::u16string text =
      u"The train to Oxford leaves at half past ten, and the tickets cost twelve pounds each.";
  for (const std::u16string& voice : {kFliteMale, std::u16string(u"美音男声")}) {
    SCOPED_TRACE(Utf16ToUtf8(voice));
    const double normal = static_cast<double>(Synth(*engine, text, voice).samples.size());
    double previous = 1e9;
    for (const int rate : {-10, -9, 9, 10}) {
      const double length = static_cast<double>(Synth(*engine, text, voice, rate).samples.size());
      const double expected = std::pow(3.0, -rate / 10.0);
      EXPECT_NEAR(length / normal, expected, 0.2 * expected) << "rate " << rate;
      EXPECT_LT(length, previous) << "rate " << rate;
      previous = length;
    }
    const double loud = Rms(Synth(*engine, text, voice).samples);
    EXPECT_NEAR(Rms(Synth(*engine, text, voice, 0, 50).samples) / loud, 0.5, 0.125);
  }
}

// An engine that cannot start.
class MissingEngine final : public SpeechEngine {
 public:
  std::vector<Voice> ListVoices() override { return {}; }
  SynthesisStatus Synthesize(std::u16string_view, std::u16string_view, int, int, const SpeechSink&,
                             Voice*) override {
    return SynthesisStatus::kNoEngine;
  }
  bool IsReady() const override { return false; }
};

TEST(SpeechFliteTest, AMissingEngineLeavesTheOtherWorking) {
  std::vector<std::unique_ptr<SpeechEngine>> engines;
  engines.push_back(std::make_unique<MissingEngine>());
  engines.push_back(std::make_unique<EspeakSpeechEngine>());
  CompositeSpeechEngine engine(std::move(engines));
  EXPECT_EQ(engine.ListVoices(), EspeakSpeechEngine().ListVoices());
  EXPECT_EQ(Synth(engine, u"Hello.", kFliteMale).voice.name, u"中文男声");  // the first listed
  EXPECT_EQ(Synth(engine, u"Hello.", u"美音女声").voice.name, u"美音女声");

  std::vector<std::unique_ptr<SpeechEngine>> none;
  none.push_back(std::make_unique<MissingEngine>());
  CompositeSpeechEngine nothing(std::move(none));
  TempDir dir;
  SpeakOutcome outcome{};
  EXPECT_FALSE(nothing.Speak(u"Hello.", dir / "x.wav", kFliteMale, 0, 100, &outcome));
  EXPECT_EQ(outcome, SpeakOutcome::kNoEngine);
}

}  // namespace
}  // namespace aurisona
