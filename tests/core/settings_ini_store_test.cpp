#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/test_util.h"
#include "core/settings/ini_store.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

TEST(SettingsIniStore, MissingFileReadsDefaultsAndFirstWriteCreatesIt) {
  TempDir dir;
  IniStore store(dir / "setup.ini");
  EXPECT_EQ(store.GetInt(u"设置", u"皮肤", 2), 2);
  EXPECT_EQ(store.GetString(u"设置", u"男中引擎", u"VW Liang"), u"VW Liang");
  ASSERT_TRUE(store.SetString(u"设置", u"男中引擎", u"中文 Voice 名"));
  ASSERT_TRUE(store.SetInt(u"音乐播放时间", u"歌曲 一.mp3", -20));
  EXPECT_EQ(ReadBytes(dir / "setup.ini"),
            "[设置]\n男中引擎=中文 Voice 名\n\n[音乐播放时间]\n歌曲 一.mp3=-20\n");
  EXPECT_EQ(store.GetString(u"设置", u"男中引擎", u""), u"中文 Voice 名");
  EXPECT_EQ(store.GetInt(u"音乐播放时间", u"歌曲 一.mp3", 0), -20);
}

TEST(SettingsIniStore, IntegerReadsTakeTheLeadingNumber) {
  TempDir dir;
  WriteBytes(dir / "setup.ini", "[设置]\na=55\nb=abc\nc=-7x\nd=\ne= 12 \nf=99999999999\n");
  IniStore store(dir / "setup.ini");
  const std::pair<const char16_t*, int> reads[] = {{u"a", 55}, {u"b", 0}, {u"c", -7},        {u"d", 0},
                                                   {u"e", 12}, {u"f", 2147483647}, {u"missing", 1}};
  for (const auto& [key, value] : reads) EXPECT_EQ(store.GetInt(u"设置", key, 1), value) << Utf16ToUtf8(key);
  EXPECT_EQ(store.GetInt(u"其他", u"a", 42), 42);
}

TEST(SettingsIniStore, NamesIgnoreAsciiCaseAndFirstDuplicateWins) {
  IniDocument doc = IniDocument::Parse(
      "  [Setup] ; note\r\n Voice = Paul \r\nvoice=second\r\n[setup]\r\nOther=1\r\n[Ｓ]\r\nk=1\r\n");
  EXPECT_EQ(doc.GetString(u"SETUP", u"VOICE", u""), u"Paul");
  EXPECT_EQ(doc.GetInt(u"setup", u"other", 7), 7);  // only the first section counts
  EXPECT_EQ(doc.GetInt(u"ｓ", u"k", 7), 7);         // full-width letters are not folded
  ASSERT_TRUE(doc.SetString(u"setup", u"VOICE", u"Julie"));
  // The key keeps its spelling and the line ending; everything else is untouched.
  EXPECT_EQ(doc.Serialize(),
            "  [Setup] ; note\r\n Voice =Julie\r\nvoice=second\r\n[setup]\r\nOther=1\r\n[Ｓ]\r\nk=1\r\n");
}

TEST(SettingsIniStore, RewriteKeepsOtherLinesAndAddsKeysAtTheEndOfTheirSection) {
  TempDir dir;
  const std::string before =
      "; 注释\nstray line\n[设置]\n皮肤=3\n# not a comment, no key\n\n\n[音乐播放时间]\na.mp3=5";
  WriteBytes(dir / "setup.ini", before);
  IniStore store(dir / "setup.ini");
  ASSERT_TRUE(store.SetInt(u"设置", u"提示音", 4));
  ASSERT_TRUE(store.SetInt(u"音乐播放时间", u"b.wav", 9));
  EXPECT_EQ(ReadBytes(dir / "setup.ini"),
            "; 注释\nstray line\n[设置]\n皮肤=3\n# not a comment, no key\n提示音=4\n\n\n"
            "[音乐播放时间]\na.mp3=5\nb.wav=9\n");
}

