// Recordings that are interrupted: Ctrl+C keeps a complete file, a crash keeps
// the old recording of the name.
#include <gtest/gtest.h>
#include <signal.h>

#include "audio-io/device_test_util.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;

class RecordingInterruptTest : public testing::DeviceTest {
 protected:
  void SetUp() override {
    fs::create_directories(Record());
    testing::WriteBytes(Record() / "take.wav", kOld);
  }
  fs::path Record() const { return dir_ / "data" / "Record"; }
  // Starts a recording of a minute and waits until its hidden file holds more than `bytes`.
  pid_t StartRecording(uintmax_t bytes) {
    testing::ChildOptions options;
    options.err = dir_ / "err.txt";
    const pid_t child = testing::StartChild(
        {AURISONA_CLI_PATH, "record", "take", "--seconds", "60", "--data-dir", (dir_ / "data").string()}, options);
    EXPECT_TRUE(testing::WaitForFile(Record(), ".take.wav.", bytes, std::chrono::seconds(30)));
    return child;
  }
  const std::string kOld = "OLD RECORDING";
};

TEST_F(RecordingInterruptTest, CtrlCKeepsACompleteRecording) {
  const pid_t child = StartRecording(44 + 2 * 5512);
  EXPECT_EQ(ReadBytes(Record() / "take.wav"), kOld);  // untouched while recording
  kill(child, SIGINT);
  EXPECT_EQ(testing::WaitChild(child), 130) << ReadBytes(dir_ / "err.txt");
  const std::string bytes = ReadBytes(Record() / "take.wav");
  EXPECT_GT(bytes.size(), 44u + 2 * 5512u);
  EXPECT_EQ(testing::WavFault(bytes), "");
  EXPECT_EQ(ReadBytes(dir_ / "err.txt").find("aurisona-cli: interrupted"), 0u);
  EXPECT_EQ(testing::Names(Record()), std::vector<std::string>{"take.wav"});
}

TEST_F(RecordingInterruptTest, ACrashWhileRecordingAgainKeepsTheOldRecording) {
  const pid_t child = StartRecording(44 + 5512);
  kill(child, SIGKILL);
  testing::WaitChild(child);
  EXPECT_EQ(ReadBytes(Record() / "take.wav"), kOld);
}

}  // namespace
}  // namespace aurisona
