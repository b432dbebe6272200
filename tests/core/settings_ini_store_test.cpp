#include <gtest/gtest.h>

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

TEST(SettingsIniStore, AFailedWriteChangesNothing) {
  TempDir dir;
  // A directory standing at the file's place cannot be replaced by a file.
  std::filesystem::create_directory(dir / "taken.ini");
  IniStore taken(dir / "taken.ini");
  EXPECT_FALSE(taken.SetInt(u"设置", u"皮肤", 4));
  EXPECT_FALSE(taken.lastError().empty());
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.ini"));
  EXPECT_EQ(taken.GetInt(u"设置", u"皮肤", 9), 9);

  // A missing folder.
  IniStore nowhere(dir / "no" / "setup.ini");
  EXPECT_FALSE(nowhere.SetInt(u"设置", u"皮肤", 4));
  EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

}  // namespace
}  // namespace aurisona
