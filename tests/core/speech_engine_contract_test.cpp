// What every speech engine built in promises, checked on each of them: it lists typed
// voices, speaks every one at its own rate, reports words in order inside the text, lets
// rate and volume change the sound, takes empty and hostile text, keeps the voice choice
// rule, stops when asked, prints nothing to the console, and sounds the same through a
// speech worker whatever came before.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <string>

#include "core/test_util.h"
#include "support/wav.h"
#include "core/speech/engine_registry.h"
#include "core/speech/voice.h"
#include "core/speech/worker_engine.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

std::string IdOf(const ::testing::TestParamInfo<const SpeechEngineRegistration*>& info) {
  return std::string(info.param->id);
}

class SpeechEngineContract : public ::testing::TestWithParam<const SpeechEngineRegistration*> {
 protected:
  void SetUp() override {
    engine_ = GetParam()->create({testing::CommandVoiceDataDirectory()});
    voices_ = engine_->ListVoices();
    ASSERT_FALSE(voices_.empty()) << GetParam()->id << " lists no voice (scripts/setup.sh)";
  }

  static std::u16string SentenceFor(const Voice& voice) {
    return IsChineseVoice(voice) ? u"今天天气很好，我们去公园散步吧。"
                                 : u"“The library opens at nine,” she said — “on Monday morning.”";
  }

  SpeechAudio Speak(std::u16string_view text, const Voice& voice, int rate = 0, int volume = 100,
                    SynthesisStatus expected = SynthesisStatus::kOk) {
    SpeechAudio audio;
    EXPECT_EQ(engine_->SynthesizeAll(text, voice.name, rate, volume, &audio), expected)
        << Utf16ToUtf8(voice.name) << ": " << Utf16ToUtf8(text);
    return audio;
  }

  std::unique_ptr<SpeechEngine> engine_;
  std::vector<Voice> voices_;
};

TEST_P(SpeechEngineContract, ListsTypedVoicesInAStableOrder) {
  std::set<std::u16string> names;
  for (const Voice& v : voices_) {
    SCOPED_TRACE(Utf16ToUtf8(v.name));
    EXPECT_TRUE(names.insert(v.name).second) << "listed twice";
    EXPECT_FALSE(v.name.empty());
    EXPECT_FALSE(v.display_name.empty());
    EXPECT_FALSE(v.engine.empty());
    EXPECT_FALSE(v.language.empty());
    EXPECT_NE(v.gender, VoiceGender::kUnknown);
    EXPECT_GE(v.sample_rate, 8000);
    EXPECT_LE(v.sample_rate, 48000);
  }
  EXPECT_EQ(engine_->ListVoices(), voices_);
}

TEST_P(SpeechEngineContract, SpeaksEveryVoiceAtItsRateWithWordsInOrder) {
  for (const Voice& v : voices_) {
    SCOPED_TRACE(Utf16ToUtf8(v.name));
    const std::u16string text = SentenceFor(v);
    const SpeechAudio audio = Speak(text, v);
    EXPECT_EQ(audio.voice, v);
    EXPECT_EQ(audio.sample_rate, v.sample_rate);
    const double seconds = static_cast<double>(audio.samples.size()) / std::max(1, audio.sample_rate);
    EXPECT_GT(seconds, 1.0);
    EXPECT_LT(seconds, 10.0);
    EXPECT_GT(testing::Rms(audio.samples), 300);
    ASSERT_FALSE(audio.words.empty());
    int end = 0;
    int64_t last = -1;
    for (const WordBoundary& w : audio.words) {
      EXPECT_GE(w.offset, end);
      EXPECT_GT(w.length, 0);
      EXPECT_LE(static_cast<size_t>(w.offset + w.length), text.size());
      EXPECT_GE(w.sample, last);
      EXPECT_LE(w.sample, static_cast<int64_t>(audio.samples.size()));
      end = w.offset + w.length;
      last = w.sample;
    }
    SpeakOutcome outcome{};
    testing::TempDir dir;
    ASSERT_TRUE(engine_->Speak(text, dir / "s.wav", v.name, 0, 100, &outcome));
    EXPECT_EQ(outcome, SpeakOutcome::kWritten);
    const std::string wav = testing::ReadBytes(dir / "s.wav");
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(testing::LittleEndian(wav, 24), uint32_t(v.sample_rate));
  }
}

TEST_P(SpeechEngineContract, RateAndVolumeChangeTheSound) {
  const Voice& v = voices_.front();
  const std::u16string text = SentenceFor(v);
  const SpeechAudio normal = Speak(text, v);
  const SpeechAudio slow = Speak(text, v, -10);
  const SpeechAudio fast = Speak(text, v, 10);
  const auto length = [](const SpeechAudio& a) { return static_cast<double>(a.samples.size()); };
  // 3 times longer and shorter at the ends of the range, give or take what an engine keeps
  // fixed or cannot reach.
  EXPECT_GT(length(slow) / length(normal), 1.3);
  EXPECT_LT(length(fast) / length(normal), 1 / 1.3);
  const double quiet = testing::Rms(Speak(text, v, 0, 50).samples) / testing::Rms(normal.samples);
  EXPECT_NEAR(quiet, 0.5, 0.1);
}

// A page read as one sentence: longer than any engine's single utterance.
std::u16string LongText() {
  std::u16string text;
  while (text.size() < 1500) text += u"Tom and Mary walked to the old station by the river and waited for the train ";
  return text;
}

