#include <gtest/gtest.h>

#include <chrono>

#include "audio-io/audio_system.h"
#include "audio-io/device_test_util.h"
#include "audio-io/wave_player.h"

namespace aurisona {
namespace {

using namespace std::chrono_literals;
using testing::MonitorRecording;
using testing::Pattern;
using testing::SoundingFrames;

using WavePlayerTest = testing::DeviceTest;

TEST_F(WavePlayerTest, WriteQueuesFullBuffersAndNeverWaits) {
  WavePlayer player;
  EXPECT_FALSE(player.Write("x", 1));
  // 8000 Hz mono: one buffer lasts 0.512 s, so nothing is consumed while we look.
  player.SetFormat(1, 8000);
  player.SetBufferCount(3);
  ASSERT_TRUE(player.Open());
  EXPECT_FALSE(player.Open());
  const std::vector<char> bytes(3 * WavePlayer::kBufferBytes - 10, 7);
  EXPECT_TRUE(player.Write(bytes.data(), 0));
  EXPECT_TRUE(player.Write(bytes.data(), WavePlayer::kBufferBytes + 100));
  EXPECT_EQ(player.QueuedCount(), 1);
  EXPECT_TRUE(player.Write(bytes.data(), WavePlayer::kBufferBytes - 100));
  EXPECT_EQ(player.QueuedCount(), 2);
  // The last free buffer takes 8192 bytes and no more: the write is refused whole.
  EXPECT_FALSE(player.Write(bytes.data(), WavePlayer::kBufferBytes + 1));
  EXPECT_EQ(player.WritableBytes(), WavePlayer::kBufferBytes);
  EXPECT_TRUE(player.Write(bytes.data(), 10));
  EXPECT_TRUE(player.Flush());
  EXPECT_EQ(player.QueuedCount(), 3);
  // The count drops as the device consumes the buffers.
  ASSERT_TRUE(testing::WaitUntil([&] { return player.QueuedCount() == 0; }, 5s));
  EXPECT_EQ(player.ConsumedBytes(), 2 * WavePlayer::kBufferBytes + 10);
  player.Abort();
  EXPECT_FALSE(player.IsOpen());
}

TEST_F(WavePlayerTest, TheNextSoundOfAnyFormatTakesTheStreamTheLastOneLeft) {
  MonitorRecording monitor;
  ASSERT_TRUE(monitor.started());
  WavePlayer first;
  first.SetFormat(2, testing::kSinkRate);
  ASSERT_TRUE(first.Open());
  const auto samples = Pattern(3000);
  ASSERT_TRUE(first.Write(samples.data(), samples.size() * 2));
  first.Close();
  ASSERT_GE(ParkedStreamCount(), 1u);

  // Speech at 16 kHz mono goes into the same stream; so does the pattern again.
  WavePlayer second;
  second.SetFormat(1, 16000);
  const size_t parked = ParkedStreamCount();
  ASSERT_TRUE(second.Open());
  EXPECT_EQ(ParkedStreamCount(), parked - 1);
  const std::vector<int16_t> quiet(1600, 0);
  ASSERT_TRUE(second.Write(quiet.data(), quiet.size() * 2));
  second.Close();
  EXPECT_EQ(second.ConsumedBytes(), quiet.size() * 2);
  ASSERT_TRUE(first.Open());
  EXPECT_EQ(ParkedStreamCount(), parked - 1);
  ASSERT_TRUE(first.Write(samples.data(), samples.size() * 2));
  first.Close();
  // Both patterns heard whole and unchanged.
  const auto heard = SoundingFrames(monitor.Finish());
  ASSERT_EQ(heard.size(), 6000u);
  EXPECT_EQ(testing::PatternFault({heard.begin(), heard.begin() + 3000}, 3000), "");
  EXPECT_EQ(testing::PatternFault({heard.begin() + 3000, heard.end()}, 3000), "");

  // A stream cut off with sound still to play is let go, not parked.
  ASSERT_TRUE(first.Open());
  const std::vector<char> long_(6 * WavePlayer::kBufferBytes, 9);
  ASSERT_TRUE(first.Write(long_.data(), long_.size()));
  first.Flush();
  first.Abort();
  EXPECT_EQ(ParkedStreamCount(), parked - 1);

  // Once nothing has held the output for a while, parked streams go too.
  EXPECT_TRUE(testing::WaitUntil([] { return ParkedStreamCount() == 0 && !SoundOutputKeptAwake(); },
                                 kOutputLinger + 3s));
}

TEST_F(WavePlayerTest, AStopSilencesTheEndOfASoundAlreadyReportedEnded) {
  // Close returns when the last sample is still a stream's latency away from
  // the loudspeaker (so that the next sound follows at once); a Stop then
  // must not let that end play.
  MonitorRecording monitor;
  ASSERT_TRUE(monitor.started());
  WavePlayer player;
  player.SetFormat(2, testing::kSinkRate);
  ASSERT_TRUE(player.Open());
  const auto samples = Pattern(testing::kSinkRate * 2 / 5);  // 0.4 s: within the ten buffers
  ASSERT_TRUE(player.Write(samples.data(), samples.size() * 2));
  player.Close();
  const size_t sounding = ParkedStreamCount();
  SilenceParkedStreams();
  EXPECT_LT(ParkedStreamCount(), sounding);
  const auto heard = SoundingFrames(monitor.Finish());
  EXPECT_LT(heard.size(), samples.size() / 2);
  EXPECT_GT(heard.size(), samples.size() / 2 - size_t(testing::kSinkRate) / 10);
  EXPECT_EQ(testing::PatternFault(heard, heard.size()), "");
}

}  // namespace
}  // namespace aurisona
