#include <gtest/gtest.h>

#include "audio-io/device_test_util.h"

namespace aurisona {
namespace {

using CliDeviceTest = testing::DeviceTest;

TEST_F(CliDeviceTest, PlayCutsAtThePlayTime) {
  const std::string clip = Wav("clip.wav", testing::Pattern(testing::kSinkRate * 2)).string();
  testing::MonitorRecording monitor;
  ASSERT_TRUE(monitor.started());
  const auto run = Cli({"play", clip, "--play-time", "1"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(testing::PatternFault(testing::SoundingFrames(monitor.Finish()), testing::kSinkRate), "");

  for (const char* bad : {"--fade=-1", "--play-time=1.5"}) {
    const auto refused = Cli({"play", clip, bad});
    EXPECT_EQ(refused.exitCode, 1) << bad;
    EXPECT_EQ(testing::Lines(refused.err), 1u) << refused.err;
  }
}

TEST_F(CliDeviceTest, RecordWritesWholeBuffersIntoTheRecordFolder) {
  const std::string data = (dir_ / "data").string();
  const auto run = Cli({"record", "take", "--seconds", "0.5", "--data-dir", data});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::string bytes = testing::ReadBytes(dir_ / "data" / "Record" / "take.wav");
  EXPECT_EQ(bytes.size(), 44u + 4 * 5512u);  // 0.5 s = four buffers of 0.125 s
  EXPECT_EQ(testing::WavFault(bytes), "");
  // (Names that leave the folder: RecordingFileTest.)
  EXPECT_EQ(Cli({"record", "take", "--seconds", "0", "--data-dir", data}).exitCode, 1);
}

}  // namespace
}  // namespace aurisona
