// aurisona-cli render, end to end with the program's speech engines.
#include <gtest/gtest.h>

#include "core/output_test_support.h"
#include "support/cli_suite.h"
#include "support/lsn.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::ReadBytes;
using testing::WriteBytes;

class CliRenderTest : public testing::CliSuite {
 protected:
  CliRun Render(const std::string& script, const std::string& extra = "") {
    return Cli("render " + P(script) + " -o " + P("out.mp3") + extra);
  }
  // Frames of the output, all checked; fails the test on a fault.
  size_t OutputFrames() const {
    const std::string mp3 = ReadBytes(dir / "out.mp3");
    const testing::FrameWalk walk = testing::WalkFrames(mp3);
    EXPECT_EQ(walk.problem, "");
    const testing::DecodedMp3 decoded = testing::DecodeMp3Bytes(mp3);
    EXPECT_EQ(decoded.errors, 0);
    EXPECT_EQ(decoded.frames(), walk.frames * 1152);
    return walk.frames;
  }
};

TEST_F(CliRenderTest, RendersSpeechAndTheBundledMedia) {
  WriteBytes(dir / "s.txt", "<男>Hello there.<提示音><暂停0.5秒><女>你好。");
  const CliRun run = Render("s.txt");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("(4 pieces)"), std::string::npos) << run.err;
  const size_t all = OutputFrames();

  // The bundled clip plays whole: its frames and one more for the delays.
  const size_t theme = testing::WalkFrames(ReadBytes(Data() / "Music" / "theme.mp3")).frames;
  ASSERT_GT(theme, 100u);
  WriteBytes(dir / "m.txt", "<音乐:theme.mp3>");
  ASSERT_EQ(Render("m.txt", " --quiet").exitCode, 0);
  EXPECT_EQ(OutputFrames(), theme + 1);

  // The current prompt tone is one of the bundled tones: about a second.
  WriteBytes(dir / "t.txt", "<提示音>");
  ASSERT_EQ(Render("t.txt", " --quiet").exitCode, 0);
  const size_t tone = OutputFrames();
  EXPECT_GT(tone, 0.5 * 44100 / 1152);
  EXPECT_LT(tone, 2.0 * 44100 / 1152);
  EXPECT_GT(testing::PeakOf(testing::DecodeMp3Bytes(ReadBytes(dir / "out.mp3")), 0, 44100 * 2), 5000);

  // The sentences add their own frames to tone and pause.
  EXPECT_GT(all, tone + testing::PieceFrames(22050) + 20);
}

TEST_F(CliRenderTest, ADocumentsOwnClipPlaysWithoutEnteringTheDataDirectory) {
  const std::string clip = testing::Mp3Of(testing::Sine(3 * 44100, 2, 441, 44100, 10000));
  // One music record playing 1 s of the clip, then the text.
  WriteBytes(dir / "d.lsn", testing::Lsn(testing::LsnMedia(2, u"own.mp3", clip, 1), u"<音乐:own.mp3>"));
  const CliRun run = Render("d.lsn", " --quiet");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(OutputFrames(), testing::PieceFrames(44100));  // cut to the document's play time
  EXPECT_EQ(testing::Names(Data() / "Music"), (std::vector<std::string>{"theme.mp3"}));
}

}  // namespace
}  // namespace aurisona
