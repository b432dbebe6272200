// Sections and keys of setup.ini, with their types and defaults, in one table.
#pragma once

#include <span>
#include <string_view>

namespace aurisona {

inline constexpr std::u16string_view kSettingsSection = u"设置";
inline constexpr std::u16string_view kPlayTimeSection = u"音乐播放时间";

// Keys of section "设置" that are not per voice slot.
namespace setting_keys {
inline constexpr std::u16string_view kSkin = u"皮肤";
inline constexpr std::u16string_view kFirstRun = u"首次运行";
inline constexpr std::u16string_view kPanelShown = u"设置面板";
inline constexpr std::u16string_view kPromptTone = u"提示音";
inline constexpr std::u16string_view kTextAutoGain = u"文本自动增益";
inline constexpr std::u16string_view kTextFixedGain = u"文本指定增益";
inline constexpr std::u16string_view kTextGain = u"文本增益";
inline constexpr std::u16string_view kMusicAutoGain = u"音乐自动增益";
inline constexpr std::u16string_view kMusicFixedGain = u"音乐指定增益";
inline constexpr std::u16string_view kMusicGain = u"音乐增益";
inline constexpr std::u16string_view kRecordingAutoGain = u"录音自动增益";
inline constexpr std::u16string_view kRecordingFixedGain = u"录音指定增益";
inline constexpr std::u16string_view kRecordingGain = u"录音增益";
inline constexpr std::u16string_view kFadeOn = u"音乐淡入淡出";
inline constexpr std::u16string_view kFadeSeconds = u"淡入淡出时间";
// Keys this program adds; tools that know only the keys above ignore them.
inline constexpr std::u16string_view kLoudnessOn = u"响度均衡";
inline constexpr std::u16string_view kLoudnessTarget = u"目标响度";
inline constexpr std::u16string_view kSubtitlesOn = u"输出字幕";
// The piece cache's size limit in MB (0: no cache).
inline constexpr std::u16string_view kPieceCacheLimit = u"缓存上限";
}  // namespace setting_keys

enum class SettingType { kInteger, kFlag, kString };

struct SettingKey {
  std::u16string_view key;
  SettingType type;
  int intDefault;                    // integers and flags
  std::u16string_view stringDefault;  // strings
};

// Voice slots: 1 Chinese male, 2 Chinese female, 3 English male, 4 English
// female of voice set 0, then 5..8 the same for voice set 1.
inline constexpr int kVoiceSlotCount = 8;

struct VoiceSlotKeys {
  std::u16string_view voice;   // "…引擎"
  std::u16string_view speed;   // "…速度"
  std::u16string_view volume;  // "…音量"
  std::u16string_view defaultVoice;
};

inline constexpr int kDefaultRate = 0;
inline constexpr int kDefaultVolume = 100;
// Loudness normalisation: the target in LUFS (whole units) and its range.
inline constexpr int kDefaultLoudnessTarget = -16;
inline constexpr int kMinLoudnessTarget = -36;
inline constexpr int kMaxLoudnessTarget = -9;

// The keys of slot 1..8; nullptr outside that range.
const VoiceSlotKeys* VoiceSlotKeysOf(int slot);

// Every key of section "设置": the four main-window keys, then per kind the
// eight voices, eight speeds and eight volumes, then gains and fade.
std::span<const SettingKey> SettingsKeyTable();
// The table entry of a key (exact match), or nullptr.
const SettingKey* FindSettingKey(std::u16string_view key);
// The integer default of a key of the table; 0 for keys not in it.
int SettingIntDefault(std::u16string_view key);

}  // namespace aurisona
