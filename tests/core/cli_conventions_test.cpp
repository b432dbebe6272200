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
  EXPECT_NE(run.out.find("timeline"), std::string::npos);
  EXPECT_NE(run.out.find("bundled prompt tones and music"), std::string::npos);
  for (const char* command : {"compile", "convert", "render", "timeline", "voices", "play", "record"}) {
    run = testing::RunCli(std::string(command) + " --help", dir.path());
    EXPECT_EQ(run.exitCode, 0) << command;
    EXPECT_EQ(run.err, "") << command;
    EXPECT_EQ(run.out.rfind(std::string("usage: aurisona-cli ") + command, 0), 0u) << run.out;
    EXPECT_NE(run.out.find("130 interrupted"), std::string::npos) << command;
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

  const CliRun render = testing::RunCli("--quiet --data-dir " + data + " render " + (dir / "s.txt").string() +
                                            " -o " + (dir / "out.mp3").string(),
                                        dir.path());
  EXPECT_EQ(render.exitCode, 0) << render.err;
  EXPECT_EQ(render.err, "");  // --quiet before the command holds for it
  EXPECT_TRUE(fs::exists(dir / "out.mp3"));
}

TEST(CliConventions, AnEmptyScriptIsRefusedAndNothingIsWritten) {
  TempDir dir;
  const std::string data = " --data-dir " + (dir / "data").string();
  for (const char* text : {"", "<禁读>Not read.<结束>", "，， 　"}) {
    WriteBytes(dir / "e.txt", text);
    WriteBytes(dir / "keep.mp3", "old");
    const CliRun run =
        testing::RunCli("render " + (dir / "e.txt").string() + " -o " + (dir / "keep.mp3").string() + data, dir.path());
    EXPECT_EQ(run.exitCode, 1) << text;
    EXPECT_NE(run.err.find("当前内容为空，不能合成输出！"), std::string::npos) << run.err;
    EXPECT_EQ(testing::ReadBytes(dir / "keep.mp3"), "old");
  }
}

}  // namespace
}  // namespace aurisona
