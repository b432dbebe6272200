// The default English voices are understood: an independent recogniser (pocketsphinx
// with its US English model) transcribes exam sentences spoken by them, and the word
// error rate against what was said stays at most 25 %, the female voice's within three
// points of the male voice's.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "core/test_util.h"
#include "speech/composite_engine.h"
#include "speech/voice.h"
#include "util/text.h"

namespace aurisona {
namespace {

using testing::TempDir;
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

std::vector<std::string> Words(const std::string& text) {
  std::string clean;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    clean += (std::isalnum(u) || c == '\'') ? static_cast<char>(std::tolower(u)) : ' ';
  }
  std::istringstream in(clean);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// Word edit distance (substitutions, insertions, deletions) over the reference's length.
double WordErrorRate(const std::vector<std::string>& ref, const std::vector<std::string>& hyp) {
  std::vector<size_t> row(hyp.size() + 1);
  for (size_t j = 0; j <= hyp.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= ref.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= hyp.size(); ++j) {
      const size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (ref[i - 1] == hyp[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return ref.empty() ? 0.0 : static_cast<double>(row[hyp.size()]) / static_cast<double>(ref.size());
}

TEST(SpeechIntelligibilityTest, WordErrorRateMeasuresEdits) {
  EXPECT_DOUBLE_EQ(WordErrorRate(Words("a b c d"), Words("A, b c d.")), 0.0);
  EXPECT_DOUBLE_EQ(WordErrorRate(Words("a b c d"), Words("a x c")), 0.5);
  EXPECT_DOUBLE_EQ(WordErrorRate(Words("a b"), Words("a b c d")), 1.0);
  EXPECT_DOUBLE_EQ(WordErrorRate(Words("a b c d"), Words("b c d")), 0.25);
}

std::string Transcribe(const std::filesystem::path& wav) {
  const std::string command =
      "pocketsphinx_continuous -infile '" + wav.string() + "' -logfn /dev/null 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {};
  std::string out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out;
}

TEST(SpeechIntelligibilityTest, DefaultEnglishVoicesAreUnderstood) {
  ASSERT_EQ(std::system("command -v pocketsphinx_continuous >/dev/null"), 0)
      << "pocketsphinx is not installed (scripts/setup.sh)";
  const auto engine = CreateSpeechEngine();
  const VoiceSlotLists lists = DistributeVoices(engine->ListVoices());
  ASSERT_FALSE(lists[2].empty());
  ASSERT_FALSE(lists[3].empty());
  std::string reference;
  for (const Sentence& s : kSentences) reference += s.spoken + " ";

  TempDir dir;
  // The default male and female voices, then Flite's slt, which the female voice replaced.
  std::vector<double> rates;
  for (const std::u16string& voice : {lists[2].front(), lists[3].front(), std::u16string(u"美语女声(Flite)")}) {
    // The sentences one after another with a pause, as 16 kHz mono (the model's rate).
    std::vector<int16_t> pcm;
    for (const Sentence& s : kSentences) {
      SpeechAudio audio;
      ASSERT_EQ(engine->SynthesizeAll(s.text, voice, 0, 100, &audio), SynthesisStatus::kOk);
      const std::vector<int16_t> at16k = ResampleBandLimited(audio.samples, audio.sample_rate, 16000);
      pcm.insert(pcm.end(), at16k.begin(), at16k.end());
      pcm.insert(pcm.end(), 16000 * 3 / 4, 0);
    }
    const auto wav = dir / "speech.wav";
    WriteBytes(wav, EncodeWavMono16(pcm, 16000));
    const std::string heard = Transcribe(wav);
    const double wer = WordErrorRate(Words(reference), Words(heard));
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

}  // namespace
}  // namespace aurisona
