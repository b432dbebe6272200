// The Festival backend: its helper process, the words it reports, and what happens when
// the helper dies.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/speech/engines/festival/festival_engine.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

// The helper processes this test program started.
std::vector<pid_t> Helpers() {
  std::vector<pid_t> pids;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string pid, comm, state;
    pid_t parent = 0;
    if (stat >> pid >> comm >> state >> parent && parent == getpid() && comm == "(aurisona-festiv)") {
      pids.push_back(static_cast<pid_t>(std::stoi(pid)));
    }
  }
  return pids;
}

TEST(SpeechFestivalTest, WordsAreTheTokensOfTheTextInOrderAt32kHz) {
  FestivalSpeechEngine engine;
  const std::vector<Voice> voices = engine.ListVoices();
  ASSERT_EQ(voices.size(), 1u) << "festvox-us-slt-hts is not installed (scripts/setup.sh)";
  EXPECT_EQ(voices[0].name, u"美语女声");
  const std::u16string text = u"“Mr. Smith,” she said — it costs $2.50 at 10:30!";
  SpeechAudio audio;
  ASSERT_EQ(engine.SynthesizeAll(text, u"", 0, 100, &audio), SynthesisStatus::kOk);
  EXPECT_EQ(audio.sample_rate, 32000);
  EXPECT_EQ(audio.voice, voices[0]);
  std::vector<std::u16string> words;
  int64_t last = -1;
  for (const WordBoundary& w : audio.words) {
    words.push_back(text.substr(static_cast<size_t>(w.offset), static_cast<size_t>(w.length)));
    EXPECT_GT(w.sample, last);
    last = w.sample;
  }
  EXPECT_EQ(words, (std::vector<std::u16string>{u"Mr", u"Smith", u"she", u"said", u"it", u"costs", u"2.50", u"at",
                                                  u"10:30"}));
  EXPECT_GT(audio.words.back().sample, static_cast<int64_t>(audio.samples.size()) / 2);
  EXPECT_LT(audio.words.back().sample, static_cast<int64_t>(audio.samples.size()));
  // The same sentence again is the same sound.
  SpeechAudio again;
  ASSERT_EQ(engine.SynthesizeAll(text, u"", 0, 100, &again), SynthesisStatus::kOk);
  EXPECT_EQ(again.samples, audio.samples);
}

TEST(SpeechFestivalTest, AKilledHelperFailsItsSentenceAndIsReplaced) {
  FestivalSpeechEngine engine;
  ASSERT_FALSE(engine.ListVoices().empty());
  SpeechAudio audio;
  ASSERT_EQ(engine.SynthesizeAll(u"Good morning.", u"", 0, 100, &audio), SynthesisStatus::kOk);
  const std::vector<pid_t> before = Helpers();
  ASSERT_EQ(before.size(), 1u);
  ASSERT_EQ(kill(before[0], SIGKILL), 0);
  EXPECT_EQ(engine.SynthesizeAll(u"Good afternoon.", u"", 0, 100, &audio), SynthesisStatus::kFailed);
  EXPECT_TRUE(Helpers().empty());  // ended and reaped, no zombie left
  ASSERT_EQ(engine.SynthesizeAll(u"Good evening.", u"", 0, 100, &audio), SynthesisStatus::kOk);
  EXPECT_FALSE(audio.words.empty());
  const std::vector<pid_t> after = Helpers();
  ASSERT_EQ(after.size(), 1u);
  EXPECT_NE(after[0], before[0]);
}

}  // namespace
}  // namespace aurisona
