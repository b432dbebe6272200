// setup.ini read robustly: one stray byte does not change the encoding of the
// whole file (GB18030 files are read in the store's own test), and a file that is no regular file is never read or replaced.
#include <gtest/gtest.h>

#include "core/settings/ini_store.h"
#include "test_util.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

TEST(RobustIniTest, OneInvalidByteInAUtf8FileKeepsEveryKeyAndLosesNothing) {
  TempDir dir;
  // A UTF-8 file whose comment lost one byte of a character (\xE8 alone).
  const std::string original =
      "; 设置文件 \xE8 comment\r\n[设置]\r\n男声=普通话男声\r\n语速=3\r\n[音乐播放时间]\r\ntheme.mp3=20\r\n";
  WriteBytes(dir / "setup.ini", original);
  IniStore store(dir / "setup.ini");
  EXPECT_EQ(store.GetString(u"设置", u"男声", u""), u"普通话男声");
  EXPECT_EQ(store.GetInt(u"设置", u"语速", 0), 3);
  EXPECT_EQ(store.GetInt(u"音乐播放时间", u"theme.mp3", 0), 20);

  ASSERT_TRUE(store.SetInt(u"设置", u"语速", 5));
  const std::string rewritten = ReadBytes(dir / "setup.ini");
  std::string expected = original;
  expected.replace(expected.find("语速=3"), std::string("语速=3").size(), "语速=5");
  EXPECT_EQ(rewritten, expected);  // the damaged comment keeps its bytes
  EXPECT_EQ(store.GetString(u"设置", u"男声", u""), u"普通话男声");
}

TEST(RobustIniTest, ALinkToADeviceIsNeitherReadNorReplaced) {
  TempDir dir;
  fs::create_symlink("/dev/zero", dir / "setup.ini");
  IniStore store(dir / "setup.ini");
  EXPECT_EQ(store.GetInt(u"设置", u"语速", 7), 7);
  EXPECT_FALSE(store.SetInt(u"设置", u"语速", 1));
  EXPECT_NE(store.lastError().find("left as it is"), std::string::npos) << store.lastError();
  EXPECT_TRUE(fs::is_symlink(dir / "setup.ini"));
  EXPECT_TRUE(fs::is_character_file("/dev/zero"));
}

TEST(RobustIniTest, PlayTimeKeysSpeltExactlyComeFirst) {
  IniDocument doc = IniDocument::Parse("[音乐播放时间]\na.mp3=5\nA.mp3=7\n");
  EXPECT_EQ(doc.GetInt(u"音乐播放时间", u"A.mp3", 0), 7);
  EXPECT_EQ(doc.GetInt(u"音乐播放时间", u"a.mp3", 0), 5);
  EXPECT_EQ(doc.GetInt(u"音乐播放时间", u"A.MP3", 0), 5);  // else the first that differs in case
  ASSERT_TRUE(doc.SetInt(u"音乐播放时间", u"A.mp3", 9));
  EXPECT_EQ(doc.Serialize(), "[音乐播放时间]\na.mp3=5\nA.mp3=9\n");
}

}  // namespace
}  // namespace aurisona
