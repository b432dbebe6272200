// The sound settings of section "设置": voice slots, gains and the music fade,
// plus the few values the main window reads and writes itself.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/ini_store.h"
#include "core/settings/settings_keys.h"

namespace aurisona {

struct VoiceSlot {
  std::u16string voice;  // the voice name ("Name" attribute of an installed voice)
  int rate = kDefaultRate;      // -10..10
  int volume = kDefaultVolume;  // 10, 20, ... 100 percent
  bool operator==(const VoiceSlot&) const = default;
};

struct GainGroup {
  int percent = 0;         // 1..999
  bool automatic = false;  // takes precedence over `fixed`
  bool fixed = false;
  bool operator==(const GainGroup&) const = default;
};

// Rates and volumes a voice slot can hold.
inline constexpr int kMinRate = -10;
inline constexpr int kMaxRate = 10;
inline constexpr int kMinVolume = 10;
inline constexpr int kMaxVolume = 100;
inline constexpr int kVolumeStep = 10;
inline constexpr int kMinGainPercent = 1;
inline constexpr int kMaxGainPercent = 999;
inline constexpr int kMinFadeSeconds = 1;
inline constexpr int kMaxFadeSeconds = 10;

struct SettingsRecord {
  std::array<VoiceSlot, kVoiceSlotCount> voiceSlots;  // slot n at index n - 1
  GainGroup textGain;
  GainGroup musicGain;
  GainGroup recordingGain;
  bool fadeOn = false;
  int fadeSeconds = 0;  // 1..10 when edited; kept as stored at load
  bool loudnessOn = false;                    // loudness normalisation instead of the gains
  int loudnessTarget = kDefaultLoudnessTarget;  // LUFS, clamped at load
  bool subtitlesOn = false;                   // LRC and SRT files with every MP3

  // The defaults of every key (what a missing setup.ini gives).
  SettingsRecord();

  // Slot 1..8; nothing (and nullptr) outside that range.
  std::optional<VoiceSlot> VoiceSlotQuery(int slot) const;
  VoiceSlot* SlotAt(int slot);

  // Reads every key of the record. Gain percents are clamped to 1..999; a
  // volume selects entry (value / 10) - 1 of the 10..100 list (55 loads as 50),
  // and a volume that selects no entry, or a rate outside -10..10, loads as the
  // default (100, 0). The fade time is kept as stored.
  void Load(const IniStore& store);
  void Load(const IniDocument& doc);

  // Writes every key in save order (gains and fade, then slot by slot voice,
  // speed and volume) in one rewrite. False when the file could not be written.
  [[nodiscard]] bool Save(IniStore& store) const;
  // The same writes, for callers that batch them with others.
  void AppendSave(IniBatch* batch) const;

  bool operator==(const SettingsRecord&) const = default;
};

// The entry of an installed voice list that the stored name selects: the first
// that begins with `stored` ignoring the case of A-Z, else the first entry (0);
// -1 for an empty list.
int SelectVoice(const std::vector<std::u16string>& names, std::u16string_view stored);

// The values of section "设置" that the main window keeps; each write goes to
// the file at once. Reads give the table default when the key is missing.
int ReadSkin(const IniStore& store);
[[nodiscard]] bool WriteSkin(IniStore& store, int skin);
bool ReadPanelShown(const IniStore& store);
[[nodiscard]] bool WritePanelShown(IniStore& store, bool shown);
int ReadPromptToneIndex(const IniStore& store);
[[nodiscard]] bool WritePromptToneIndex(IniStore& store, int index);
bool ReadFirstRun(const IniStore& store);
// The piece cache's size limit in bytes: the key holds MB; a negative value is 0 (off).
uint64_t ReadPieceCacheLimit(const IniStore& store);
[[nodiscard]] bool WriteFirstRun(IniStore& store, bool firstRun);

}  // namespace aurisona
