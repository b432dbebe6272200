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

// The piece cache from the command line: a render that uses it, two at once,
// `cache`, `cache --clear`, `--no-cache`, and a cache that cannot be written.
TEST_F(CliRenderTest, RendersShareThePieceCacheAndItIsShownAndCleared) {
  WriteBytes(dir / "s.txt", "<男>Hello there.<暂停0.5秒><女>你好。<提示音>");
  ASSERT_EQ(Render("s.txt", " --quiet --no-cache").exitCode, 0);
  const std::string made = ReadBytes(dir / "out.mp3");
  auto entries = [&] {
    const CliRun run = testing::RunCli("cache" + (" --data-dir " + Data().string()), dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("limit: 1024.0 MB"), std::string::npos) << run.out;
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
  // After an edit the new sentence, made first in its process, is the one a render without the cache makes.
  WriteBytes(dir / "s.txt", "<男>Hello there.<暂停0.5秒><女>你好。<提示音><男>Good bye.");
  ASSERT_EQ(Render("s.txt", " --quiet").exitCode, 0);
  const std::string edited = ReadBytes(dir / "out.mp3");
  ASSERT_EQ(Render("s.txt", " --quiet --no-cache").exitCode, 0);
  EXPECT_EQ(ReadBytes(dir / "out.mp3") == edited, true);

  const CliRun cleared = testing::RunCli("cache --clear" + (" --data-dir " + Data().string()), dir.path());
  EXPECT_EQ(cleared.exitCode, 0);
  EXPECT_NE(cleared.err.find("removed 5 pieces"), std::string::npos) << cleared.err;
  EXPECT_EQ(entries(), 0);
}

TEST_F(CliRenderTest, ACacheThatCannotBeWrittenWarnsOnceAndTheRenderSucceeds) {
  WriteBytes(dir / "s.txt", "<男>Hello there.<暂停0.5秒><女>Good bye.");
  ASSERT_EQ(Render("s.txt", " --quiet --no-cache").exitCode, 0);
  const std::string made = ReadBytes(dir / "out.mp3");
  WriteBytes(dir / "plain-file", "");
  fs::create_directories(dir / "blocked" / "aurisona" / "pieces");
  const char* hex = "0123456789abcdef";  // every entry folder a file
  for (int k = 0; k < 256; ++k) WriteBytes(dir / "blocked/aurisona/pieces" / std::string{hex[k / 16], hex[k % 16]}, "");
  for (const char* home : {"plain-file", "blocked"}) {
    setenv("XDG_CACHE_HOME", (dir / home).c_str(), 1);
    const CliRun run = Render("s.txt", " --quiet");
    EXPECT_EQ(run.exitCode, 0) << home << ": " << run.err;
    const size_t first = run.err.find("aurisona-cli: warning: the piece cache is off");
    EXPECT_NE(first, std::string::npos) << home << ": " << run.err;
    EXPECT_EQ(run.err.find("piece cache is off", first + 30), std::string::npos) << home << ": one warning: " << run.err;
    EXPECT_EQ(ReadBytes(dir / "out.mp3") == made, true) << home;
  }
}

}  // namespace
}  // namespace aurisona
