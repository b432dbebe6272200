// Subtitles and the timeline from aurisona-cli, checked against the MP3 it
// renders (decoded) and read back by an independent reader (ffmpeg).
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "core/output_test_support.h"
#include "core/output/subtitles.h"
#include "support/cli_suite.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::ReadBytes;
using testing::WriteBytes;

// The cues ffmpeg reads from a subtitle file, converted to SRT.
std::vector<std::string> CuesReadByFfmpeg(const fs::path& file) {
  const std::string srt = testing::Shell("ffmpeg -v error -i '" + file.string() + "' -f srt - 2>&1");
  std::vector<std::string> texts;
  std::regex cue(R"(\d+\n[0-9:,]+ --> [0-9:,]+\n([^\n]*)\n)");
  for (auto it = std::sregex_iterator(srt.begin(), srt.end(), cue); it != std::sregex_iterator(); ++it) {
    texts.push_back((*it)[1]);
  }
  return texts;
}

class SubtitlesCliTest : public testing::CliSuite {};

TEST_F(SubtitlesCliTest, EverySentenceIsTimedAtItsSoundInBothFormats) {
  // A sentence with brackets and a line break inside, an alternating repeat of
  // two passes, Chinese after English, a tone between.
  WriteBytes(dir / "exam [A].txt",
             "<男>Good morning. [Tom] asks (at 8:30)\xC2\x85where\r\nthe station is.<暂停0.5秒>"
             "<重复2:2><男>Is it far?<暂停0.3秒><结束2><提示音><女>请听第一段对话。");
  const std::string script = (dir / "exam [A].txt").string();
  const CliRun run = Cli("render '" + script + "' -o " + (dir / "out.mp3").string() + " --lrc --srt --quiet");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");

  const std::string lrc = ReadBytes(dir / "out.lrc");
  const std::vector<std::string> expected = {"Good morning.", "［Tom］ asks (at 8:30) where the station is.",
                                             "Is it far?", "Is it far?", "请听第一段对话。"};
  std::vector<std::string> lines;
  std::vector<double> times;
  std::regex line(R"(\[(\d+):(\d\d)\.(\d\d)\]([^\n]*)\n)");
  for (auto it = std::sregex_iterator(lrc.begin(), lrc.end(), line); it != std::sregex_iterator(); ++it) {
    times.push_back(std::stoi((*it)[1]) * 60 + std::stoi((*it)[2]) + std::stoi((*it)[3]) / 100.0);
    lines.push_back((*it)[4]);
  }
  EXPECT_EQ(lines, expected) << lrc;
  EXPECT_EQ(lrc.rfind("[ti:exam ［A］]\n", 0), 0u) << lrc;

  // Each line at the first sound of its sentence in the decoded MP3.
  const testing::DecodedMp3 audio = testing::DecodeMp3Bytes(ReadBytes(dir / "out.mp3"));
  const std::vector<double> onsets = SoundOnsets(audio);
  for (size_t k = 0; k < times.size(); ++k) {
    double nearest = 1e9;
    for (const double t : onsets) nearest = std::min(nearest, std::abs(t - times[k]));
    EXPECT_LT(nearest, 0.030) << lines[k] << " at " << times[k];
  }

  // ffmpeg reads every line of both files, brackets and all.
  std::vector<std::string> fromLrc = CuesReadByFfmpeg(dir / "out.lrc");
  EXPECT_EQ(fromLrc, expected);
  std::vector<std::string> fromSrt = CuesReadByFfmpeg(dir / "out.srt");
  std::vector<std::string> srtExpected = expected;
  srtExpected[1] = "[Tom] asks (at 8:30) where the station is.";  // brackets mean nothing in SRT
  EXPECT_EQ(fromSrt, srtExpected);
  // The timeline, measured in a process of its own, is the MP3 frame for frame.
  const CliRun timeline = Cli("timeline '" + script + "'");
  ASSERT_EQ(timeline.exitCode, 0) << timeline.err;
  const testing::FrameWalk walk = testing::WalkFrames(ReadBytes(dir / "out.mp3"));
  std::smatch total;
  ASSERT_TRUE(std::regex_search(timeline.out, total, std::regex(R"(\{"total":([0-9.]+),"frames":(\d+))")));
  EXPECT_EQ(std::stoul(total[2]), walk.frames) << timeline.out;
  EXPECT_NEAR(std::stod(total[1]), walk.frames * 1152 / 44100.0, 0.001);
  // (Its pieces one by one: the programme view's test, against the same command.)
  EXPECT_NE(timeline.out.find("Is it far?\",\"voice\":4,\"pass\":2"), std::string::npos) << timeline.out;
}

TEST(Subtitles, TextsStayOnOneLineAndTimesRound) {
  Timeline t;
  TimelineEntry e;
  e.sentences = {SentenceTime{u"a\r\nb [00:01.00] --> <i>{x}</i>", 59.996, 61.5}, SentenceTime{u"下一句", 3600.5, 3602}};
  t.entries.push_back(e);
  EXPECT_EQ(LrcText(t, u"t]x"),
            "[ti:t］x]\n[01:00.00]a  b ［00:01.00］ → <i>{x}</i>\n[60:00.50]下一句\n");
  EXPECT_EQ(SrtText(t),
            "1\n00:00:59,996 --> 00:01:01,500\na  b [00:01.00] --＞ ＜i＞｛x｝＜/i＞\n\n"
            "2\n01:00:00,500 --> 01:00:02,000\n下一句\n\n");
}

}  // namespace
}  // namespace aurisona
