#include "core/settings/settings_keys.h"

#include <array>
#include <vector>

namespace aurisona {

namespace {

constexpr std::array<VoiceSlotKeys, kVoiceSlotCount> kSlotKeys = {{
    {u"男中引擎", u"男中速度", u"男中音量", u"VW Liang"},
    {u"女中引擎", u"女中速度", u"女中音量", u"VW Hui"},
    {u"男英引擎", u"男英速度", u"男英音量", u"VW Paul"},
    {u"女英引擎", u"女英速度", u"女英音量", u"VW Julie"},
    {u"男中引擎_1", u"男中速度_1", u"男中音量_1", u"VW Liang"},
    {u"女中引擎_1", u"女中速度_1", u"女中音量_1", u"VW Hui"},
    {u"男英引擎_1", u"男英速度_1", u"男英音量_1", u"VW Paul"},
    {u"女英引擎_1", u"女英速度_1", u"女英音量_1", u"VW Julie"},
}};

std::vector<SettingKey> BuildTable() {
  using namespace setting_keys;
  std::vector<SettingKey> t = {
      {kSkin, SettingType::kInteger, 2, {}},
      {kFirstRun, SettingType::kInteger, 1, {}},
      {kPanelShown, SettingType::kInteger, 1, {}},
      {kPromptTone, SettingType::kInteger, 0, {}},
  };
  for (const VoiceSlotKeys& k : kSlotKeys) t.push_back({k.voice, SettingType::kString, 0, k.defaultVoice});
  for (const VoiceSlotKeys& k : kSlotKeys) t.push_back({k.speed, SettingType::kInteger, kDefaultRate, {}});
  for (const VoiceSlotKeys& k : kSlotKeys) t.push_back({k.volume, SettingType::kInteger, kDefaultVolume, {}});
  const SettingKey rest[] = {
      {kTextAutoGain, SettingType::kFlag, 1, {}},      {kTextFixedGain, SettingType::kFlag, 1, {}},
      {kTextGain, SettingType::kInteger, 200, {}},     {kMusicAutoGain, SettingType::kFlag, 1, {}},
      {kMusicFixedGain, SettingType::kFlag, 1, {}},    {kMusicGain, SettingType::kInteger, 200, {}},
      {kRecordingAutoGain, SettingType::kFlag, 1, {}}, {kRecordingFixedGain, SettingType::kFlag, 1, {}},
      {kRecordingGain, SettingType::kInteger, 200, {}}, {kFadeOn, SettingType::kFlag, 1, {}},
      {kFadeSeconds, SettingType::kInteger, 3, {}},
      {kLoudnessOn, SettingType::kFlag, 0, {}},
      {kLoudnessTarget, SettingType::kInteger, kDefaultLoudnessTarget, {}},
      {kSubtitlesOn, SettingType::kFlag, 0, {}},
      {kPieceCacheLimit, SettingType::kInteger, 1024, {}},
  };
  t.insert(t.end(), std::begin(rest), std::end(rest));
  return t;
}

}  // namespace

const VoiceSlotKeys* VoiceSlotKeysOf(int slot) {
  if (slot < 1 || slot > kVoiceSlotCount) return nullptr;
  return &kSlotKeys[static_cast<size_t>(slot - 1)];
}

std::span<const SettingKey> SettingsKeyTable() {
  static const std::vector<SettingKey> table = BuildTable();
  return table;
}

const SettingKey* FindSettingKey(std::u16string_view key) {
  for (const SettingKey& k : SettingsKeyTable()) {
    if (k.key == key) return &k;
  }
  return nullptr;
}

int SettingIntDefault(std::u16string_view key) {
  const SettingKey* k = FindSettingKey(key);
  return k ? k->intDefault : 0;
}

}  // namespace aurisona
