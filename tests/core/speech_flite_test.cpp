// The Flite backend and the engine the program uses (Flite and eSpeak NG together).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/test_util.h"
#include "support/wav.h"
#include "core/speech/composite_engine.h"
#include "core/speech/engines/espeak/espeak_engine.h"
#include "core/speech/engines/flite/flite_engine.h"
#include "core/speech/voice.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

using testing::ReadBytes;
using testing::Rms;
using testing::TempDir;

const std::u16string kFliteFemale = u"美语女声(Flite)";
const std::u16string kDefaultFemale = u"美语女声";  // Festival's HTS voice
const std::u16string kFliteMale = u"美语男声";

SpeechAudio Synth(SpeechEngine& engine, std::u16string_view text, std::u16string_view voice,
                  int rate = 0, int volume = 100, SynthesisStatus expected = SynthesisStatus::kOk) {
  SpeechAudio audio;
  EXPECT_EQ(engine.SynthesizeAll(text, voice, rate, volume, &audio), expected) << Utf16ToUtf8(text);
  return audio;
}

TEST(SpeechFliteTest, VoicesAreSixteenKilohertzAndListedFirst) {
  ASSERT_GE(FliteSpeechEngine().ListVoices().size(), 2u);
  // The program's lists: Festival's female and Flite's male US voices are the first
  // English voice of each kind, then Flite's slt; eSpeak NG keeps Mandarin and the names
  // it had.
  const VoiceSlotLists lists = DistributeVoices(CreateSpeechEngine()->ListVoices());
  EXPECT_EQ(lists[2].front(), kFliteMale);
#if AURISONA_WITH_FESTIVAL
  EXPECT_EQ(lists[3].front(), kDefaultFemale);
  EXPECT_EQ(lists[3].at(1), kFliteFemale);
#else
  EXPECT_EQ(lists[3].front(), kFliteFemale);
#endif
  EXPECT_EQ(lists[6].front(), kFliteMale);
  EXPECT_EQ(lists[0].front(), u"中文男声");
  EXPECT_EQ(lists[1].front(), u"中文女声");
  for (const std::u16string old : {u"美音男声", u"英音男声"}) {
    EXPECT_NE(std::find(lists[2].begin(), lists[2].end(), old), lists[2].end());
  }
}

// An eSpeak NG name stored by an earlier version still speaks with eSpeak NG.
TEST(SpeechFliteTest, AnESpeakNameStillSpeaksWithESpeak) {
  const auto engine = CreateSpeechEngine();
  SpeechAudio audio;
  ASSERT_EQ(engine->SynthesizeAll(u"Good morning.", u"英音女声", 0, 100, &audio), SynthesisStatus::kOk);
  EXPECT_EQ(audio.voice.name, u"英音女声");
  EXPECT_EQ(audio.sample_rate, 22050);
}

TEST(SpeechFliteTest, WordsAreTheTokensOfTheTextInOrder) {
  FliteSpeechEngine engine;
  const std::u16string text = u"“Mr. Smith,” she said — it costs $2.50 at 10:30!";
  const SpeechAudio audio = Synth(engine, text, kFliteFemale);
  std::vector<std::u16string> words;
  int64_t last = -1;
  for (const WordBoundary& w : audio.words) {
    ASSERT_GE(w.offset, 0);
    ASSERT_LE(static_cast<size_t>(w.offset + w.length), text.size());
    words.push_back(text.substr(static_cast<size_t>(w.offset), static_cast<size_t>(w.length)));
    EXPECT_GT(w.sample, last);
    last = w.sample;
    EXPECT_LT(static_cast<size_t>(w.sample), audio.samples.size());
  }
  EXPECT_EQ(words, (std::vector<std::u16string>{u"Mr", u"Smith", u"she", u"said", u"it", u"costs",
                                                  u"2.50", u"at", u"10:30"}));
  // The first word starts after Flite's short lead-in, the last one well inside the audio.
  EXPECT_LT(audio.words.front().sample, 16000 / 2);
  EXPECT_GT(audio.words.back().sample, static_cast<int64_t>(audio.samples.size()) / 2);
  // The same sentence again has the same words at the same places.
  const SpeechAudio again = Synth(engine, text, kFliteFemale);
  EXPECT_EQ(again.samples.size(), audio.samples.size());
  EXPECT_EQ(again.words, audio.words);
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

// Rate -10..10 and volume 10..100 follow one curve for both engines: duration scales by
// 3^(-rate/10), loudness by volume/100.
TEST(SpeechFliteTest, RateAndVolumeFollowTheSameCurvesInBothEngines) {
  const auto engine = CreateSpeechEngine();
  const std::u16string text =
      u"The train to Oxford leaves at half past ten, and the tickets cost twelve pounds each.";
  for (const std::u16string& voice : {kFliteMale, std::u16string(u"美音男声")}) {
    SCOPED_TRACE(Utf16ToUtf8(voice));
    const double normal = static_cast<double>(Synth(*engine, text, voice).samples.size());
    double previous = 1e9;
    for (const int rate : {-10, -9, -8, -5, 5, 8, 9, 10}) {
      const double length = static_cast<double>(Synth(*engine, text, voice, rate).samples.size());
      const double expected = std::pow(3.0, -rate / 10.0);
      EXPECT_NEAR(length / normal, expected, 0.2 * expected) << "rate " << rate;
      EXPECT_LT(length, previous) << "rate " << rate;  // every step is heard
      previous = length;
    }
    const double loud = Rms(Synth(*engine, text, voice, 0, 100).samples);
    for (const int volume : {20, 50, 80}) {
      EXPECT_NEAR(Rms(Synth(*engine, text, voice, 0, volume).samples) / loud, volume / 100.0,
                  0.25 * volume / 100.0)
          << "volume " << volume;
    }
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