TEST(SettingsIniStore, ValuesRoundTripExactlyAndCannotInjectLines) {
  IniDocument doc;
  const std::u16string values[] = {u"",   u"  padded  ", u"\"quoted\"", u"\"", u"a=b;c[d]", u"\t",
                                   u"x\"", u"\"\"",        u"😀 emoji"};
  for (const std::u16string& v : values) {
    ASSERT_TRUE(doc.SetString(u"s", u"k", v));
    EXPECT_EQ(doc.GetString(u"s", u"k", u"default"), v);
    EXPECT_EQ(IniDocument::Parse(doc.Serialize()).GetString(u"s", u"k", u"default"), v);
  }
  const std::string before = doc.Serialize();
  EXPECT_FALSE(doc.SetString(u"s", u"k", u"x\n[evil]\nk=1"));
  EXPECT_FALSE(doc.SetString(u"s", u"k", u"x\ry"));
  EXPECT_FALSE(doc.SetString(u"s", u"k", std::u16string(u"a\0b", 3)));
  EXPECT_FALSE(doc.SetString(u"s", u"k", std::u16string(1, char16_t(0xD800))));
  EXPECT_FALSE(doc.SetString(u"s", u"a=b", u"1"));
  EXPECT_FALSE(doc.SetString(u"s", u";c", u"1"));
  EXPECT_FALSE(doc.SetString(u"s", u"[x] ;y", u"1"));
  EXPECT_FALSE(doc.SetString(u"s", u" k", u"1"));
  EXPECT_FALSE(doc.SetString(u"s", u"", u"1"));
  EXPECT_FALSE(doc.SetString(u"a]b", u"k", u"1"));
  EXPECT_FALSE(doc.SetString(u"", u"k", u"1"));
  EXPECT_EQ(doc.Serialize(), before);
  // A key that merely starts with a bracket is fine.
  ASSERT_TRUE(doc.SetInt(u"s", u"[01] 歌.mp3", 30));
  EXPECT_EQ(IniDocument::Parse(doc.Serialize()).GetInt(u"s", u"[01] 歌.mp3", 0), 30);
}

TEST(SettingsIniStore, ReadsBomsUtf16AndGb18030AndWritesPlainUtf8) {
  TempDir dir;
  const std::u16string text = u"[设置]\r\n男中引擎=VW 梁\r\n";
  WriteBytes(dir / "u16.ini", "\xFF\xFE" + ToUtf16Le(text));
  WriteBytes(dir / "bom.ini", "\xEF\xBB\xBF" + Utf16ToUtf8(text));
  WriteBytes(dir / "gb.ini", "[\xC9\xE8\xD6\xC3]\r\n\xC4\xD0\xD6\xD0\xD2\xFD\xC7\xE6=VW \xC1\xBA\r\n");
  for (const char* name : {"u16.ini", "bom.ini", "gb.ini"}) {
    IniStore store(dir / name);
    EXPECT_EQ(store.GetString(u"设置", u"男中引擎", u""), u"VW 梁") << name;
    ASSERT_TRUE(store.SetInt(u"设置", u"皮肤", 3)) << name;
    EXPECT_EQ(ReadBytes(dir / name), "[设置]\r\n男中引擎=VW 梁\r\n皮肤=3\r\n") << name;
  }
}

