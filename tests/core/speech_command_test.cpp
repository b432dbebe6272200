// Voices from a command: their descriptions, real programs speaking through them, and
// every way a command can fail, reported with the voice's name.
#include <gtest/gtest.h>

#include <chrono>

#include "core/test_util.h"
#include "core/speech/engines/command/command_engine.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

using testing::TempDir;
using testing::WriteBytes;

const std::string kValid = "language = en-US\ngender = female\nrate = 16000\ncommand = speak\n";

TEST(SpeechCommandTest, DescriptionsAreCheckedLineByLine) {
  struct Case {
    std::string text;
    std::string error;  // empty: valid
  };
  const Case cases[] = {
      {kValid, ""},
      {"\xEF\xBB\xBF[voice]\r\n# note\r\n; note\r\nNAME = Amy\r\n" + kValid + "timeout = 600\n", ""},
      {"language = en-US\ngender = female\nrate = 16000\n", "no command"},
      {"language = en-US\ngender = female\ncommand = x\n", "no rate"},
      {kValid + "rate = 7999\n", "rate must be"},
      {kValid + "rate = 16k\n", "rate must be"},
      {kValid + "timeout = 0\n", "timeout must be"},
      {kValid + "gender = neutral\n", "gender must be"},
      {kValid + "language = en_US\n", "language must be"},
      {kValid + "language = \n", "language must be"},
      {kValid + "speed = 2\n", "line 5: unknown key \"speed\""},
      {kValid + "just words\n", "line 5: not key = value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    const std::optional<CommandVoice> voice = ParseCommandVoice(c.text, u"stem", &error);
    EXPECT_EQ(voice.has_value(), c.error.empty());
    EXPECT_EQ(error.substr(0, c.error.size()), c.error);
  }
  std::string error;
  const CommandVoice named = *ParseCommandVoice("name = Amy\ndisplay = Amy (Piper)\n" + kValid, u"stem", &error);
  EXPECT_EQ(named.voice.name, u"Amy");
  EXPECT_EQ(named.voice.display_name, u"Amy (Piper)");
  const CommandVoice plain = *ParseCommandVoice(kValid, u"stem", &error);
  EXPECT_EQ(plain.voice.name, u"stem");
  EXPECT_EQ(plain.voice.display_name, u"stem");
  EXPECT_EQ(plain.voice.gender, VoiceGender::kFemale);
  EXPECT_EQ(plain.voice.sample_rate, 16000);
  EXPECT_EQ(plain.timeout_seconds, 30);
  EXPECT_EQ(ExpandVoiceCommand("x -s {wpm} -r {speed} -d {stretch} {other}", 0), "x -s 175 -r 1.000 -d 1.000 {other}");
  EXPECT_EQ(ExpandVoiceCommand("x -s {wpm}{wpm}", 10), "x -s 525525");
}

CommandSpeechEngine EngineWith(const TempDir& dir, const std::string& name, const std::string& description) {
  std::filesystem::create_directories(dir / "voices");
  WriteBytes(dir / "voices" / (name + ".ini"), description);
  return CommandSpeechEngine(dir / "voices");
}

TEST(SpeechCommandTest, FailuresAreReportedWithTheVoicesName) {
  struct Case {
    std::string command;
    std::string reason;
  };
  const Case cases[] = {
      {"no-such-speech-program-here --stdout", "command not found"},
      {"echo broken voice >&2; exit 3", "exit status 3: broken voice"},
      {"kill -9 $$", "ended by signal 9"},
      {"echo hello", "its output is not a WAV file"},
      {"sox -n -r 16000 -c 1 -b 16 -t wav - trim 0 0.5", "its output is silent"},
      {"sleep 20", "no answer within 1 s (killed)"},
      {"cat >/dev/null; sleep 20 & exec sleep 20", "no answer within 1 s (killed)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    TempDir dir;
    CommandSpeechEngine engine = EngineWith(dir, "broken", kValid + "timeout = 1\ncommand = " + c.command + "\n");
    const auto start = std::chrono::steady_clock::now();
    SpeechAudio audio;
    EXPECT_EQ(engine.SynthesizeAll(u"Good morning.", u"broken", 0, 100, &audio), SynthesisStatus::kFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));  // not the 20 s asked for
    const std::string failure = TakeSpeechFailure();
    EXPECT_EQ(failure.rfind("voice broken (" + c.command + "): ", 0), 0u) << failure;
    EXPECT_NE(failure.find(c.reason), std::string::npos) << failure;
    EXPECT_TRUE(TakeSpeechFailure().empty());  // taken once
  }
}

TEST(SpeechCommandTest, Text2waveSpeaksThroughItsStreamedWav) {
  TempDir dir;
  CommandSpeechEngine engine =
      EngineWith(dir, "festival", "language = en-US\ngender = female\nrate = 16000\ncommand = text2wave -o -\n");
  const std::u16string text = u"  Good morning, everyone.  ";
  SpeechAudio audio;
  ASSERT_EQ(engine.SynthesizeAll(text, u"festival", 0, 100, &audio), SynthesisStatus::kOk) << TakeSpeechFailure();
  EXPECT_EQ(audio.sample_rate, 16000);
  EXPECT_GT(audio.samples.size(), 16000u / 2);
  // Preview highlights the sentence: one word, the text without its blanks.
  ASSERT_EQ(audio.words.size(), 1u);
  EXPECT_EQ(audio.words[0], (WordBoundary{2, 23, 0}));
}

TEST(SpeechCommandTest, BrokenDescriptionsAreNamedAndTheOthersListed) {
  TempDir dir;
  std::filesystem::create_directories(dir / "voices");
  WriteBytes(dir / "voices" / "b.ini", kValid);
  WriteBytes(dir / "voices" / "a.ini", "name = b\n" + kValid);  // takes b's name first
  WriteBytes(dir / "voices" / "c.ini", "gender = female\n");
  WriteBytes(dir / "voices" / "notes.txt", "not a voice");
  CommandSpeechEngine engine(dir / "voices");
  ASSERT_EQ(engine.ListVoices().size(), 1u);
  EXPECT_EQ(engine.ListVoices()[0].name, u"b");
  EXPECT_EQ(engine.Problems(), (std::vector<std::string>{"b.ini: the name of another voice", "c.ini: no command"}));
  EXPECT_TRUE(CommandSpeechEngine(dir / "missing").ListVoices().empty());
}

}  // namespace
}  // namespace aurisona
