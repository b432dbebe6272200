// aurisona-cli render, end to end with the program's speech engines.
#include <gtest/gtest.h>

#include "core/output_test_support.h"
#include "support/cli_suite.h"
#include "support/lsn.h"

namespace aurisona {
namespace {

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

TEST_F(CliRenderTest, RendersSpeechAndTheBundledPromptTone) {
  WriteBytes(dir / "s.txt", "<男>Hello there.<提示音><暂停0.5秒><女>你好。");
  const CliRun run = Render("s.txt");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("(4 pieces)"), std::string::npos) << run.err;
  // The sentences and the bundled prompt tone add their own frames to the pause.
  EXPECT_GT(OutputFrames(), testing::PieceFrames(22050) + 60);
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

// The piece cache from the command line: a render that uses it, two at once,
// `cache`, `cache --clear` and `--no-cache`.
TEST_F(CliRenderTest, RendersShareThePieceCacheAndItIsShownAndCleared) {
  WriteBytes(dir / "s.txt", "<男>Hello there.<暂停0.5秒><女>你好。<提示音>");
  ASSERT_EQ(Render("s.txt", " --quiet --no-cache").exitCode, 0);
  const std::string made = ReadBytes(dir / "out.mp3");
  auto entries = [&] {
    const CliRun run = testing::RunCli("cache" + (" --data-dir " + Data().string()), dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const size_t at = run.out.find("entries: ");
    return at == std::string::npos ? -1 : std::atoi(run.out.c_str() + at + 9);
  };
  EXPECT_EQ(entries(), 0) << "--no-cache fills nothing";

  // Two renders at once, each a process of its own, into one cache.
  const std::string render = "render " + (dir / "s.txt").string() + (" --data-dir " + Data().string()) + " --quiet -o ";
  const CliRun both = testing::RunCli(render + (dir / "a.mp3").string() + " & " + AURISONA_CLI_PATH + " " + render +
                                          (dir / "b.mp3").string() + "; wait",
                                      dir.path());
  ASSERT_EQ(both.exitCode, 0) << both.err;
  EXPECT_EQ(ReadBytes(dir / "a.mp3") == made, true);
  EXPECT_EQ(ReadBytes(dir / "b.mp3") == made, true);
  EXPECT_EQ(entries(), 4);
  ASSERT_EQ(Render("s.txt", " --quiet").exitCode, 0);
  EXPECT_EQ(ReadBytes(dir / "out.mp3") == made, true) << "written from the cache";

  const CliRun cleared = testing::RunCli("cache --clear" + (" --data-dir " + Data().string()), dir.path());
  EXPECT_EQ(cleared.exitCode, 0);
  EXPECT_NE(cleared.err.find("removed 4 pieces"), std::string::npos) << cleared.err;
  EXPECT_EQ(entries(), 0);
}

}  // namespace
}  // namespace aurisona
