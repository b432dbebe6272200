#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "core/test_util.h"
#include "core/media/data_directory.h"
#include "core/media/media_library.h"
#include "core/media/sound_files.h"
#include "core/settings/ini_store.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::vector<std::u16string> Sorted(std::vector<std::u16string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(MediaDataDirectory, ResolutionOrder) {
  TempDir dir;
  const fs::path exe = dir / "bin";
  fs::create_directory(exe);
  EXPECT_EQ(DataDirectory::Resolve("/x/override", exe, "/xdg", "/home/u").root(), "/x/override");
  EXPECT_EQ(DataDirectory::Resolve({}, exe, "/xdg", "/home/u").root(), "/xdg/aurisona");
  EXPECT_EQ(DataDirectory::Resolve({}, exe, "relative/xdg", "/home/u").root(), "/home/u/.local/share/aurisona");
  EXPECT_EQ(DataDirectory::Resolve({}, exe, "", "/home/u").root(), "/home/u/.local/share/aurisona");
  EXPECT_EQ(DataDirectory::Resolve({}, exe, "", "").root(), exe);
  WriteBytes(exe / "setup.ini", "");
  EXPECT_EQ(DataDirectory::Resolve({}, exe, "/xdg", "/home/u").root(), exe);  // portable install
  EXPECT_EQ(DataDirectory::Resolve("/x/override", exe, "/xdg", "/home/u").root(), "/x/override");
}

TEST(MediaDataDirectory, EnsureMediaFoldersReportsNewFoldersAndKeepsOldOnes) {
  TempDir dir;
  const DataDirectory d(dir / "a" / "b");
  fs::create_directories(d.Record());
  WriteBytes(d.Record() / "take.wav", "RIFF");
  const CreatedFolders made = d.EnsureMediaFolders();
  EXPECT_FALSE(made.dataDirectory);
  EXPECT_TRUE(made.music);
  EXPECT_FALSE(made.record);
  EXPECT_TRUE(made.sound);
  EXPECT_EQ(ReadBytes(d.Record() / "take.wav"), "RIFF");
  const CreatedFolders again = d.EnsureMediaFolders();
  EXPECT_FALSE(again.dataDirectory || again.music || again.record || again.sound);

  const DataDirectory fresh(dir / "new");
  EXPECT_TRUE(fresh.EnsureMediaFolders().dataDirectory);
  // A file in the way: nothing is made, nothing fails loudly.
  WriteBytes(dir / "file", "x");
  const CreatedFolders blocked = DataDirectory(dir / "file").EnsureMediaFolders();
  EXPECT_FALSE(blocked.dataDirectory || blocked.music || blocked.record || blocked.sound);
}

TEST(MediaSoundFiles, ListsOnlyWavAndMp3FilesAndSkipsUndecodableNames) {
  TempDir dir;
  std::vector<std::u16string> list = {u"stale"};
  EXPECT_EQ(ListSoundFiles(dir / "missing", &list), 0u);
  EXPECT_TRUE(list.empty());

  WriteBytes(dir / "ding.wav", "");
  WriteBytes(dir / "Bell.MP3", "");
  WriteBytes(dir / "notes.txt", "");
  WriteBytes(dir / "wav", "");
  WriteBytes(dir / "\xE9t\xE9.wav", "");  // Latin-1 bytes, not UTF-8
  fs::create_directory(dir / "x.wav");
  fs::create_symlink(dir / "x.wav", dir / "link.mp3");       // to a directory
  fs::create_symlink(dir / "ding.wav", dir / "铃声.Wav");     // to a file
  EXPECT_EQ(ListSoundFiles(dir.path(), &list), 3u);
  EXPECT_EQ(Sorted(list), Sorted({u"ding.wav", u"Bell.MP3", u"铃声.Wav"}));
}

TEST(MediaSoundFiles, PlainFileNames) {
  for (std::u16string_view ok : {u"a.wav", u"录音 1.wav", u".hidden.mp3", u"a..b.mp3", u"a..", u"😀.wav"}) {
    EXPECT_TRUE(IsPlainFileName(ok)) << Utf16ToUtf8(ok);
  }
  for (std::u16string_view bad : {u"", u".", u"..", u"../a.wav", u"..a.wav", u"a/b.wav", u"a\\b.wav", u"/etc/x"}) {
    EXPECT_FALSE(IsPlainFileName(bad)) << Utf16ToUtf8(bad);
  }
  EXPECT_FALSE(IsPlainFileName(std::u16string(u"a\0b", 3)));
  EXPECT_FALSE(IsPlainFileName(std::u16string(1, char16_t(0xDC00))));
}

