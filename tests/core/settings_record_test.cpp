#include <gtest/gtest.h>

#include <sstream>

#include "core/test_util.h"
#include "core/settings/settings_keys.h"
#include "core/settings/settings_record.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// Keys of section "设置" in file order.
std::vector<std::u16string> KeysInFile(const std::string& bytes) {
  std::vector<std::u16string> keys;
  std::istringstream in(bytes);
  bool inSettings = false;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with('[')) {
      inSettings = line == "[设置]";
    } else if (inSettings && line.find('=') != std::string::npos) {
      keys.push_back(Utf8ToUtf16(line.substr(0, line.find('='))));
    }
  }
  return keys;
}

TEST(SettingsRecord, MissingFileGivesTheDefaults) {
  TempDir dir;
  IniStore store(dir / "setup.ini");
  SettingsRecord r;
  r.voiceSlots[0].volume = 10;
  r.Load(store);
  EXPECT_EQ(r, SettingsRecord());
  EXPECT_EQ(r.VoiceSlotQuery(7), (VoiceSlot{u"VW Paul", 0, 100}));
  EXPECT_EQ(ReadSkin(store), 2);
  EXPECT_TRUE(ReadPanelShown(store));
  EXPECT_EQ(ReadPromptToneIndex(store), 0);
  EXPECT_TRUE(ReadFirstRun(store));
  EXPECT_FALSE(r.VoiceSlotQuery(0));
  EXPECT_FALSE(r.VoiceSlotQuery(9));
  EXPECT_TRUE(VoiceSlotKeysOf(0) == nullptr && VoiceSlotKeysOf(9) == nullptr);  // slots 1 to 8 only
  EXPECT_EQ(r.SlotAt(-1), nullptr);
}

TEST(SettingsRecord, LoadClampsAndReplacesValuesOutsideTheLists) {
  TempDir dir;
  WriteBytes(dir / "setup.ini",
             "[设置]\n男中音量=55\n女中音量=9\n男英音量=110\n女英音量=109\n男中音量_1=abc\n女中音量_1=-5\n"
             "男中速度=-10\n女中速度=11\n男英速度=-11\n女英速度=10\n"
             "文本增益=0\n音乐增益=5000\n录音增益=-3\n文本自动增益=0\n音乐指定增益=7\n"
             "音乐淡入淡出=0\n淡入淡出时间=25\n男中引擎=espeak Mandarin\n女英引擎_1=\n目标响度=-99\n响度均衡=5\n");
  SettingsRecord r;
  r.Load(IniStore(dir / "setup.ini"));
  // Volume 9 and 110 select nothing, 109 the last entry, "abc" reads 0.
  const int volumes[] = {50, 100, 100, 100, 100, 100}, rates[] = {-10, 0, 0, 10};
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(r.voiceSlots[i].volume, volumes[i]) << i;
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(r.voiceSlots[i].rate, rates[i]) << i;
  EXPECT_EQ(r.textGain, (GainGroup{1, false, true}));
  EXPECT_EQ(r.musicGain, (GainGroup{999, true, true}));
  EXPECT_EQ(r.recordingGain.percent, 1);
  EXPECT_FALSE(r.fadeOn);
  EXPECT_EQ(r.fadeSeconds, 25);
  EXPECT_EQ(r.voiceSlots[0].voice, u"espeak Mandarin");
  EXPECT_EQ(r.voiceSlots[7].voice, u"");  // present but empty is not the default
  EXPECT_EQ(r.loudnessTarget, kMinLoudnessTarget);
  EXPECT_TRUE(r.loudnessOn);
  WriteBytes(dir / "setup.ini", "[设置]\n目标响度=0\n");
  r.Load(IniStore(dir / "setup.ini"));
  EXPECT_EQ(r.loudnessTarget, kMaxLoudnessTarget);
}

TEST(SettingsRecord, SaveWritesEveryKeyInOrderInOneRewriteAndLoadsBack) {
  TempDir dir;
  IniStore store(dir / "setup.ini");
  ASSERT_TRUE(WriteSkin(store, 4));
  SettingsRecord r;
  r.voiceSlots[2] = VoiceSlot{u"English (America) 男", -3, 70};
  r.musicGain = GainGroup{350, false, true};
  r.fadeOn = false;
  r.fadeSeconds = 7;
  r.loudnessOn = true;
  r.loudnessTarget = -23;
  r.subtitlesOn = true;
  ASSERT_TRUE(r.Save(store));

  std::vector<std::u16string> expected = {u"皮肤",         u"文本自动增益", u"文本指定增益", u"文本增益",
                                          u"音乐自动增益", u"音乐指定增益", u"音乐增益",     u"录音自动增益",
                                          u"录音指定增益", u"录音增益",     u"音乐淡入淡出", u"淡入淡出时间"};
  for (int slot = 1; slot <= 8; ++slot) {
    const VoiceSlotKeys* k = VoiceSlotKeysOf(slot);
    expected.insert(expected.end(), {std::u16string(k->voice), std::u16string(k->speed), std::u16string(k->volume)});
  }
  expected.insert(expected.end(), {u"响度均衡", u"目标响度", u"输出字幕"});
  const std::string file = ReadBytes(dir / "setup.ini");
  EXPECT_EQ(KeysInFile(file), expected);
  EXPECT_NE(file.find("音乐指定增益=1\n音乐增益=350\n"), std::string::npos);
  EXPECT_NE(file.find("男英引擎=English (America) 男\n男英速度=-3\n男英音量=70\n"), std::string::npos);

  SettingsRecord back;
  back.Load(store);
  EXPECT_EQ(back, r);
  // A second save of the same record changes nothing.
  ASSERT_TRUE(back.Save(store));
  EXPECT_EQ(ReadBytes(dir / "setup.ini"), file);
}

TEST(SettingsRecord, SelectVoiceMatchesThePrefixIgnoringCase) {
  const std::vector<std::u16string> names = {u"Mandarin Male", u"eSpeak English Female",
                                             u"ESPEAK English Male"};
  EXPECT_EQ(SelectVoice(names, u"espeak english"), 1);
  EXPECT_EQ(SelectVoice(names, u"ESPEAK ENGLISH MALE"), 2);
  EXPECT_EQ(SelectVoice(names, u"VW Paul"), 0);
  EXPECT_EQ(SelectVoice(names, u"eSpeak English Female 22kHz"), 0);  // longer than any name
  EXPECT_EQ(SelectVoice(names, u""), 0);
  EXPECT_EQ(SelectVoice({}, u"VW Paul"), -1);
}

TEST(SettingsRecord, MainWindowValuesAreWrittenAtOnce) {
  TempDir dir;
  IniStore store(dir / "setup.ini");
  ASSERT_TRUE(WritePanelShown(store, false));
  ASSERT_TRUE(WriteFirstRun(store, false));
  ASSERT_TRUE(WritePromptToneIndex(store, 5));
  EXPECT_FALSE(ReadPanelShown(store));
  EXPECT_FALSE(ReadFirstRun(store));
  EXPECT_EQ(ReadPromptToneIndex(store), 5);
  EXPECT_EQ(ReadBytes(dir / "setup.ini"), "[设置]\n设置面板=0\n首次运行=0\n提示音=5\n");
}

}  // namespace
}  // namespace aurisona
