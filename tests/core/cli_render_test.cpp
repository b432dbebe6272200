// aurisona-cli render, end to end with the eSpeak NG engine.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/output_test_support.h"
#include "core/test_util.h"
#include "util/text.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

class CliRenderTest : public ::testing::Test {
 protected:
  // One data directory for the suite: making its bundled media takes a while.
  static void SetUpTestSuite() { shared_ = new TempDir; }
  static void TearDownTestSuite() {
    delete shared_;
    shared_ = nullptr;
  }
  static fs::path Data() { return *shared_ / "data"; }
  std::string DataDir() const { return " --data-dir " + Data().string(); }
  CliRun Render(const std::string& script, const std::string& extra = "") {
    return testing::RunCli("render " + (dir / script).string() + " -o " + (dir / "out.mp3").string() + DataDir() + extra,
                           dir.path());
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
  std::vector<std::string> Names(const fs::path& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  TempDir dir;
  static TempDir* shared_;
};
TempDir* CliRenderTest::shared_ = nullptr;

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

TEST_F(CliRenderTest, QuietSuccessPrintsNothing) {
  WriteBytes(dir / "s.txt", "<暂停0.2秒>");
  const CliRun run = Render("s.txt", " --quiet");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(OutputFrames(), testing::PieceFrames(8820));
}

TEST_F(CliRenderTest, BadInputFailsAndWritesNothing) {
  WriteBytes(dir / "bad.lsn", std::string("lsn\x01\x07\x00\x00\x00", 8));
  CliRun run = Render("bad.lsn");
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.err.find("文件已损坏"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir / "out.mp3"));
  run = Render("missing.txt");
  EXPECT_NE(run.exitCode, 0);
  EXPECT_FALSE(fs::exists(dir / "out.mp3"));
  run = testing::RunCli("render " + (dir / "bad.lsn").string() + DataDir(), dir.path());
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.err.find("usage"), std::string::npos);
  WriteBytes(dir / "s.txt", "<暂停0.2秒>");
  run = testing::RunCli("render " + (dir / "s.txt").string() + " -o " + (dir / "no" / "out.mp3").string() + DataDir(),
                        dir.path());
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.err.find("输出MP3失败"), std::string::npos) << run.err;
}

TEST_F(CliRenderTest, ADocumentsOwnClipPlaysWithoutEnteringTheDataDirectory) {
  const std::string clip = testing::Mp3Of(testing::Sine(3 * 44100, 2, 441, 44100, 10000));
  auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  const std::u16string name = u"own.mp3", text = u"<音乐:own.mp3>";
  // One music record playing 1 s of the clip, then the text.
  const std::string lsn = std::string("lsn\x01", 4) + u32(2) + u32(0x12345678) + u32(uint32_t(2 * name.size() + 2)) +
                          ToUtf16Le(name) + std::string(2, '\0') + u32(1) + u32(uint32_t(clip.size())) + clip + u32(0) +
                          u32(uint32_t(2 * text.size() + 2)) + ToUtf16Le(text) + std::string(2, '\0');
  WriteBytes(dir / "d.lsn", lsn);
  const CliRun run = Render("d.lsn", " --quiet");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(OutputFrames(), testing::PieceFrames(44100));  // cut to the document's play time
  EXPECT_FALSE(fs::exists(Data() / "Music" / "own.mp3"));
  EXPECT_EQ(Names(Data() / "Music"), (std::vector<std::string>{"theme.mp3"}));
}

TEST_F(CliRenderTest, WriteErrorFailsAndKeepsTheOldFile) {
  WriteBytes(dir / "s.txt", "<暂停5秒><暂停5秒>");
  ASSERT_EQ(Render("s.txt", " --quiet").exitCode, 0);  // the data directory is set up
  WriteBytes(dir / "out.mp3", "old");
  // Files may not grow beyond 32 KiB (64 blocks of 512 bytes in sh); the
  // pauses need about 160 KiB. SIGXFSZ ignored: writes fail with EFBIG.
  const std::string errPath = (dir / "err.txt").string();
  const std::string command = "ulimit -f 64; trap '' XFSZ; exec " + std::string(AURISONA_CLI_PATH) + " render " +
                              (dir / "s.txt").string() + " -o " + (dir / "out.mp3").string() + DataDir() + " 2>" +
                              errPath;
  const int status = std::system(command.c_str());  // through sh
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 0);
  const std::string err = ReadBytes(errPath);
  EXPECT_NE(err.find("输出MP3失败"), std::string::npos) << err;
  EXPECT_EQ(err.find("wrote"), std::string::npos);
  EXPECT_EQ(ReadBytes(dir / "out.mp3"), "old");
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"cli-stderr.txt", "err.txt", "out.mp3", "s.txt"}));
}

TEST_F(CliRenderTest, InterruptStopsAfterThePiecesInProgress) {
  std::string script;
  for (int k = 0; k < 20; ++k) script += "<暂停10秒>This is sentence " + std::to_string(k) + ".";
  WriteBytes(dir / "long.txt", script);
  const std::string out = (dir / "out.mp3").string(), data = Data().string(),
                    in = (dir / "long.txt").string(), err = (dir / "err.txt").string();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (!freopen(err.c_str(), "w", stderr)) _exit(126);
    execl(AURISONA_CLI_PATH, AURISONA_CLI_PATH, "render", in.c_str(), "-o", out.c_str(), "--data-dir", data.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  // Wait for the first MP3 bytes in the file being written beside the target.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  bool started = false;
  while (!started && std::chrono::steady_clock::now() < deadline) {
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      const std::string name = entry.path().filename().string();
      std::error_code ec;
      if (name.rfind(".out.mp3.", 0) == 0 && fs::file_size(entry.path(), ec) > 0 && !ec) started = true;
    }
    if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(started);
  kill(child, SIGINT);
  int status = 0;
  pid_t done = 0;
  while ((done = waitpid(child, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (done == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    FAIL() << "the render did not stop";
  }
  ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal";
  EXPECT_EQ(WEXITSTATUS(status), 130) << ReadBytes(err);
  EXPECT_NE(ReadBytes(err).find("interrupted"), std::string::npos);
  const size_t frames = OutputFrames();
  EXPECT_GT(frames, 0u);
  EXPECT_LT(frames, 20 * testing::PieceFrames(441000));  // far from the whole script
  for (const std::string& name : Names(dir.path())) EXPECT_NE(name.rfind(".out.mp3", 0), 0u) << name;
}

// The piece cache from the command line: a render that uses it, two at once,
// `cache`, `cache --clear`, `--no-cache`, and a cache that cannot be written.
TEST_F(CliRenderTest, RendersShareThePieceCacheAndItIsShownAndCleared) {
  WriteBytes(dir / "s.txt", "<男>Hello there.<暂停0.5秒><女>你好。<提示音>");
  ASSERT_EQ(Render("s.txt", " --quiet --no-cache").exitCode, 0);
  const std::string made = ReadBytes(dir / "out.mp3");
  auto entries = [&] {
    const CliRun run = testing::RunCli("cache" + DataDir(), dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("limit: 1024.0 MB"), std::string::npos) << run.out;
    const size_t at = run.out.find("entries: ");
    return at == std::string::npos ? -1 : std::atoi(run.out.c_str() + at + 9);
  };
  EXPECT_EQ(entries(), 0) << "--no-cache fills nothing";

  // Two renders at once, each a process of its own, into one cache.
  const std::string render = "render " + (dir / "s.txt").string() + DataDir() + " --quiet -o ";
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

  const CliRun cleared = testing::RunCli("cache --clear" + DataDir(), dir.path());
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
