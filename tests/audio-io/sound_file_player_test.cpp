#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

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
using testing::TempDir;
using testing::WaitUntil;
constexpr int kRate = testing::kSinkRate;

// Counts completions and remembers the last result.
struct Completions {
  std::atomic<int> count{0};
  std::atomic<PlaybackEnd> last{PlaybackEnd::kPlayed};
  PlaybackCompletion Callback() {
    return [this](PlaybackEnd end) {
      last = end;
      ++count;
    };
  }
};

// An MP3 file of a stereo sine (left) and cosine (right), never silent.
std::string Mp3Bytes(double seconds) {
  std::vector<int16_t> samples;
  for (size_t i = 0; i < size_t(seconds * kRate); ++i) {
    const double phase = 2 * M_PI * 440.0 * double(i) / kRate;
    samples.insert(samples.end(), {int16_t(12000 * std::sin(phase)), int16_t(12000 * std::cos(phase))});
  }
  return testing::Mp3Of(samples);
}

// Frames whose loudness, sqrt(left^2 + right^2), exceeds `threshold`. For the
// sine and cosine of Mp3Bytes that is the amplitude, whatever the phase.
size_t LoudFrames(const std::vector<int16_t>& stereo, double threshold) {
  size_t n = 0;
  for (size_t i = 0; i + 1 < stereo.size(); i += 2) {
    n += std::hypot(double(stereo[i]), double(stereo[i + 1])) > threshold;
  }
  return n;
}

class SoundFilePlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing::InNoServerChild()) GTEST_SKIP();
  }
  std::filesystem::path Wav(const std::string& name, const std::vector<int16_t>& samples, int channels = 2,
                            int rate = kRate) {
    testing::WriteWav(dir_ / name, samples, rate, channels);
    return dir_ / name;
  }
  TempDir dir_;
  Completions done_;
};

TEST_F(SoundFilePlayerTest, WavPlaysEveryByteOrUpToThePlayTimeAndReportsTheEndOnce) {
  struct Case {
    size_t frames;
    int playTime;
    size_t heard;
  };
  // 1.2 buffers' worth more than a whole number of buffers: the last partial
  // buffer counts; a play time cuts, a longer one plays the whole clip.
  const Case cases[] = {{4 * 2048 + 1234, 0, 4 * 2048 + 1234}, {kRate * 3 / 2, 1, kRate}, {kRate * 3 / 2, 5, kRate * 3 / 2}};
  for (const Case& c : cases) {
    const auto path = Wav("clip.WAV", Pattern(c.frames));
    MonitorRecording monitor;
    ASSERT_TRUE(monitor.started());
    SoundFilePlayer player;
    Completions done;
    ASSERT_EQ(player.Play(path, done.Callback(), c.playTime, 0), 0);
    EXPECT_TRUE(player.IsRunning());
    ASSERT_TRUE(WaitUntil([&] { return done.count > 0; }, 10s));
    EXPECT_FALSE(player.IsRunning());
    EXPECT_EQ(done.last, PlaybackEnd::kPlayed);
    player.Stop();
    EXPECT_EQ(PatternFault(SoundingFrames(monitor.Finish()), c.heard), "") << c.frames << " frames, " << c.playTime;
    EXPECT_EQ(done.count, 1);
  }
}

TEST_F(SoundFilePlayerTest, FadeShapesTheClipAsApplyFadeDoes) {
  // 1 s of constant sound with a 1 s fade: each fade covers half the clip.
  std::vector<int16_t> samples(2 * kRate, 20000);
  const auto path = Wav("fade.wav", samples);
  std::vector<int16_t> expected = samples;
  const uint32_t fadeLength = ComputeFadeLength(2, kRate, 1, expected.size() * 2);
  EXPECT_EQ(fadeLength, expected.size() / 2);
  ApplyFade(fadeLength, 0, expected.data(), expected.size(), uint32_t(expected.size()));

  MonitorRecording monitor;
  ASSERT_TRUE(monitor.started());
  SoundFilePlayer player;
  ASSERT_EQ(player.Play(path, done_.Callback(), 0, 1), 0);
  ASSERT_TRUE(WaitUntil([&] { return done_.count > 0; }, 10s));
  EXPECT_EQ(SoundingFrames(monitor.Finish()), SoundingFrames(expected));
}

