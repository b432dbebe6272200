#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <vector>

#include "audio-io/device_test_util.h"
#include "audio-io/speech_player.h"
#include "core/speech/engines/espeak/espeak_engine.h"

namespace aurisona {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::u16string kVoice = u"美音男声";

// What the speech reported, with the time since Speak.
struct Heard {
  std::mutex lock;
  Clock::time_point start = Clock::now();
  std::vector<std::pair<WordBoundary, double>> words;
  std::vector<std::pair<SpeechEnd, double>> ends;
  SpeechEvents Events() {
    return {[this](const WordBoundary& w) { Note(words, w); }, [this](SpeechEnd end) { Note(ends, end); }};
  }
  template <typename T>
  void Note(std::vector<std::pair<T, double>>& list, const T& what) {
    std::lock_guard<std::mutex> guard(lock);
    list.emplace_back(what, std::chrono::duration<double>(Clock::now() - start).count());
  }
  size_t Count(const auto& list) {
    std::lock_guard<std::mutex> guard(lock);
    return list.size();
  }
};

using SpeechPlayerTest = testing::DeviceTest;

TEST_F(SpeechPlayerTest, WordsAreReportedWhenHeardAndTheEndOnce) {
  const std::u16string text = u"One two three four five six seven eight.";
  EspeakSpeechEngine engine;
  SpeechAudio audio;
  ASSERT_EQ(engine.SynthesizeAll(text, kVoice, 0, 100, &audio), SynthesisStatus::kOk);
  ASSERT_GE(audio.words.size(), 8u);
  const double duration = double(audio.samples.size()) / audio.sample_rate;

  Heard heard;
  SpeechPlayer player(engine, heard.Events());
  EXPECT_FALSE(player.Speak(u"", kVoice, 0, 100));  // nothing ever spoken: nothing to stop
  heard.start = Clock::now();
  ASSERT_TRUE(player.Speak(text, kVoice, 0, 100));
  EXPECT_TRUE(player.IsSpeaking());
  ASSERT_TRUE(testing::WaitUntil([&] { return heard.Count(heard.ends) > 0; }, 15s));
  EXPECT_TRUE(player.IsSpeaking());  // the end of a sentence leaves the flag set
  std::this_thread::sleep_for(200ms);

  std::lock_guard<std::mutex> guard(heard.lock);
  ASSERT_EQ(heard.ends.size(), 1u);
  EXPECT_EQ(heard.ends[0].first, SpeechEnd::kSpoken);
  EXPECT_GE(heard.ends[0].second, duration - 0.05);
  ASSERT_EQ(heard.words.size(), audio.words.size());
  for (size_t i = 0; i < audio.words.size(); ++i) {
    EXPECT_EQ(heard.words[i].first.offset, audio.words[i].offset);
    EXPECT_EQ(heard.words[i].first.length, audio.words[i].length);
    // Not before its sound could have been heard.
    EXPECT_GE(heard.words[i].second, double(heard.words[i].first.sample) / audio.sample_rate - 0.03) << i;
  }
  // The last word comes well after the first: they follow the sound, not the synthesis.
  EXPECT_GT(heard.words.back().second - heard.words.front().second, duration / 2);
}

TEST_F(SpeechPlayerTest, ReleaseVoiceSilencesAtOnce) {
  EspeakSpeechEngine engine;
  Heard heard;
  SpeechPlayer player(engine, heard.Events());
  testing::MonitorRecording monitor;
  ASSERT_TRUE(monitor.started());
  const std::u16string text =
      u"This sentence is long enough to keep speaking for several seconds if nobody stops it at all.";
  ASSERT_TRUE(player.Speak(text, kVoice, 0, 100));
  ASSERT_TRUE(testing::WaitUntil([&] { return heard.Count(heard.words) >= 2; }, 10s));
  player.ReleaseVoice();
  EXPECT_FALSE(player.IsSpeaking());
  const size_t words = heard.Count(heard.words);
  const auto sound = monitor.Finish(500ms);
  EXPECT_EQ(heard.Count(heard.words), words);
  EXPECT_EQ(heard.Count(heard.ends), 0u);
  // Less than a second and a half was heard of a sentence of several seconds.
  size_t sounding = 0;
  for (size_t i = 0; i < sound.size(); ++i) sounding += std::abs(sound[i]) > 300;
  EXPECT_LT(sounding, size_t(testing::kSinkRate * 2 * 1.5));
  // An empty text now only stops, and says a voice had spoken.
  EXPECT_TRUE(player.Speak(u"", kVoice, 0, 100));
}

// The real engine, with each synthesis noted: its text, and when it began and ended.
class NotingEngine final : public SpeechEngine {
 public:
  struct Call {
    std::u16string text;
    int rate = 0;
    Clock::time_point begin, end;
  };
  std::vector<Voice> ListVoices() override { return inner_.ListVoices(); }
  bool IsReady() const override { return inner_.IsReady(); }
  SynthesisStatus Synthesize(std::u16string_view text, std::u16string_view voice, int rate, int volume,
                             const SpeechSink& sink, Voice* used) override {
    const auto begin = Clock::now();
    const SynthesisStatus status = inner_.Synthesize(text, voice, rate, volume, sink, used);
    std::lock_guard<std::mutex> guard(lock_);
    calls_.push_back({std::u16string(text), rate, begin, Clock::now()});
    return status;
  }
  std::vector<Call> Calls() {
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
  }

