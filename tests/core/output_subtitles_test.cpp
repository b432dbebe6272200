// Subtitles and the timeline from aurisona-cli, checked against the MP3 it
// renders (decoded) and read back by an independent reader (ffmpeg).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>

#include "core/output_test_support.h"
#include "core/test_util.h"
#include "output/subtitles.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::string Shell(const std::string& command) {
  std::string out;
  if (std::FILE* p = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    pclose(p);
  }
  return out;
}

// The cues ffmpeg reads from a subtitle file, converted to SRT.
std::vector<std::string> CuesReadByFfmpeg(const fs::path& file) {
  const std::string srt = Shell("ffmpeg -v error -i '" + file.string() + "' -f srt - 2>&1");
  std::vector<std::string> texts;
  std::regex cue(R"(\d+\n[0-9:,]+ --> [0-9:,]+\n([^\n]*)\n)");
  for (auto it = std::sregex_iterator(srt.begin(), srt.end(), cue); it != std::sregex_iterator(); ++it) {
    texts.push_back((*it)[1]);
  }
  return texts;
}

class SubtitlesCliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { shared_ = new TempDir; }
  static void TearDownTestSuite() {
    delete shared_;
    shared_ = nullptr;
  }
  std::string DataDir() const { return " --data-dir " + (*shared_ / "data").string(); }
  CliRun Cli(const std::string& args) { return testing::RunCli(args + DataDir(), dir.path()); }
  TempDir dir;
  static TempDir* shared_;
};
TempDir* SubtitlesCliTest::shared_ = nullptr;

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
  // SRT cues start where the LRC lines do, and end before the next begins.
  const std::string srt = ReadBytes(dir / "out.srt");
  std::regex cue(R"((\d\d):(\d\d):(\d\d),(\d\d\d) --> (\d\d):(\d\d):(\d\d),(\d\d\d))");
  std::vector<std::pair<double, double>> spans;
  for (auto it = std::sregex_iterator(srt.begin(), srt.end(), cue); it != std::sregex_iterator(); ++it) {
    auto at = [&](int k) {
      return std::stoi((*it)[k]) * 3600 + std::stoi((*it)[k + 1]) * 60 + std::stoi((*it)[k + 2]) +
             std::stoi((*it)[k + 3]) / 1000.0;
    };
    spans.emplace_back(at(1), at(5));
  }
  ASSERT_EQ(spans.size(), times.size());
  for (size_t k = 0; k < spans.size(); ++k) {
    EXPECT_NEAR(spans[k].first, times[k], 0.006);
    EXPECT_GT(spans[k].second, spans[k].first + 0.3);
    if (k + 1 < spans.size()) {
      EXPECT_LE(spans[k].second, spans[k + 1].first);
    }
  }

  // The timeline, measured in a process of its own, is the MP3 frame for frame.
  const CliRun timeline = Cli("timeline '" + script + "'");
  ASSERT_EQ(timeline.exitCode, 0) << timeline.err;
  const testing::FrameWalk walk = testing::WalkFrames(ReadBytes(dir / "out.mp3"));
  std::smatch total;
  ASSERT_TRUE(std::regex_search(timeline.out, total, std::regex(R"(\{"total":([0-9.]+),"frames":(\d+))")));
  EXPECT_EQ(std::stoul(total[2]), walk.frames) << timeline.out;
  EXPECT_NEAR(std::stod(total[1]), walk.frames * 1152 / 44100.0, 0.001);
  EXPECT_NE(timeline.out.find("Is it far?\",\"voice\":4,\"pass\":2"), std::string::npos)
      << timeline.out;
  EXPECT_NE(timeline.out.find("\"kind\":\"tone\",\"file\":"), std::string::npos);
  size_t starts = 0, lineCount = 0;
  for (size_t at = 0; (at = timeline.out.find("\"sentences\":[{\"start\":", at)) != std::string::npos; ++at) ++starts;
  for (const char c : timeline.out) lineCount += c == '\n';
  EXPECT_EQ(starts, 4u);       // four speech pieces
  EXPECT_EQ(lineCount, 9u);  // speech, pause, twice speech and pause, tone, speech, and the total
}

TEST_F(SubtitlesCliTest, AFailedRenderWritesNoSubtitles) {
  WriteBytes(dir / "s.txt", "<男>Hello there.");
  CliRun run = Cli("render " + (dir / "s.txt").string() + " -o " + (dir / "no" / "out.mp3").string() + " --lrc --srt");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_FALSE(fs::exists(dir / "no"));
  WriteBytes(dir / "e.txt", "<禁读>Not read.<结束>");
  run = Cli("render " + (dir / "e.txt").string() + " -o " + (dir / "e.mp3").string() + " --lrc --srt");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("当前内容为空，不能合成输出！"), std::string::npos) << run.err;
  for (const char* name : {"e.mp3", "e.lrc", "e.srt"}) EXPECT_FALSE(fs::exists(dir / name)) << name;
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
  EXPECT_EQ(LrcPathFor("/a/b.c/out.mp3"), fs::path("/a/b.c/out.lrc"));
  EXPECT_EQ(SrtPathFor("/a/out"), fs::path("/a/out.srt"));
}

}  // namespace
}  // namespace aurisona