TEST_F(SoundFilePlayerTest, StopSilencesAtOnceAndNothingIsReported) {
  const auto path = Wav("stop.wav", Pattern(kRate * 3));
  MonitorRecording monitor;
  ASSERT_TRUE(monitor.started());
  SoundFilePlayer player;
  ASSERT_EQ(player.Play(path, done_.Callback(), 0, 0), 0);
  ASSERT_TRUE(WaitUntil([&] { return player.device().ConsumedBytes() >= 4 * 8192; }, 5s));
  player.Stop();
  EXPECT_FALSE(player.IsRunning());
  EXPECT_FALSE(player.device().IsOpen());
  const uint64_t consumed = player.device().ConsumedBytes();
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
  SoundFilePlayer player;
  Completions firstDone;
  ASSERT_EQ(player.Play(first, firstDone.Callback(), 0, 0), 0);
  ASSERT_TRUE(WaitUntil([&] { return player.device().HeardBytes() > 0; }, 5s));
  ASSERT_EQ(player.Play(second, done_.Callback(), 0, 0), 0);
  ASSERT_TRUE(WaitUntil([&] { return done_.count > 0; }, 10s));
  auto heard = SoundingFrames(monitor.Finish());
  EXPECT_EQ(firstDone.count, 0);
  // The first file's sound, then the whole second one.
  size_t skip = 0;
  while (skip < heard.size() && heard[skip] == std::make_pair(int16_t(3000), int16_t(3000))) ++skip;
  EXPECT_GT(skip, 0u);
  heard.erase(heard.begin(), heard.begin() + long(skip));
  EXPECT_EQ(PatternFault(heard, frames), "");
}

TEST_F(SoundFilePlayerTest, Mp3PlaysCut) {
  const auto path = dir_ / "music.Mp3";
  testing::WriteBytes(path, Mp3Bytes(3.0));
  MonitorRecording monitor;
  ASSERT_TRUE(monitor.started());
  SoundFilePlayer player;
  ASSERT_EQ(player.Play(path, done_.Callback(), 1, 0), 0);
  ASSERT_TRUE(WaitUntil([&] { return done_.count > 0; }, 10s));
  EXPECT_EQ(done_.last, PlaybackEnd::kPlayed);
  // Half a second of 44.1 kHz stereo can wait in the queue.
  EXPECT_GE(size_t(player.device().bufferCount() - 2) * WavePlayer::kBufferBytes, size_t(kRate) * 4 / 2);
  // One second, less the encoder's quiet start.
  EXPECT_NEAR(double(LoudFrames(monitor.Finish(), 6000)), kRate * 0.97, kRate * 0.03);
}

TEST_F(SoundFilePlayerTest, RefusesWhatItCannotPlay) {
  SoundFilePlayer player;
  testing::WriteBytes(dir_ / "tune.ogg", "OggS");
  testing::WriteBytes(dir_ / "text.wav", "just some text, not RIFF");
  testing::WriteBytes(dir_ / "empty.wav", testing::WavBytes({}, kRate, 2));
  std::string noData = testing::WavBytes({1, 2}, kRate, 2);
  noData.replace(36, 4, "junk");
  testing::WriteBytes(dir_ / "nodata.wav", noData);
  for (const char* name : {"tune.ogg", "missing.wav", "missing.mp3", "text.wav", "empty.wav", "nodata.wav"}) {
    EXPECT_EQ(player.Play(dir_ / name, done_.Callback(), 0, 0), 1) << name;
    EXPECT_FALSE(player.IsRunning()) << name;
  }
  // Not MP3 data: it decodes to nothing, and the end follows at once.
  testing::WriteBytes(dir_ / "noise.mp3", std::string(20000, '\x55'));
  ASSERT_EQ(player.Play(dir_ / "noise.mp3", done_.Callback(), 0, 0), 0);
  ASSERT_TRUE(WaitUntil([&] { return done_.count > 0; }, 5s));
  EXPECT_EQ(done_.last, PlaybackEnd::kNotPlayed);
  EXPECT_EQ(done_.count, 1);
}

TEST_F(SoundFilePlayerTest, FileCutShortWhilePlayingEndsThePlayback) {
  const auto path = Wav("shrinking.wav", Pattern(kRate * 4));
  SoundFilePlayer player;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(player.Play(path, done_.Callback(), 0, 0), 0);
  ASSERT_TRUE(WaitUntil([&] { return player.device().ConsumedBytes() > 0; }, 5s));
  std::filesystem::resize_file(path, 44 + 4 * kRate / 2);
  std::filesystem::remove(path);
  ASSERT_TRUE(WaitUntil([&] { return done_.count > 0; }, 10s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  EXPECT_EQ(done_.last, PlaybackEnd::kPlayed);
}

}  // namespace
}  // namespace aurisona
