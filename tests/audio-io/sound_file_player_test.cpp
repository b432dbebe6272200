#include <gtest/gtest.h>

#include <chrono>

#include "audio-io/device_test_util.h"
#include "audio-io/sound_file_player.h"
#include "core/audio/pcm.h"
#include "support/mp3.h"

namespace aurisona {
namespace {

using namespace std::chrono_literals;
using testing::MonitorRecording;
using testing::Pattern;
using testing::PatternFault;
using testing::SoundingFrames;
using testing::WaitUntil;
constexpr int kRate = testing::kSinkRate;

class SoundFilePlayerTest : public testing::DeviceTest {
 protected:
  // Plays a file to its end, which is reported once and as played; what the
  // monitor heard.
  std::vector<int16_t> PlayToEnd(const std::filesystem::path& path, int playTime, int fade) {
    MonitorRecording monitor;
    EXPECT_TRUE(monitor.started());
    const int seen = done_.count;
    EXPECT_EQ(player_.Play(path, done_.Callback(), playTime, fade), 0);
    EXPECT_TRUE(player_.IsRunning());
    EXPECT_TRUE(done_.Wait(seen));
    EXPECT_FALSE(player_.IsRunning());
    EXPECT_EQ(done_.last, PlaybackEnd::kPlayed);
    player_.Stop();
    const auto heard = monitor.Finish();
    EXPECT_EQ(done_.count, seen + 1);
    return heard;
  }
  SoundFilePlayer player_;
  testing::Completions done_;
};

TEST_F(SoundFilePlayerTest, WavPlaysEveryByteOrUpToThePlayTime) {
  struct Case {
    size_t frames;
    int playTime;
    size_t heard;
  };
  // 1.2 buffers' worth more than a whole number of buffers: the last partial
  // buffer counts; a play time cuts, a longer one plays the whole clip.
  const Case cases[] = {{4 * 2048 + 1234, 0, 4 * 2048 + 1234}, {kRate * 3 / 2, 1, kRate}, {kRate * 3 / 2, 5, kRate * 3 / 2}};
  for (const Case& c : cases) {
    const auto heard = PlayToEnd(Wav("clip.WAV", Pattern(c.frames)), c.playTime, 0);
    EXPECT_EQ(PatternFault(SoundingFrames(heard), c.heard), "") << c.frames << " frames, " << c.playTime;
  }
}

TEST_F(SoundFilePlayerTest, FadeShapesTheClipAsApplyFadeDoes) {
  // 1 s of constant sound with a 1 s fade: each fade covers half the clip.
  const std::vector<int16_t> samples(2 * kRate, 20000);
  std::vector<int16_t> expected = samples;
  ApplyFade(ComputeFadeLength(2, kRate, 1, expected.size() * 2), 0, expected.data(), expected.size(),
            uint32_t(expected.size()));
  EXPECT_EQ(SoundingFrames(PlayToEnd(Wav("fade.wav", samples), 0, 1)), SoundingFrames(expected));
}

TEST_F(SoundFilePlayerTest, Mp3PlaysCut) {
  testing::WriteBytes(dir_ / "music.Mp3", testing::Mp3Of(testing::Sine(kRate * 3, 2, 440, kRate, 12000)));
  // One second, less the encoder's quiet start, however a starved machine splits it.
  double loud = 0;
  for (const auto& run : testing::SoundRuns(PlayToEnd(dir_ / "music.Mp3", 1, 0), 6000)) loud += run.end - run.start;
  EXPECT_NEAR(loud, 970, 30);
}

TEST_F(SoundFilePlayerTest, StopSilencesAtOnceAndNothingIsReported) {
  const auto path = Wav("stop.wav", Pattern(kRate * 3));
  MonitorRecording monitor;
  ASSERT_TRUE(monitor.started());
  ASSERT_EQ(player_.Play(path, done_.Callback(), 0, 0), 0);
  ASSERT_TRUE(WaitUntil([&] { return player_.device().ConsumedBytes() >= 4 * 8192; }, 5s));
  player_.Stop();
  EXPECT_FALSE(player_.IsRunning());
  EXPECT_FALSE(player_.device().IsOpen());
  const uint64_t consumed = player_.device().ConsumedBytes();
  const auto frames = SoundingFrames(monitor.Finish(600ms));
  // Only what the device had consumed was heard, and it was the start of the file.
  EXPECT_LE(frames.size(), consumed / 4);
  EXPECT_GE(frames.size(), size_t(kRate / 20));
  EXPECT_EQ(PatternFault(frames, frames.size()), "");
  EXPECT_EQ(done_.count, 0);
}

TEST_F(SoundFilePlayerTest, PlayWhilePlayingStopsTheFirstFile) {
  const auto first = Wav("first.wav", std::vector<int16_t>(kRate * 6, 3000));
  const size_t frames = 9000;
  const auto second = Wav("second.wav", Pattern(frames));
  MonitorRecording monitor;
  ASSERT_TRUE(monitor.started());
  testing::Completions firstDone;
  ASSERT_EQ(player_.Play(first, firstDone.Callback(), 0, 0), 0);
  ASSERT_TRUE(WaitUntil([&] { return player_.device().HeardBytes() > 0; }, 5s));
  ASSERT_EQ(player_.Play(second, done_.Callback(), 0, 0), 0);
  ASSERT_TRUE(done_.Wait());
  auto heard = SoundingFrames(monitor.Finish());
  EXPECT_EQ(firstDone.count, 0);
  // The first file's sound, then the whole second one.
  size_t skip = 0;
  while (skip < heard.size() && heard[skip] == std::make_pair(int16_t(3000), int16_t(3000))) ++skip;
  EXPECT_GT(skip, 0u);
  heard.erase(heard.begin(), heard.begin() + long(skip));
  EXPECT_EQ(PatternFault(heard, frames), "");
}

TEST_F(SoundFilePlayerTest, RefusesWhatItCannotPlay) {
  testing::WriteBytes(dir_ / "tune.ogg", "OggS");
  testing::WriteBytes(dir_ / "text.wav", "just some text, not RIFF");
  testing::WriteBytes(dir_ / "empty.wav", testing::WavBytes({}, kRate, 2));
  std::string noData = testing::WavBytes({1, 2}, kRate, 2);
  noData.replace(36, 4, "junk");
  testing::WriteBytes(dir_ / "nodata.wav", noData);
  for (const char* name : {"tune.ogg", "missing.wav", "missing.mp3", "text.wav", "empty.wav", "nodata.wav"}) {
    EXPECT_EQ(player_.Play(dir_ / name, done_.Callback(), 0, 0), 1) << name;
    EXPECT_FALSE(player_.IsRunning()) << name;
  }
}

TEST_F(SoundFilePlayerTest, FileCutShortWhilePlayingEndsThePlayback) {
  const auto path = Wav("shrinking.wav", Pattern(kRate * 4));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(player_.Play(path, done_.Callback(), 0, 0), 0);
  ASSERT_TRUE(WaitUntil([&] { return player_.device().ConsumedBytes() > 0; }, 5s));
  std::filesystem::resize_file(path, 44 + 4 * kRate / 2);
  std::filesystem::remove(path);
  ASSERT_TRUE(done_.Wait());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  EXPECT_EQ(done_.last, PlaybackEnd::kPlayed);
}

}  // namespace
}  // namespace aurisona