TEST(MediaSoundFiles, ToneMenuLabels) {
  const std::tuple<int, const char16_t*, const char16_t*> labels[] = {
      {0, u"ding.wav", u"ding(&1)"}, {1, u"Bell.MP3", u"Bell(&2)"}, {8, u"铃.mp3", u"铃(&9)"},
      {9, u"t.wav", u"t(&A)"},       {34, u"z.wav", u"z(&Z)"},      {35, u"more.wav", u"more"}};
  for (const auto& [index, name, label] : labels) EXPECT_EQ(ToneMenuLabel(index, name), label) << index;
}

class MediaLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { data.EnsureMediaFolders(); }
  TempDir dir;
  DataDirectory data{dir.path()};
};

TEST_F(MediaLibraryTest, ToneIndexRules) {
  // No tones: index -1, no current tone.
  WriteBytes(data.SetupIni(), "[设置]\n提示音=1\n");
  MediaLibrary empty(data);
  empty.Build();
  EXPECT_EQ(empty.promptToneIndex(), -1);
  EXPECT_TRUE(empty.currentPromptTone().empty());
  EXPECT_FALSE(empty.ChooseTone(0));

  // The stored tone is chosen; an index outside the list picks the first tone and leaves
  // the file alone.
  for (const char* t : {"a.wav", "b.mp3", "c.wav"}) WriteBytes(data.Sound() / t, "");
  const std::pair<const char*, int> stored[] = {{"2", 2}, {"5", 0}, {"-1", 0}, {"3", 0}, {"x", 0}};
  for (const auto& [text, index] : stored) {
    const std::string ini = std::string("[设置]\n提示音=") + text + "\n";
    WriteBytes(data.SetupIni(), ini);
    MediaLibrary lib(data);
    lib.Build();
    EXPECT_EQ(lib.promptToneIndex(), index) << text;
    EXPECT_EQ(lib.currentPromptTone(), MediaFilePath(data.Sound(), lib.tones()[size_t(index)]));
    EXPECT_EQ(ReadBytes(data.SetupIni()), ini);
  }

  MediaLibrary lib(data);
  lib.Build();
  bool saved = false;
  EXPECT_TRUE(lib.ChooseTone(2, &saved));
  EXPECT_TRUE(saved);
  EXPECT_EQ(lib.promptToneIndex(), 2);
  EXPECT_EQ(IniStore(data.SetupIni()).GetInt(u"设置", u"提示音", -9), 2);
  EXPECT_FALSE(lib.ChooseTone(3));
  EXPECT_FALSE(lib.ChooseTone(-1));
  EXPECT_EQ(lib.promptToneIndex(), 2);
  EXPECT_EQ(lib.currentPromptTone(), data.Sound() / Utf16ToUtf8(lib.tones()[2]));
}

TEST_F(MediaLibraryTest, SetPlayTimeWritesAtOnce) {
  WriteBytes(data.Music() / "歌 1.mp3", "");
  WriteBytes(data.Music() / "a=b.mp3", "");
  MediaLibrary lib(data);
  lib.Build();
  ASSERT_EQ(lib.lists().music.size(), 2u);
  const size_t song = lib.lists().music[0] == u"歌 1.mp3" ? 0 : 1;
  bool saved = false;
  EXPECT_TRUE(lib.SetPlayTime(song, 15, &saved));
  EXPECT_TRUE(saved);
  EXPECT_EQ(lib.lists().PlayTimeAt(song), 15);
  EXPECT_EQ(ReadBytes(data.SetupIni()), "[音乐播放时间]\n歌 1.mp3=15\n");
  // A name that cannot be a key keeps its play time in memory only.
  EXPECT_TRUE(lib.SetPlayTime(1 - song, 9, &saved));
  EXPECT_FALSE(saved);
  EXPECT_EQ(lib.lists().PlayTimeAt(1 - song), 9);
  EXPECT_FALSE(lib.SetPlayTime(2, 5));

  MediaLibrary again(data);
  again.Build();
  EXPECT_EQ(again.lists().PlayTimeAt(song), 15);
  EXPECT_EQ(again.lists().PlayTimeAt(1 - song), 0);
}

}  // namespace
}  // namespace aurisona
