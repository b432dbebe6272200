// aurisona-cli compile and convert, run as a teacher's script would run them.
#include <gtest/gtest.h>

#include "support/cli_suite.h"
#include "support/lsn.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

using testing::CliRun;
using testing::ReadBytes;
using testing::WriteBytes;

class CliScriptTest : public testing::CliSuite {};

TEST_F(CliScriptTest, CompilePrintsOneJsonObjectPerSegmentAndReportsRepairedMarks) {
  WriteBytes(dir / "s.txt", "<男>Hi \"there\".\n<暂停0.5秒>");
  const CliRun run = Cli("compile " + P("s.txt"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  // Runs break after the quotes and the line break and merge, joined by spaces.
  EXPECT_EQ(run.out,
            "{\"kind\":0,\"param\":0,\"chinese\":0,\"start\":0,\"end\":13,\"text\":\" Hi \\\" there\\\" .\\r\"}\n"
            "{\"kind\":500,\"param\":0,\"chinese\":0,\"start\":13,\"end\":14,\"text\":\"\"}\n");
  EXPECT_EQ(run.err, "");

  // Repaired marks are reported on standard error.
  WriteBytes(dir / "s.txt", "a<结束1>b<结束>");
  const CliRun repaired = Cli("compile " + P("s.txt"));
  ASSERT_EQ(repaired.exitCode, 0);
  EXPECT_NE(repaired.err.find("发现一个不适当的重复标记"), std::string::npos);
  EXPECT_NE(repaired.err.find("发现一个不适当的禁止朗读标记"), std::string::npos);
  EXPECT_EQ(repaired.out, "{\"kind\":0,\"param\":0,\"chinese\":0,\"start\":0,\"end\":2,\"text\":\"a b\"}\n");
}

// spoken: one line per sentence with its slot, language, written and spoken form; the
// data directory's readings dictionary first, its damaged lines named; a failed write fails.
TEST_F(CliScriptTest, SpokenShowsHowEverySentenceIsRead) {
  WriteBytes(dir / "s.txt", "<女>Dr. Smith left at 10.30. Call NASA.\n<男>会议8:30开始。");
  std::filesystem::create_directories(Data());
  WriteBytes(Data() / "readings.txt", "# mine\nnasa = N A S A\nbroken\n");
  const std::string command = "spoken " + P("s.txt");
  const CliRun run = Cli(command);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "{\"voice\":4,\"language\":\"en\",\"written\":\"Dr. Smith left at 10.30.\",\"spoken\":\"Doctor Smith left "
            "at ten thirty.\"}\n"
            "{\"voice\":4,\"language\":\"en\",\"written\":\"Call NASA.\",\"spoken\":\"Call N A S A.\"}\n"
            "{\"voice\":1,\"language\":\"zh\",\"written\":\"会议8:30开始。\",\"spoken\":\"会议八点三十分开始。\"}\n");
  EXPECT_NE(run.err.find("readings.txt:3: "), std::string::npos) << run.err;
  EXPECT_EQ(Cli(command + " >/dev/full").exitCode, 1);
  std::filesystem::remove(Data() / "readings.txt");
}

TEST_F(CliScriptTest, CompileOfAListeningDocumentPutsNothingIntoTheFolders) {
  const std::string lsn = testing::Lsn(testing::LsnMedia(2, u"clip.mp3", "DATA", 9), u"<音乐:clip.mp3>");
  WriteBytes(dir / "d.lsn", lsn);
  const CliRun run = Cli("compile " + P("d.lsn"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "{\"kind\":2,\"param\":9,\"chinese\":0,\"start\":0,\"end\":1,\"text\":\"clip.mp3\"}\n");
  // (convert puts them there, as the application does: RobustCliTest's Ctrl+C during convert.)
  EXPECT_FALSE(std::filesystem::exists(Data() / "Music" / "clip.mp3"));
}

// convert --recover keeps what a damaged document still holds and says what
// was lost. (Without it the document is refused: CliConventions.BadInputFailsAndWritesNothing.)
TEST_F(CliScriptTest, ConvertRecoverKeepsWhatCanBeRead) {
  const std::string textRecord = testing::LsnText(u"听第一段对话。<男>Hello.");
  // A recording record whose size runs past the document, then the text.
  std::string broken = testing::LsnMedia(3, u"gone.wav", "abc");
  broken.replace(broken.size() - 7, 4, testing::Le32(1000));
  struct Case {
    std::string bytes;
    int recovered;  // exit code with --recover
    const char* lost;
    std::u16string written;  // the text file written
  };
  const Case cases[] = {
      {std::string("lsn\x01", 4) + broken + textRecord, 0, "lost: gone.wav", u"听第一段对话。<男>Hello."},
      {std::string("lsn\x01", 4) + textRecord.substr(0, 8 + 14), 0, "lost: the end of the script text",
       u"听第一段对话。"},
      {std::string("lsn\x01", 4) + broken, 1, "lost: the script text", u""},
  };
  for (const Case& c : cases) {
    WriteBytes(dir / "bad.lsn", c.bytes);
    std::filesystem::remove(dir / "out.txt");
    const CliRun run = Cli("convert --recover " + P("bad.lsn") + " " + P("out.txt"));
    EXPECT_EQ(run.exitCode, c.recovered) << run.err;
    EXPECT_NE(run.err.find("文件已损坏"), std::string::npos);
    EXPECT_NE(run.err.find(c.lost), std::string::npos) << run.err;
    EXPECT_EQ(std::filesystem::exists(dir / "out.txt"), c.recovered == 0);
    if (c.recovered == 0) {
      EXPECT_EQ(ReadBytes(dir / "out.txt"), "\xFF\xFE" + ToUtf16Le(c.written));
    }
  }
}

}  // namespace
}  // namespace aurisona