TEST_P(SpeechEngineContract, TakesEmptyAndHostileText) {
  const Voice& v = voices_.front();
  int calls = 0;
  EXPECT_EQ(engine_->Synthesize(u"", v.name, 0, 100, [&](const SpeechChunk&) { return ++calls, true; }, nullptr),
            SynthesisStatus::kEmptyText);
  EXPECT_EQ(calls, 0);
  const std::u16string lone_surrogate = {u'a', static_cast<char16_t>(0xD800), u' ', u'b', u'c'};
  const std::u16string hostile[] = {
      u"\")) (quit) (\"",  u"((((((((((((((((((((", u"\\\\\\\" \\n \\", u"<speak><break time='99999s'/></speak> &amp;",
      u"\u0001\u0007\u001B[31m\u007F", lone_surrogate, u"\U0001F600 \uFFFF \uFEFF x", u"%s %n %d %%",
      std::u16string(120, u'q'), LongText(), u"-- ... ?!?! ---"};
  for (const std::u16string& text : hostile) {
    SCOPED_TRACE(Utf16ToUtf8(text).substr(0, 40));
    SpeechAudio audio;
    const SynthesisStatus status = engine_->SynthesizeAll(text, v.name, 0, 100, &audio);
    EXPECT_TRUE(status == SynthesisStatus::kOk || status == SynthesisStatus::kEmptyText) << static_cast<int>(status);
    for (const WordBoundary& w : audio.words) EXPECT_LE(static_cast<size_t>(w.offset + w.length), text.size());
  }
  // Still speaking afterwards.
  EXPECT_FALSE(Speak(SentenceFor(v), v).samples.empty());
}

TEST_P(SpeechEngineContract, KeepsTheVoiceChoiceAndStopsWhenAsked) {
  const Voice& last = voices_.back();
  const std::u16string text = SentenceFor(last);
  Voice used;
  ASSERT_EQ(engine_->Synthesize(text, last.name, 0, 100, [](const SpeechChunk&) { return true; }, &used),
            SynthesisStatus::kOk);
  EXPECT_EQ(used, last);
  ASSERT_EQ(engine_->Synthesize(text, u"no such voice", 0, 100, [](const SpeechChunk&) { return true; }, &used),
            SynthesisStatus::kOk);
  EXPECT_EQ(used, last);
  EXPECT_TRUE(engine_->IsReady());
  const double whole = double(Speak(text, last).samples.size());
  EXPECT_EQ(engine_->Synthesize(text, last.name, 0, 100, [](const SpeechChunk&) { return false; }, nullptr),
            SynthesisStatus::kStopped);
  // Stopped, it speaks the sentence again whole.
  EXPECT_NEAR(double(Speak(text, last).samples.size()), whole, 0.01 * whole);
}

TEST_P(SpeechEngineContract, PrintsNothingToTheConsole) {
  testing::TempDir dir;
  std::fflush(stdout);
  std::fflush(stderr);
  const int saved_out = dup(1);
  const int saved_err = dup(2);
  const int sink = open((dir / "streams").c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
  ASSERT_GE(sink, 0);
  dup2(sink, 1);
  dup2(sink, 2);
  {
    const std::unique_ptr<SpeechEngine> fresh = GetParam()->create({testing::CommandVoiceDataDirectory()});
    for (const Voice& v : fresh->ListVoices()) {
      for (const std::u16string& text :
           {SentenceFor(v), std::u16string(u"((( \" \\ <x> &; \u0001"), std::u16string(u"[[a]] \x01 ]] 1/0 $3.50"),
            std::u16string(u"<voice name='nobody' gender='female'>x</voice><say-as interpret-as='characters'>abc</say-as>")}) {
        SpeechAudio audio;
        fresh->SynthesizeAll(text, v.name, 10, 50, &audio);
      }
    }
  }
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(saved_out, 1);
  dup2(saved_err, 2);
  close(saved_out);
  close(saved_err);
  close(sink);
  EXPECT_EQ(testing::ReadBytes(dir / "streams"), "");
}

// Through a speech worker every voice says a sentence the same, sample for sample, whatever
// that worker said before; an engine that starts each sentence afresh sounds there as it
// does in this process.
TEST_P(SpeechEngineContract, SpeaksASentenceTheSameInAWorkerWhateverCameBefore) {
  SpeechWorkerOptions options;
  options.engines.data_directory = testing::CommandVoiceDataDirectory();
  options.workers = 1;
  WorkerSpeechEngine workers(options);
  ASSERT_TRUE(workers.HasWorkerProgram());
  for (const Voice& v : voices_) {
    SCOPED_TRACE(Utf16ToUtf8(v.name));
    const std::u16string text = SentenceFor(v);
    SpeechAudio first;
    SpeechAudio other;
    SpeechAudio again;
    ASSERT_EQ(workers.SynthesizeAll(text, v.name, 0, 100, &first), SynthesisStatus::kOk);
    ASSERT_EQ(workers.SynthesizeAll(u"Three, two, one. 三二一。", v.name, 5, 60, &other), SynthesisStatus::kOk);
    ASSERT_EQ(workers.SynthesizeAll(text, v.name, 0, 100, &again), SynthesisStatus::kOk);
    EXPECT_EQ(first.voice, v);
    EXPECT_TRUE(first.samples == again.samples);
    EXPECT_EQ(first.words, again.words);
    if (!v.carries_state) {
      EXPECT_TRUE(Speak(text, v).samples == first.samples);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, SpeechEngineContract, ::testing::ValuesIn(RegisteredSpeechEngines()), IdOf);

}  // namespace
}  // namespace aurisona
