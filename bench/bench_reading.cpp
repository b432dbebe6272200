// How sentences full of numbers are read, in both languages.
//
// bench/data/reading_{en,zh}.tsv hold exam sentences as written and as a teacher reads
// them. For each language this prints the share of the teacher's words that the reading
// step hands to the engine (1 - word error rate; Chinese counted per character). For
// English it then has pocketsphinx listen to the default male and female voices reading
// every sentence as written (through the reading step, and without it as before) and
// reading the teacher's words, and prints the word error rates against the teacher's
// words: the gap between "as written" and "teacher's words" is what the reading step
// still costs a listener.
//
//   bench_reading [--no-listen] [DIR]   (DIR: another folder with the two files)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/reading/read_aloud.h"
#include "core/reading/reading_engine.h"
#include "core/speech/composite_engine.h"
#include "core/speech/voice.h"
#include "support/recogniser.h"
#include "core/util/text.h"

namespace {

using namespace aurisona;

struct Line {
  std::string written;
  std::string teacher;
};

std::string data_dir = std::string(AURISONA_SOURCE_DIR) + "/bench/data";

std::vector<Line> Load(const std::string& name) {
  std::ifstream in(data_dir + "/" + name);
  std::vector<Line> lines;
  for (std::string l; std::getline(in, l);) {
    if (l.empty() || l[0] == '#') continue;
    const size_t tab = l.find('\t');
    if (tab != std::string::npos) lines.push_back({l.substr(0, tab), l.substr(tab + 1)});
  }
  return lines;
}

// Chinese: one token per character, Latin words whole; punctuation dropped.
std::vector<std::string> Tokens(const std::string& utf8, bool chinese) {
  if (!chinese) return testing::Words(utf8);
  std::vector<std::string> tokens;
  std::string latin;
  for (const char16_t c : Utf8ToUtf16(utf8)) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) {
      latin.push_back(static_cast<char>(c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c));
      continue;
    }
    if (!latin.empty()) tokens.push_back(latin);
    latin.clear();
    if (c >= 0x4E00 && c <= 0x9FA5) tokens.push_back(Utf16ToUtf8(std::u16string(1, c)));
  }
  if (!latin.empty()) tokens.push_back(latin);
  return tokens;
}

double TextAccuracy(const std::vector<Line>& lines, bool chinese) {
  double words = 0, errors = 0;
  for (const Line& l : lines) {
    const auto ref = Tokens(l.teacher, chinese);
    const std::string spoken = Utf16ToUtf8(
        ReadAloud(Utf8ToUtf16(l.written), nullptr, chinese ? ReadingLanguage::kMandarin : ReadingLanguage::kEnglish)
            .text);
    const double wer = testing::WordErrorRate(ref, Tokens(spoken, chinese));
    if (wer > 0) std::printf("  %s\n    -> %s\n", l.written.c_str(), spoken.c_str());
    words += static_cast<double>(ref.size());
    errors += wer * static_cast<double>(ref.size());
  }
  return 1.0 - errors / words;
}

// The sentences read one after another by `voice` into a 16 kHz WAV, then heard.
double HeardErrorRate(SpeechEngine& engine, const std::u16string& voice, const std::vector<Line>& lines,
                      bool teacher_words, const std::filesystem::path& wav) {
  std::vector<int16_t> pcm;
  std::string reference;
  for (const Line& l : lines) {
    SpeechAudio audio;
    const std::string& text = teacher_words ? l.teacher : l.written;
    if (engine.SynthesizeAll(Utf8ToUtf16(text), voice, 0, 100, &audio) != SynthesisStatus::kOk) return -1;
    const std::vector<int16_t> at16k = ResampleMono16(audio.samples, audio.sample_rate, 16000);
    pcm.insert(pcm.end(), at16k.begin(), at16k.end());
    pcm.insert(pcm.end(), 16000 * 3 / 4, 0);
    reference += l.teacher + " ";
  }
  std::ofstream(wav, std::ios::binary) << EncodeWavMono16(pcm, 16000);
  return testing::WordErrorRate(testing::Words(reference), testing::Words(testing::Transcribe(wav)));
}

}  // namespace

int main(int argc, char** argv) {
  bool listen = true;
  for (int k = 1; k < argc; ++k) {
    if (std::strcmp(argv[k], "--no-listen") == 0) {
      listen = false;
    } else {
      data_dir = argv[k];
    }
  }
  const std::vector<Line> en = Load("reading_en.tsv");
  const std::vector<Line> zh = Load("reading_zh.tsv");
  std::printf("English, %zu sentences; differing from the teacher:\n", en.size());
  const double en_accuracy = TextAccuracy(en, false);
  std::printf("Mandarin, %zu sentences; differing from the teacher:\n", zh.size());
  const double zh_accuracy = TextAccuracy(zh, true);
  std::printf("words as the teacher reads them: English %.1f %%, Mandarin %.1f %%\n", 100 * en_accuracy,
              100 * zh_accuracy);
  if (!listen) return 0;
  if (!testing::HaveRecogniser()) {
    std::fprintf(stderr, "pocketsphinx is not installed (scripts/setup.sh)\n");
    return 1;
  }
  ReadingSpeechEngine reading(CreateSpeechEngine());
  const auto raw = CreateSpeechEngine();
  const VoiceSlotLists lists = DistributeVoices(raw->ListVoices());
  char dir_template[] = "/tmp/bench_reading.XXXXXX";
  if (!mkdtemp(dir_template)) return 1;
  const std::filesystem::path dir = dir_template;
  for (const size_t slot : {size_t{2}, size_t{3}}) {
    if (lists[slot].empty()) continue;
    const std::u16string& voice = lists[slot].front();
    const double written = HeardErrorRate(reading, voice, en, false, dir / "written.wav");
    const double before = HeardErrorRate(*raw, voice, en, false, dir / "before.wav");
    const double ideal = HeardErrorRate(*raw, voice, en, true, dir / "ideal.wav");
    std::fflush(stdout);
    std::printf("%s: WER as written %.1f %% (without the reading step %.1f %%), teacher's words %.1f %%, gap %.1f points\n",
                Utf16ToUtf8(voice).c_str(), 100 * written, 100 * before, 100 * ideal, 100 * (written - ideal));
  }
  std::filesystem::remove_all(dir);
  return 0;
}