TEST(SettingsIniStore, BatchEqualsTheSequenceOfSingleWrites) {
  TempDir dir;
  const std::string start = "[b]\nx=1\n[a]\n";
  WriteBytes(dir / "one.ini", start);
  WriteBytes(dir / "many.ini", start);
  IniBatch batch;
  batch.SetInt(u"a", u"k1", 1);
  batch.SetString(u"b", u"x", u"two");
  batch.SetString(u"c", u"bad=key", u"3");  // refused, the others still go in
  batch.SetInt(u"c", u"k3", 3);
  batch.SetInt(u"A", u"K1", 4);
  IniStore one(dir / "one.ini");
  bool allSingles = true;
  for (const IniWrite& w : batch.writes()) allSingles = one.SetString(w.section, w.key, w.value) && allSingles;
  IniStore many(dir / "many.ini");
  EXPECT_EQ(many.Write(batch), allSingles);
  EXPECT_FALSE(allSingles);
  EXPECT_EQ(ReadBytes(dir / "many.ini"), ReadBytes(dir / "one.ini"));
  EXPECT_EQ(ReadBytes(dir / "many.ini"), "[b]\nx=two\n[a]\nk1=4\n\n[c]\nk3=3\n");
}

TEST(SettingsIniStore, FailedWriteLeavesTheOldFileWhole) {
  TempDir dir;
  const std::string old = "[设置]\n皮肤=3\n";
  // A directory standing at the file's place cannot be replaced by a file.
  std::filesystem::create_directory(dir / "taken.ini");
  IniStore taken(dir / "taken.ini");
  EXPECT_FALSE(taken.SetInt(u"设置", u"皮肤", 4));
  EXPECT_FALSE(taken.lastError().empty());
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.ini"));
  EXPECT_EQ(taken.GetInt(u"设置", u"皮肤", 9), 9);

  // A folder that cannot be written in.
  std::filesystem::create_directory(dir / "ro");
  WriteBytes(dir / "ro" / "setup.ini", old);
  std::filesystem::permissions(dir / "ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  IniStore store(dir / "ro" / "setup.ini");
  if (geteuid() != 0) {  // root writes anyway
    EXPECT_FALSE(store.SetInt(u"设置", u"皮肤", 4));
    EXPECT_EQ(ReadBytes(dir / "ro" / "setup.ini"), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "ro"), {}), 1);  // no temp file left
  }
  std::filesystem::permissions(dir / "ro", std::filesystem::perms::owner_all);

  // A missing folder.
  IniStore nowhere(dir / "no" / "setup.ini");
  EXPECT_FALSE(nowhere.SetInt(u"设置", u"皮肤", 4));
  EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

TEST(SettingsIniStore, UnreadableFileIsNeverOverwritten) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  TempDir dir;
  WriteBytes(dir / "setup.ini", "[设置]\n皮肤=3\n");
  std::filesystem::permissions(dir / "setup.ini", std::filesystem::perms::none);
  IniStore store(dir / "setup.ini");
  EXPECT_EQ(store.GetInt(u"设置", u"皮肤", 2), 2);
  EXPECT_FALSE(store.SetInt(u"设置", u"皮肤", 4));
  std::filesystem::permissions(dir / "setup.ini", std::filesystem::perms::owner_read);
  EXPECT_EQ(ReadBytes(dir / "setup.ini"), "[设置]\n皮肤=3\n");
}

TEST(SettingsIniStore, OddBytesParseAndSerializeBack) {
  // Lone CRs, NULs, invalid UTF-8 in a UTF-16 file, a truncated BOM: no crash,
  // and an untouched document serializes to its UTF-8 text.
  const std::string inputs[] = {std::string("[s]\rk=1\r\r", 9), std::string("[s]\0k=2\n", 8), "\xFF\xFE[\x00",
                                "\xEF\xBB", "[", "=", "[]\n=\n"};
  for (const std::string& in : inputs) {
    IniDocument doc = IniDocument::Parse(in);
    const std::string text = doc.Serialize();
    EXPECT_EQ(IniDocument::Parse(text).Serialize(), text);
    EXPECT_TRUE(doc.SetInt(u"s", u"k", 5));
    EXPECT_EQ(IniDocument::Parse(doc.Serialize()).GetInt(u"s", u"k", 0), 5);
  }
  EXPECT_EQ(IniDocument::Parse("[s]\rk=1\r\r").GetInt(u"s", u"k", 0), 1);
}

}  // namespace
}  // namespace aurisona
