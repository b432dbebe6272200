#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "core/test_util.h"
#include "support/wav.h"
#include "core/speech/engines/espeak/espeak_engine.h"
#include "core/speech/voice.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

using testing::Peak;

const std::u16string kEnglishMale = u"美音男声";
const std::u16string kEnglishFemale = u"美音女声";

// eSpeak adds noise from rand() and carries a little state from one sentence to the
// next, so the same sentence never comes out bit for bit the same twice; its length
// stays within a few samples, while another voice changes it by percents.
bool SameLength(size_t a, size_t b) {
  const size_t diff = a > b ? a - b : b - a;
  return diff * 250 <= std::max(a, b);  // 0.4 %
}

SpeechAudio Synth(EspeakSpeechEngine& engine, std::u16string_view text,
                  std::u16string_view voice = kEnglishMale, int rate = 0, int volume = 100) {
  SpeechAudio audio;
  EXPECT_EQ(engine.SynthesizeAll(text, voice, rate, volume, &audio), SynthesisStatus::kOk);
  return audio;
}

TEST(SpeechEspeakTest, MarkupCharactersAreSpokenNotDropped) {
  EspeakSpeechEngine engine;
  const size_t tom = Synth(engine, u"Tom").samples.size();
  const SpeechAudio both = Synth(engine, u"Tom & Jerry <3");
  EXPECT_GT(both.samples.size(), tom + 22050 / 2);
  EXPECT_GT(Peak(both.samples), 3000);
  // Well-formed markup is acted upon: a one second break makes the sentence longer.
  const size_t plain = Synth(engine, u"one two").samples.size();
  EXPECT_GT(Synth(engine, u"one <break time=\"1s\"/> two").samples.size(), plain + 22050 / 2);
}

// eSpeak reads a long number in pieces and reports each piece; the number is one word.
TEST(SpeechEspeakTest, ANumberReadInPiecesIsOneWord) {
  EspeakSpeechEngine engine;
  const SpeechAudio number = Synth(engine, u"Pay 12345 now");
  ASSERT_EQ(number.words.size(), 3u);
  EXPECT_EQ(number.words[1], (WordBoundary{4, 5, number.words[1].sample}));
  EXPECT_EQ(number.words[2].offset, 10);
}

TEST(SpeechEspeakTest, ConcurrentEnginesAreSerialised) {
  const SpeechAudio expected = [] {
    EspeakSpeechEngine engine;
    return Synth(engine, u"Listen to the dialogue.", kEnglishFemale);
  }();
  std::vector<std::thread> threads;
  std::vector<int> same(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      EspeakSpeechEngine engine;
      for (int i = 0; i < 3; ++i) {
        SpeechAudio a;
        // (A Mandarin sentence in between would change the English one's length: eSpeak
        // NG carries state from its pinyin Mandarin into the next sentences.)
        engine.SynthesizeAll(u"Listen to the dialogue.", t % 2 ? kEnglishFemale : u"英音男声", 0,
                             100, &a);
        if (t % 2 && a.voice.name == kEnglishFemale &&
            SameLength(a.samples.size(), expected.samples.size())) {
          ++same[static_cast<size_t>(t)];
        }
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(same[1], 3);
  EXPECT_EQ(same[3], 3);
}

}  // namespace
}  // namespace aurisona
