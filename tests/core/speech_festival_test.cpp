// The Festival backend: what happens when its helper process dies.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/speech/engines/festival/festival_engine.h"

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

TEST(SpeechFestivalTest, AKilledHelperFailsItsSentenceAndIsReplaced) {
  FestivalSpeechEngine engine;
  ASSERT_FALSE(engine.ListVoices().empty()) << "festvox-us-slt-hts is not installed (scripts/setup.sh)";
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
