#include "core/settings/settings_record.h"

#include <algorithm>

#include "core/util/text.h"

namespace aurisona {

namespace {

using namespace setting_keys;

struct GainKeys {
  std::u16string_view automatic;
  std::u16string_view fixed;
  std::u16string_view percent;
};

constexpr GainKeys kTextGainKeys{kTextAutoGain, kTextFixedGain, kTextGain};
constexpr GainKeys kMusicGainKeys{kMusicAutoGain, kMusicFixedGain, kMusicGain};
constexpr GainKeys kRecordingGainKeys{kRecordingAutoGain, kRecordingFixedGain, kRecordingGain};

int ReadInt(const IniDocument& doc, std::u16string_view key) {
  return doc.GetInt(kSettingsSection, key, SettingIntDefault(key));
}

GainGroup DefaultGain(const GainKeys& keys) {
  return GainGroup{SettingIntDefault(keys.percent), SettingIntDefault(keys.automatic) != 0,
                   SettingIntDefault(keys.fixed) != 0};
}

GainGroup LoadGain(const IniDocument& doc, const GainKeys& keys) {
  GainGroup g;
  g.automatic = ReadInt(doc, keys.automatic) != 0;
  g.fixed = ReadInt(doc, keys.fixed) != 0;
  g.percent = std::clamp(ReadInt(doc, keys.percent), kMinGainPercent, kMaxGainPercent);
  return g;
}

void SaveGain(IniBatch* batch, const GainKeys& keys, const GainGroup& g) {
  batch->SetInt(kSettingsSection, keys.automatic, g.automatic ? 1 : 0);
  batch->SetInt(kSettingsSection, keys.fixed, g.fixed ? 1 : 0);
  batch->SetInt(kSettingsSection, keys.percent, g.percent);
}

bool StartsWithIgnoreAsciiCase(std::u16string_view s, std::u16string_view prefix) {
  return s.size() >= prefix.size() && EqualsIgnoreAsciiCase(s.substr(0, prefix.size()), prefix);
}

}  // namespace

SettingsRecord::SettingsRecord()
    : textGain(DefaultGain(kTextGainKeys)),
      musicGain(DefaultGain(kMusicGainKeys)),
      recordingGain(DefaultGain(kRecordingGainKeys)),
      fadeOn(SettingIntDefault(kFadeOn) != 0),
      fadeSeconds(SettingIntDefault(kFadeSeconds)) {
  for (int slot = 1; slot <= kVoiceSlotCount; ++slot) {
    const VoiceSlotKeys* keys = VoiceSlotKeysOf(slot);
    voiceSlots[static_cast<size_t>(slot - 1)] =
        VoiceSlot{std::u16string(keys->defaultVoice), SettingIntDefault(keys->speed), SettingIntDefault(keys->volume)};
  }
}

std::optional<VoiceSlot> SettingsRecord::VoiceSlotQuery(int slot) const {
  if (slot < 1 || slot > kVoiceSlotCount) return std::nullopt;
  return voiceSlots[static_cast<size_t>(slot - 1)];
}

VoiceSlot* SettingsRecord::SlotAt(int slot) {
  if (slot < 1 || slot > kVoiceSlotCount) return nullptr;
  return &voiceSlots[static_cast<size_t>(slot - 1)];
}

void SettingsRecord::Load(const IniStore& store) { Load(store.Snapshot()); }

void SettingsRecord::Load(const IniDocument& doc) {
  // Volumes: the 10..100 list selects position value / 10 - 1 (truncating).
  for (int slot = 1; slot <= kVoiceSlotCount; ++slot) {
    const VoiceSlotKeys* keys = VoiceSlotKeysOf(slot);
    const int position = ReadInt(doc, keys->volume) / kVolumeStep - 1;
    const int positions = (kMaxVolume - kMinVolume) / kVolumeStep + 1;
    SlotAt(slot)->volume =
        (position >= 0 && position < positions) ? (position + 1) * kVolumeStep : SettingIntDefault(keys->volume);
  }
  for (int slot = 1; slot <= kVoiceSlotCount; ++slot) {
    const VoiceSlotKeys* keys = VoiceSlotKeysOf(slot);
    const int rate = ReadInt(doc, keys->speed);
    SlotAt(slot)->rate = (rate >= kMinRate && rate <= kMaxRate) ? rate : SettingIntDefault(keys->speed);
  }
  textGain = LoadGain(doc, kTextGainKeys);
  musicGain = LoadGain(doc, kMusicGainKeys);
  recordingGain = LoadGain(doc, kRecordingGainKeys);
  fadeOn = ReadInt(doc, kFadeOn) != 0;
  fadeSeconds = ReadInt(doc, kFadeSeconds);
  loudnessOn = ReadInt(doc, kLoudnessOn) != 0;
  loudnessTarget = std::clamp(ReadInt(doc, kLoudnessTarget), kMinLoudnessTarget, kMaxLoudnessTarget);
  subtitlesOn = ReadInt(doc, kSubtitlesOn) != 0;
  for (int slot = 1; slot <= kVoiceSlotCount; ++slot) {
    const VoiceSlotKeys* keys = VoiceSlotKeysOf(slot);
    SlotAt(slot)->voice = doc.GetString(kSettingsSection, keys->voice, keys->defaultVoice);
  }
}

void SettingsRecord::AppendSave(IniBatch* batch) const {
  SaveGain(batch, kTextGainKeys, textGain);
  SaveGain(batch, kMusicGainKeys, musicGain);
  SaveGain(batch, kRecordingGainKeys, recordingGain);
  batch->SetInt(kSettingsSection, kFadeOn, fadeOn ? 1 : 0);
  batch->SetInt(kSettingsSection, kFadeSeconds, fadeSeconds);
  for (int slot = 1; slot <= kVoiceSlotCount; ++slot) {
    const VoiceSlotKeys* keys = VoiceSlotKeysOf(slot);
    const VoiceSlot s = *VoiceSlotQuery(slot);
    batch->SetString(kSettingsSection, keys->voice, s.voice);
    batch->SetInt(kSettingsSection, keys->speed, s.rate);
    batch->SetInt(kSettingsSection, keys->volume, s.volume);
  }
  // This program's own keys come last, after the keys every reader knows.
  batch->SetInt(kSettingsSection, kLoudnessOn, loudnessOn ? 1 : 0);
  batch->SetInt(kSettingsSection, kLoudnessTarget, loudnessTarget);
  batch->SetInt(kSettingsSection, kSubtitlesOn, subtitlesOn ? 1 : 0);
}

bool SettingsRecord::Save(IniStore& store) const {
  IniBatch batch;
  AppendSave(&batch);
  return store.Write(batch);
}

int SelectVoice(const std::vector<std::u16string>& names, std::u16string_view stored) {
  if (names.empty()) return -1;
  for (size_t i = 0; i < names.size(); ++i) {
    if (StartsWithIgnoreAsciiCase(names[i], stored)) return static_cast<int>(i);
  }
  return 0;
}

int ReadSkin(const IniStore& store) { return store.GetInt(kSettingsSection, kSkin, SettingIntDefault(kSkin)); }
bool WriteSkin(IniStore& store, int skin) { return store.SetInt(kSettingsSection, kSkin, skin); }

bool ReadPanelShown(const IniStore& store) {
  return store.GetInt(kSettingsSection, kPanelShown, SettingIntDefault(kPanelShown)) != 0;
}
bool WritePanelShown(IniStore& store, bool shown) { return store.SetInt(kSettingsSection, kPanelShown, shown ? 1 : 0); }

int ReadPromptToneIndex(const IniStore& store) {
  return store.GetInt(kSettingsSection, kPromptTone, SettingIntDefault(kPromptTone));
}
bool WritePromptToneIndex(IniStore& store, int index) { return store.SetInt(kSettingsSection, kPromptTone, index); }

uint64_t ReadPieceCacheLimit(const IniStore& store) {
  const int mb = store.GetInt(kSettingsSection, kPieceCacheLimit, SettingIntDefault(kPieceCacheLimit));
  return uint64_t(std::max(mb, 0)) * 1024 * 1024;
}

bool ReadFirstRun(const IniStore& store) {
  return store.GetInt(kSettingsSection, kFirstRun, SettingIntDefault(kFirstRun)) != 0;
}
bool WriteFirstRun(IniStore& store, bool firstRun) {
  return store.SetInt(kSettingsSection, kFirstRun, firstRun ? 1 : 0);
}

}  // namespace aurisona
