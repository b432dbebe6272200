// aurisona-cli's conventions: help on standard output, errors on standard
// error, global options on either side of the command, exit codes.
#include <gtest/gtest.h>

#include "core/test_util.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::TempDir;
using testing::WriteBytes;

TEST(CliConventions, HelpGoesToStandardOutputAndUsageErrorsExitWithTwo) {
  TempDir dir;
  CliRun run = testing::RunCli("--help", dir.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  for (const char* command : {"compile", "convert", "render", "timeline", "voices", "play", "record"}) {
    run = testing::RunCli(std::string(command) + " --help", dir.path());
    EXPECT_EQ(run.exitCode, 0) << command;
    EXPECT_EQ(run.err, "") << command;
    EXPECT_EQ(run.out.rfind(std::string("usage: aurisona-cli ") + command, 0), 0u) << run.out;
  }
  run = testing::RunCli("render -h", dir.path());
  EXPECT_NE(run.out.find("--lrc"), std::string::npos);

  // Usage errors: nothing on standard output, the reason on standard error.
  for (const char* bad : {"", "nonsense", "render in.txt", "render --bogus in.txt -o x.mp3", "compile",
                          "convert a", "record take", "timeline a b", "voices extra", "--data-dir"}) {
    run = testing::RunCli(bad, dir.path());
    EXPECT_EQ(run.exitCode, 2) << bad;
    EXPECT_EQ(run.out, "") << bad;
    EXPECT_NE(run.err, "") << bad;
  }
  EXPECT_FALSE(fs::exists(dir / "x.mp3"));
}

TEST(CliConventions, GlobalOptionsStandBeforeOrAfterTheCommand) {
  TempDir dir;
  WriteBytes(dir / "s.txt", "<男>Hello.<暂停0.3秒>");
  const std::string data = (dir / "data").string();
  const CliRun before = testing::RunCli("--data-dir " + data + " --quiet compile " + (dir / "s.txt").string(), dir.path());
  const CliRun after = testing::RunCli("compile " + (dir / "s.txt").string() + " --quiet --data-dir=" + data, dir.path());
  EXPECT_EQ(before.exitCode, 0) << before.err;
  EXPECT_EQ(after.exitCode, 0) << after.err;
  EXPECT_EQ(before.out, after.out);
  EXPECT_NE(before.out.find("\"kind\":300"), std::string::npos) << before.out;  // a pause of 300 ms
  // The first run made the data folder with the bundled tones and music.
  EXPECT_FALSE(fs::is_empty(dir / "data" / "Sound"));
  EXPECT_FALSE(fs::is_empty(dir / "data" / "Music"));
}

// Input that cannot be read or gives nothing to hear, and an output that cannot
// be written: a failure that names the reason, and no file is written or changed.
TEST(CliConventions, BadInputFailsAndWritesNothing) {
  TempDir dir;
  const std::string data = " --data-dir " + (dir / "data").string();
  const auto p = [&](const char* name) { return (dir / name).string(); };
  WriteBytes(dir / "bad.lsn", std::string("lsn\x01\x07\x00\x00\x00", 8));
  WriteBytes(dir / "s.txt", "<暂停0.2秒>");
  WriteBytes(dir / "e1.txt", "");
  WriteBytes(dir / "e3.txt", "，， 　");
  const std::pair<std::string, const char*> cases[] = {
      {"render " + p("bad.lsn") + " -o " + p("out.mp3"), "文件已损坏"},
      {"convert " + p("bad.lsn") + " " + p("out.txt"), "文件已损坏"},
      {"render " + p("missing.txt") + " -o " + p("out.mp3"), "文件打开失败"},
      {"render " + p("s.txt") + " -o " + (dir / "no" / "out.mp3").string() + " --lrc --srt", "输出MP3失败"},
      {"render " + p("e1.txt") + " -o " + p("out.mp3") + " --lrc --srt", "当前内容为空，不能合成输出！"},
      {"render " + p("e3.txt") + " -o " + p("out.mp3"), "当前内容为空，不能合成输出！"},
  };
  for (const auto& [args, why] : cases) {
    WriteBytes(dir / "out.txt", "old");
    WriteBytes(dir / "out.mp3", "old");
    const CliRun run = testing::RunCli(args + data, dir.path());
    EXPECT_EQ(run.exitCode, 1) << args;
    EXPECT_NE(run.err.find(why), std::string::npos) << args << ": " << run.err;
    EXPECT_EQ(testing::ReadBytes(dir / "out.txt"), "old") << args;
    EXPECT_EQ(testing::ReadBytes(dir / "out.mp3"), "old") << args;
    EXPECT_FALSE(fs::exists(dir / "out.lrc") || fs::exists(dir / "out.srt") || fs::exists(dir / "no")) << args;
  }
}

}  // namespace
}  // namespace aurisona
