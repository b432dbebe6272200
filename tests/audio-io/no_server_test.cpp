// Without a sound server or device everything fails cleanly: nothing crashes,
// hangs or prints the sound libraries' diagnostics. The NoSoundServer tests run
// in a child process whose PULSE_SERVER names a socket that does not exist;
// the recorder fails through aurisona-cli record.
#include <gtest/gtest.h>

#include "audio-io/device_test_util.h"
#include "audio-io/sound_file_player.h"
#include "audio-io/speech_player.h"
#include "core/speech/engines/espeak/espeak_engine.h"

namespace aurisona {
namespace {

using namespace std::chrono_literals;

const std::vector<std::string> kNoServer = {"PULSE_SERVER=unix:/nonexistent/aurisona/native",
                                            "AURISONA_NO_SERVER_CHILD=1"};

// No diagnostics of ALSA, JACK or PulseAudio on the terminal.
::testing::AssertionResult Quiet(const std::string& err) {
  for (const char* noise : {"ALSA", "jack", "Jack", "JACK", "Cannot connect", "pulse"}) {
    if (err.find(noise) != std::string::npos) return ::testing::AssertionFailure() << "noise: " << err;
  }
  return ::testing::AssertionSuccess();
}

class NoSoundServer : public testing::DeviceTest {
 protected:
  void SetUp() override {
    if (!testing::InNoServerChild()) GTEST_SKIP() << "runs in DeviceAbsent's child process";
  }
};
using DeviceAbsent = testing::DeviceTest;

TEST_F(NoSoundServer, PlayersFailCleanly) {
  testing::WriteBytes(dir_ / "a.mp3", std::string(4000, '\0'));
  SoundFilePlayer player;
  testing::Completions done;
  EXPECT_EQ(player.Play(Wav("a.wav", std::vector<int16_t>(2000, 5)), done.Callback(), 0, 0), 1);
  EXPECT_FALSE(player.IsRunning());
  // An MP3 that decodes to nothing ends at once, not played.
  ASSERT_EQ(player.Play(dir_ / "a.mp3", done.Callback(), 0, 0), 0);
  ASSERT_TRUE(done.Wait());
  EXPECT_EQ(done.last, PlaybackEnd::kNotPlayed);
  player.Stop();

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

TEST_F(DeviceAbsent, EverythingFailsCleanlyAndQuietly) {
  const auto run = testing::RunChild({AURISONA_AUDIO_IO_TESTS_PATH, "--gtest_filter=NoSoundServer.*"}, kNoServer,
                                     dir_.path());
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("[  PASSED  ] 1 test"), std::string::npos) << run.out;
  EXPECT_TRUE(Quiet(run.err));
}

TEST_F(DeviceAbsent, CliReportsOneLineAndWritesNothing) {
  for (const auto& run : {Cli({"play", Wav("a.wav", std::vector<int16_t>(2000, 5)).string()}, kNoServer),
                          Cli({"record", "take", "--seconds", "1", "--data-dir", (dir_ / "data").string()}, kNoServer)}) {
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("aurisona-cli: ", 0), 0u) << run.err;
    EXPECT_EQ(testing::Lines(run.err), 1u) << run.err;
    EXPECT_TRUE(Quiet(run.err));
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ / "data" / "Record" / "take.wav"));
}

}  // namespace
}  // namespace aurisona
