// Document templates: the names a teacher may give one, the placeholders, and
// templates listed and written out through aurisona-cli.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/test_util.h"
#include "support/cli_suite.h"
#include "core/files/templates.h"
#include "core/output/timeline.h"
#include "core/script/memory_document.h"
#include "core/script/tagged_text.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

TEST(TemplateNameTest, OnlyPlainFileNamesThatAreNotBundledOnesAreTaken) {
  const struct {
    std::u16string name;
    TemplateNameProblem problem;
  } cases[] = {
      {u"期末听力 2024", TemplateNameProblem::kNone},
      {u"", TemplateNameProblem::kEmpty},
      {std::u16string(64, u'听'), TemplateNameProblem::kNone},
      {std::u16string(65, u'听'), TemplateNameProblem::kTooLong},
      {u"../x", TemplateNameProblem::kBadCharacter},
      {u".hidden", TemplateNameProblem::kBadCharacter},
      {u"a:b?", TemplateNameProblem::kBadCharacter},
      {u"Dictation", TemplateNameProblem::kBundledName},
      {u"英语听写", TemplateNameProblem::kBundledName},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckTemplateName(c.name), c.problem) << Utf16ToUtf8(c.name);
    EXPECT_EQ(TemplateNameMessage(c.problem).empty(), c.problem == TemplateNameProblem::kNone);
  }
}

TEST(TemplatePlaceholderTest, BracketsMarkSpansUpToTheirCloseOrTheLineEnd) {
  const struct {
    std::u16string text;
    std::vector<std::pair<int, int>> spans;
  } cases[] = {
      {u"W:【Say it.】 M:【Answer.】", {{2, 11}, {14, 23}}},
      {u"a【open\rnext】", {{1, 6}}},
      {u"【】 and 【", {{7, 8}}},
      {u"x【tail", {{1, 6}}},
  };
  for (const auto& c : cases) EXPECT_EQ(FindPlaceholders(c.text), c.spans) << Utf16ToUtf8(c.text);
  // A placeholder's close is not a sentence of its own, though the compiler
  // sets it apart by a blank.
  std::vector<std::u16string> sentences;
  for (const SentenceSpan& s : SplitSentences(u" 【Say it. 】\r 【第二句。】")) sentences.push_back(s.text);
  EXPECT_EQ(sentences, (std::vector<std::u16string>{u"【Say it. 】", u"【第二句。】"}));
}

// A teacher's own template: saved into the folder, listed after the bundled
// ones, loaded back with its mark; odd files beside it are left out; a second
// save of the name replaces it.
TEST(OwnTemplateTest, SavedListedLoadedAndReplaced) {
  TempDir dir;
  const fs::path folder = dir / "Templates";
  MediaLists lists;
  DocumentMedia media{dir / "Music", dir / "Record", &lists, {}, true};
  MemoryScriptDocument doc;
  TaggedTextReader(doc, lists, u"<女>第一版。<暂停2秒>", false, false);
  ASSERT_TRUE(SaveTemplate(folder, u"期末 A", doc, media).ok);
  EXPECT_FALSE(SaveTemplate(folder, u"../escape", doc, media).ok);
  WriteBytes(folder / ".hidden.lsn", "x");
  WriteBytes(folder / "notes.doc", "x");
  fs::create_directories(folder / "folder.lsn");

  std::vector<DocumentTemplate> list = ListTemplates(folder);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_TRUE(list[0].bundled && list[1].bundled && list[2].bundled);
  EXPECT_EQ(list[3].title, u"期末 A");
  EXPECT_EQ(FindTemplate(list, "期末 a"), &list[3]);
  EXPECT_EQ(FindTemplate(list, "NATIONAL"), &list[0]);

  doc.SelectAll();
  TaggedTextReader(doc, lists, u"<男>第二版。", false, false);
  ASSERT_TRUE(SaveTemplate(folder, u"期末 A", doc, media).ok);
  list = ListTemplates(folder);
  ASSERT_EQ(list.size(), 4u);
  MemoryScriptDocument loaded;
  ASSERT_EQ(LoadTemplate(list[3], loaded, media).status, OpenStatus::kOpened);
  EXPECT_EQ(TaggedTextForFile(loaded, lists), TaggedTextForFile(doc, lists));
  // The template and the three odd entries: no temporary file is left.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 4);
}

using TemplateCliTest = testing::CliSuite;

TEST_F(TemplateCliTest, TemplatesListsAndNewWritesWithoutOverwriting) {
  CliRun run = Cli("templates");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Count(run.out, "\"bundled\":true"), 3u) << run.out;
  EXPECT_NE(run.out.find("{\"name\":\"dictation\",\"title\":\"英语听写\",\"bundled\":true"), std::string::npos);

  ASSERT_EQ(Cli("new dictation " + P("a.txt")).exitCode, 0);
  EXPECT_EQ(Count(Utf16ToUtf8(FromUtf16Le(ReadBytes(dir / "a.txt").substr(2))), "<重复1:3>\r\n<男>【Type the "), 5u);

  // An existing file stays unless --force; an unknown template is named.
  WriteBytes(dir / "keep.lsn", "mine");
  run = Cli("new middle " + P("keep.lsn"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("--force"), std::string::npos) << run.err;
  EXPECT_EQ(ReadBytes(dir / "keep.lsn"), "mine");
  run = Cli("new nosuch " + P("b.lsn"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("no template called \"nosuch\""), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir / "b.lsn"));
  run = Cli("new 中考英语听力 " + P("keep.lsn") + " --force");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadBytes(dir / "keep.lsn").substr(0, 4), std::string("lsn\x01", 4));

  // A document saved as the teacher's own template is listed and written out.
  fs::create_directories(Data() / "Templates");
  fs::copy_file(dir / "keep.lsn", Data() / "Templates" / "我的中考.lsn");
  EXPECT_NE(Cli("templates").out.find("{\"name\":\"我的中考\",\"title\":\"我的中考\",\"bundled\":false"), std::string::npos);
  run = Cli("new 我的中考 " + P("c.lsn"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadBytes(dir / "c.lsn"), ReadBytes(dir / "keep.lsn"));
}

}  // namespace
}  // namespace aurisona
