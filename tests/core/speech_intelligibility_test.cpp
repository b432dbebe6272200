// The default English voices are understood: an independent recogniser (pocketsphinx
// with its US English model) transcribes exam sentences spoken by them, and the word
// error rate against what was said stays at most 25 %, the female voice's within three
// points of the male voice's.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "core/test_util.h"
#include "support/recogniser.h"
#include "core/reading/reading_engine.h"
#include "core/speech/composite_engine.h"
#include "core/speech/voice.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

using testing::TempDir;
using testing::Transcribe;
using testing::WordErrorRate;
using testing::Words;
using testing::WriteBytes;

struct Sentence {
  std::u16string text;  // as a script has it
  std::string spoken;   // the words a listener hears
};

const Sentence kSentences[] = {
    {u"Good morning, everyone. This is the listening part of the English exam.",
     "good morning everyone this is the listening part of the english exam"},
    {u"The train to London leaves at 7:45 from platform 3.",
     "the train to london leaves at seven forty five from platform three"},
    {u"Tom's sister will arrive on Friday afternoon.",
     "tom's sister will arrive on friday afternoon"},
    {u"The tickets cost 12 dollars each, so they paid 36 dollars.",
     "the tickets cost twelve dollars each so they paid thirty six dollars"},
    {u"Mr. Brown asked Mary to meet him at the library at half past four.",
     "mister brown asked mary to meet him at the library at half past four"},
    {u"It costs 3.5 dollars.", "it costs three point five dollars"},
    {u"What will the man do on Saturday morning?",
     "what will the man do on saturday morning"},
    {u"The museum is open from 9 in the morning until 5 in the evening.",
     "the museum is open from nine in the morning until five in the evening"},
    {u"Dr. Smith says Lucy should drink more water and go to bed early.",
     "doctor smith says lucy should drink more water and go to bed early"},
    {u"Question 2. Where does the conversation most probably take place?",
     "question two where does the conversation most probably take place"},
    {u"Jack bought 2 notebooks and a blue pen for his brother.",
     "jack bought two notebooks and a blue pen for his brother"},
    {u"The weather will be sunny tomorrow, with a high of 25 degrees.",
     "the weather will be sunny tomorrow with a high of twenty five degrees"},
    {u"You will now hear a short talk about the history of the city.",
     "you will now hear a short talk about the history of the city"},
};

// What the recogniser hears of the sentences (as written, or as a teacher reads them) spoken one
// after another with a pause, as 16 kHz mono (the model's rate), and its word error rate.
std::pair<double, std::string> Heard(SpeechEngine& engine, const std::u16string& voice,
                                     std::span<const Sentence> sentences, bool as_written = true) {
  std::vector<int16_t> pcm;
  std::string reference;
  for (const Sentence& s : sentences) {
    SpeechAudio audio;
    EXPECT_EQ(engine.SynthesizeAll(as_written ? s.text : Utf8ToUtf16(s.spoken), voice, 0, 100, &audio),
              SynthesisStatus::kOk);
    const std::vector<int16_t> at16k = ResampleBandLimited(audio.samples, audio.sample_rate, 16000);
    pcm.insert(pcm.end(), at16k.begin(), at16k.end());
    pcm.insert(pcm.end(), 16000 * 3 / 4, 0);
    reference += s.spoken + " ";
  }
  TempDir dir;
  WriteBytes(dir / "speech.wav", EncodeWavMono16(pcm, 16000));
  const std::string heard = Transcribe(dir / "speech.wav");
  return {WordErrorRate(Words(reference), Words(heard)), heard};
}

TEST(SpeechIntelligibilityTest, DefaultEnglishVoicesAreUnderstood) {
  ASSERT_TRUE(testing::HaveRecogniser())
      << "pocketsphinx is not installed (scripts/setup.sh)";
  const auto engine = CreateSpeechEngine();
  const VoiceSlotLists lists = DistributeVoices(engine->ListVoices());
  ASSERT_FALSE(lists[2].empty());
  ASSERT_FALSE(lists[3].empty());
  // The default male and female voices, then Flite's slt, which the female voice replaced.
  std::vector<double> rates;
  for (const std::u16string& voice : {lists[2].front(), lists[3].front(), std::u16string(u"美语女声(Flite)")}) {
    const auto [wer, heard] = Heard(*engine, voice, kSentences);
    RecordProperty(Utf16ToUtf8(voice), std::to_string(wer));
    std::printf("%s: WER %.1f %%\n  heard: %s\n", Utf16ToUtf8(voice).c_str(), 100 * wer, heard.c_str());
    EXPECT_LE(wer, 0.25) << Utf16ToUtf8(voice) << " heard as: " << heard;
    rates.push_back(wer);
  }
#if AURISONA_WITH_FESTIVAL
  // Festival's female voice is understood about as well as the male one, and better than slt.
  EXPECT_LE(rates[1], rates[0] + 0.03);
  EXPECT_LT(rates[1], rates[2]);
#endif
}

// Sentences full of numbers, read through the reading step as written, are heard as a
// teacher reads them: nearly as well as the same voice reading the teacher's words.
TEST(SpeechIntelligibilityTest, NumbersAreHeardAsATeacherReadsThem) {
  ASSERT_TRUE(testing::HaveRecogniser());
  const Sentence sentences[] = {
      {u"The coat costs £45 and the hat ¥20.", "the coat costs forty five pounds and the hat twenty yuan"},
      {u"Please call me at 8765 4321 tonight.", "please call me at eight seven six five four three two one tonight"},
      {u"Dr. Smith will see you at 10.30 on 3 May.", "doctor smith will see you at ten thirty on the third of may"},
      {u"Take the No. 5 bus to St. Paul's.", "take the number five bus to saint paul's"},
      {u"It will be 25°C, about 5 km from here.", "it will be twenty five degrees celsius about five kilometers from here"},
  };
  ReadingSpeechEngine reading(CreateSpeechEngine());
  const auto plain = CreateSpeechEngine();
  const std::u16string voice = DistributeVoices(plain->ListVoices())[2].front();
  const auto [written, written_text] = Heard(reading, voice, sentences);
  const auto [ideal, ideal_text] = Heard(*plain, voice, sentences, false);
  std::printf("as written: WER %.1f %% (%s)\nteacher's words: WER %.1f %%\n", 100 * written, written_text.c_str(),
              100 * ideal);
  EXPECT_LE(written, ideal + 0.10) << "heard: " << written_text;
}

}  // namespace
}  // namespace aurisona