 private:
  EspeakSpeechEngine inner_;
  std::mutex lock_;
  std::vector<Call> calls_;
};

TEST_F(SpeechPlayerTest, APrefetchedSentenceIsSpokenWithoutBeingSynthesisedAgain) {
  const std::u16string first = u"The first sentence is spoken now.";
  const std::u16string second = u"The second one is synthesised while the first is heard.";
  NotingEngine engine;
  SpeechAudio audio;
  ASSERT_EQ(engine.SynthesizeAll(second, kVoice, 0, 100, &audio), SynthesisStatus::kOk);
  Heard heard;
  SpeechPlayer player(engine, heard.Events());
  testing::MonitorRecording monitor;
  ASSERT_TRUE(monitor.started());

  ASSERT_TRUE(player.Speak(first, kVoice, 0, 100));
  player.Prefetch(second, kVoice, 0, 100);
  ASSERT_TRUE(testing::WaitUntil([&] { return heard.Count(heard.ends) == 1; }, 15s));
  const size_t firstWords = heard.Count(heard.words);
  const auto secondSpoken = Clock::now();
  ASSERT_TRUE(player.Speak(second, kVoice, 0, 100));
  ASSERT_TRUE(testing::WaitUntil([&] { return heard.Count(heard.ends) == 2; }, 15s));
  monitor.Finish();

  // One synthesis each, the second after the first (which is heard first).
  const auto calls = engine.Calls();
  ASSERT_EQ(calls.size(), 3u);  // the measurement above, then the two sentences
  EXPECT_EQ(calls[1].text, first);
  EXPECT_EQ(calls[2].text, second);
  EXPECT_GE(calls[2].begin, calls[1].end);
  EXPECT_LT(calls[2].end, secondSpoken);  // done while the first was heard
  // The second sentence's words all reported, in order, and its end once.
  std::lock_guard<std::mutex> guard(heard.lock);
  ASSERT_EQ(heard.words.size() - firstWords, audio.words.size());
  for (size_t i = 0; i < audio.words.size(); ++i) {
    EXPECT_EQ(heard.words[firstWords + i].first.offset, audio.words[i].offset) << i;
    EXPECT_EQ(heard.words[firstWords + i].first.length, audio.words[i].length) << i;
  }
  EXPECT_EQ(heard.ends[1].first, SpeechEnd::kSpoken);
}

TEST_F(SpeechPlayerTest, APrefetchThatIsNotSpokenIsDropped) {
  NotingEngine engine;
  Heard heard;
  SpeechPlayer player(engine, heard.Events());
  // The same words at another rate are another sentence: it is synthesised
  // and spoken (whether the prefetch got to the engine before it was dropped
  // depends on timing).
  player.Prefetch(u"Heard instead.", kVoice, 5, 100);
  ASSERT_TRUE(player.Speak(u"Heard instead.", kVoice, 0, 100));
  ASSERT_TRUE(testing::WaitUntil([&] { return heard.Count(heard.ends) == 1; }, 15s));
  // Dropped at the end of speaking, in the middle of its synthesis or before.
  player.Prefetch(u"This one is dropped while it may still be synthesised.", kVoice, 0, 100);
  player.ReleaseVoice();
  size_t spoken = 0;
  for (const auto& call : engine.Calls()) spoken += call.text == u"Heard instead." && call.rate == 0;
  EXPECT_EQ(spoken, 1u);
  EXPECT_EQ(heard.Count(heard.ends), 1u);
}

}  // namespace
}  // namespace aurisona
