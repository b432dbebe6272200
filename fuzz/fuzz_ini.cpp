// Arbitrary bytes as a setup.ini: parse, read the settings, write keys and
// check that what was written reads back and nothing else changed.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/settings/ini_store.h"
#include "core/settings/settings_keys.h"
#include "core/settings/settings_record.h"
#include "core/util/text.h"

using namespace aurisona;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Splits the input into short UTF-16 strings for section, key and value.
std::u16string Piece(std::string_view bytes, size_t index) {
  size_t start = 0;
  for (size_t i = 0; i < index && start < bytes.size(); ++i) {
    const size_t bar = bytes.find('|', start);
    start = bar == std::string_view::npos ? bytes.size() : bar + 1;
  }
  const size_t bar = bytes.find('|', start);
  return Utf8ToUtf16(bytes.substr(start, (bar == std::string_view::npos ? bytes.size() : bar) - start));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const IniDocument doc = IniDocument::Parse(bytes);
  const std::string text = doc.Serialize();
  // Lines that are not UTF-8 may keep their bytes; a UTF-8 file stays UTF-8.
  if (IsValidUtf8(bytes)) Check(IsValidUtf8(text));
  Check(IniDocument::Parse(text).Serialize() == text);

  SettingsRecord record;
  record.Load(doc);
  for (int slot = 1; slot <= kVoiceSlotCount; ++slot) {
    const VoiceSlot s = *record.VoiceSlotQuery(slot);
    Check(s.rate >= kMinRate && s.rate <= kMaxRate);
    Check(s.volume >= kMinVolume && s.volume <= kMaxVolume && s.volume % kVolumeStep == 0);
  }
  for (const GainGroup* g : {&record.textGain, &record.musicGain, &record.recordingGain}) {
    Check(g->percent >= kMinGainPercent && g->percent <= kMaxGainPercent);
  }

  // Saving the record and loading it again gives the same record.
  IniDocument saved = doc;
  IniBatch batch;
  record.AppendSave(&batch);
  if (saved.Apply(batch)) {
    SettingsRecord again;
    again.Load(IniDocument::Parse(saved.Serialize()));
    Check(again == record);
  }

  // A write of pieces of the input reads back, and leaves the record's keys alone.
  const std::u16string section = Piece(bytes, 0), key = Piece(bytes, 1), value = Piece(bytes, 2);
  IniDocument written = doc;
  if (written.SetString(section, key, value)) {
    const IniDocument back = IniDocument::Parse(written.Serialize());
    Check(back.GetString(section, key, u"\uFFFF missing") == value);
    for (const SettingKey& k : SettingsKeyTable()) {
      if (EqualsIgnoreAsciiCase(section, kSettingsSection) && EqualsIgnoreAsciiCase(key, k.key)) continue;
      Check(back.Find(kSettingsSection, k.key) == doc.Find(kSettingsSection, k.key));
    }
  } else {
    Check(written.Serialize() == text);
  }
  return 0;
}
