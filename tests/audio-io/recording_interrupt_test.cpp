// Recordings that are interrupted: Ctrl+C keeps a complete file, a crash keeps
// the old recording of the name.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "audio-io/device_test_util.h"
#include "core/test_util.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;

uint32_t Le32(const std::string& b, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(b[at + size_t(i)])) << (8 * i);
  return v;
}

class RecordingInterruptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing::InNoServerChild()) GTEST_SKIP();
    fs::create_directories(dir_ / "data" / "Record");
  }
  fs::path Record() const { return dir_ / "data" / "Record"; }
  pid_t StartRecording() {
    const std::string data = (dir_ / "data").string(), err = (dir_ / "err.txt").string();
    const pid_t child = fork();
    if (child == 0) {
      if (!freopen(err.c_str(), "w", stderr)) _exit(126);
      execl(AURISONA_CLI_PATH, AURISONA_CLI_PATH, "record", "take", "--seconds", "60", "--data-dir", data.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    return child;
  }
  // The hidden file being recorded, once it holds more than `bytes`.
  fs::path WaitForRecording(uintmax_t bytes) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      std::error_code ec;
      for (const auto& entry : fs::directory_iterator(Record(), ec)) {
        if (entry.path().filename().string().rfind(".take.wav.", 0) == 0 && fs::file_size(entry.path(), ec) > bytes) {
          return entry.path();
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
  }
  int Wait(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  TempDir dir_;
};

TEST_F(RecordingInterruptTest, CtrlCKeepsACompleteRecording) {
  const std::string old = "OLD RECORDING";
  testing::WriteBytes(Record() / "take.wav", old);
  const pid_t child = StartRecording();
  ASSERT_FALSE(WaitForRecording(44 + 2 * 5512).empty());
  EXPECT_EQ(ReadBytes(Record() / "take.wav"), old);  // untouched while recording
  kill(child, SIGINT);
  EXPECT_EQ(Wait(child), 130) << ReadBytes(dir_ / "err.txt");
  const std::string bytes = ReadBytes(Record() / "take.wav");
  ASSERT_GT(bytes.size(), 44u + 2 * 5512u);
  EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
  EXPECT_EQ(Le32(bytes, 40), bytes.size() - 44);
  EXPECT_EQ(testing::ReadBytes(dir_ / "err.txt").find("aurisona-cli: interrupted"), 0u);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Record())) names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"take.wav"});
}

TEST_F(RecordingInterruptTest, ACrashWhileRecordingAgainKeepsTheOldRecording) {
  const std::string old = "OLD RECORDING";
  testing::WriteBytes(Record() / "take.wav", old);
  const pid_t child = StartRecording();
  ASSERT_FALSE(WaitForRecording(44 + 5512).empty());
  kill(child, SIGKILL);
  Wait(child);
  EXPECT_EQ(ReadBytes(Record() / "take.wav"), old);
}

}  // namespace
}  // namespace aurisona
