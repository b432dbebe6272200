// Without a sound server or device everything fails cleanly: nothing crashes,
// hangs or prints the sound libraries' diagnostics. The NoSoundServer tests run
// in a child process whose PULSE_SERVER names a socket that does not exist.
#include <gtest/gtest.h>

#include <atomic>

#include "audio-io/device_test_util.h"
#include "audio-io/sound_file_player.h"
#include "audio-io/speech_player.h"
#include "audio-io/wave_player.h"
#include "audio-io/wave_recorder.h"
#include "core/speech/engines/espeak/espeak_engine.h"

namespace aurisona {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

const std::vector<std::string> kNoServer = {"PULSE_SERVER=unix:/nonexistent/aurisona/native",
                                            "AURISONA_NO_SERVER_CHILD=1"};

// No diagnostics of ALSA, JACK or PulseAudio on the terminal.
::testing::AssertionResult Quiet(const std::string& err) {
  for (const char* noise : {"ALSA", "jack", "Jack", "JACK", "Cannot connect", "pulse"}) {
    if (err.find(noise) != std::string::npos) return ::testing::AssertionFailure() << "noise: " << err;
  }
  return ::testing::AssertionSuccess();
}

class NoSoundServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::InNoServerChild()) GTEST_SKIP() << "runs in DeviceAbsent's child process";
  }
  TempDir dir_;
};

TEST_F(NoSoundServer, PlayersAndRecorderFailCleanly) {
  WavePlayer wave;
  wave.SetFormat(2, 44100);
  EXPECT_FALSE(wave.Open());
  EXPECT_FALSE(wave.Write("ab", 2));

  testing::WriteWav(dir_ / "a.wav", std::vector<int16_t>(2000, 5), 44100, 2);
  testing::WriteBytes(dir_ / "a.mp3", std::string(4000, '\0'));
  SoundFilePlayer player;
  std::atomic<int> ends{0};
  std::atomic<PlaybackEnd> last{PlaybackEnd::kPlayed};
  const auto completion = [&](PlaybackEnd end) {
    last = end;
    ++ends;
  };
  EXPECT_EQ(player.Play(dir_ / "a.wav", completion, 0, 0), 1);
  EXPECT_FALSE(player.IsRunning());
  ASSERT_EQ(player.Play(dir_ / "a.mp3", completion, 0, 0), 0);
  ASSERT_TRUE(testing::WaitUntil([&] { return ends > 0; }, 10s));
  EXPECT_EQ(last, PlaybackEnd::kNotPlayed);
  player.Stop();

  WaveRecorder recorder;
  recorder.SetHandler([](std::span<const int16_t>) {});
  recorder.SetSampleRate(22050);
  recorder.SetBufferSize(5512);
  EXPECT_FALSE(recorder.Begin());
  EXPECT_FALSE(recorder.IsBegun());
  recorder.End();

  EspeakSpeechEngine engine;
  std::atomic<int> spoken{0};
  std::atomic<SpeechEnd> end{SpeechEnd::kSpoken};
  SpeechPlayer speech(engine, {nullptr, [&](SpeechEnd e) {
                                 end = e;
                                 ++spoken;
                               }});
  ASSERT_TRUE(speech.Speak(u"Nobody hears this.", u"", 0, 100));
  ASSERT_TRUE(testing::WaitUntil([&] { return spoken > 0; }, 10s));
  EXPECT_EQ(end, SpeechEnd::kNotSpoken);
}

TEST(DeviceAbsent, EverythingFailsCleanlyAndQuietly) {
  if (testing::InNoServerChild()) GTEST_SKIP();
  TempDir dir;
  const auto run = testing::RunChild({AURISONA_AUDIO_IO_TESTS_PATH, "--gtest_filter=NoSoundServer.*"}, kNoServer,
                                     dir.path());
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("[  PASSED  ] 1 test"), std::string::npos) << run.out;
  EXPECT_TRUE(Quiet(run.err));
}

TEST(DeviceAbsent, CliReportsOneLineAndWritesNothing) {
  if (testing::InNoServerChild()) GTEST_SKIP();
  TempDir dir;
  testing::WriteWav(dir / "a.wav", std::vector<int16_t>(2000, 5), 44100, 2);
  const std::string data = (dir / "data").string();
  auto run = testing::RunChild({AURISONA_CLI_PATH, "play", (dir / "a.wav").string()}, kNoServer, dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.rfind("aurisona-cli: ", 0), 0u) << run.err;
  EXPECT_EQ(testing::Lines(run.err), 1u) << run.err;

  run = testing::RunChild({AURISONA_CLI_PATH, "record", "take", "--seconds", "1", "--data-dir", data}, kNoServer,
                          dir.path());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(testing::Lines(run.err), 1u) << run.err;
  EXPECT_TRUE(Quiet(run.err));
  EXPECT_FALSE(std::filesystem::exists(dir / "data" / "Record" / "take.wav"));
}

}  // namespace
}  // namespace aurisona
