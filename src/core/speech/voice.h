// Installed speech voices, their attributes, how they fill the eight voice slot lists, and
// which voice a call speaks with.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/settings_keys.h"

namespace aurisona {

enum class VoiceGender { kUnknown, kMale, kFemale };

// One installed voice.
struct Voice {
  std::u16string name;          // what setup.ini stores and Synthesize matches, exactly
  std::u16string display_name;  // shown to the user
  std::string language;         // BCP 47 tag: "cmn" Mandarin, "en-US", "en-GB"
  VoiceGender gender = VoiceGender::kUnknown;
  int sample_rate = 0;          // the engine's own rate: the voice's audio and speech files are at it
  std::u16string engine;        // the engine's name as the user knows it: "Festival", "Flite", ...
  // The engine carries state from one sentence to the next that changes the sound (eSpeak
  // NG's pitch flutter runs on): each sentence is spoken by a worker process of its own.
  bool carries_state = false;

  bool operator==(const Voice&) const = default;
};

// kVoiceSlotCount (8) comes with the settings keys.
using VoiceSlotLists = std::array<std::vector<std::u16string>, kVoiceSlotCount>;

// Mandarin or another Chinese language: the tag's first subtag is "zh", "cmn" or "yue".
bool IsChineseVoice(const Voice& voice);

// The voice's attributes as Windows wrote them, for listings: "804", "409", "809" (empty
// for other languages) and "Male", "Female" (empty when unknown).
std::u16string WindowsLanguageId(std::string_view language_tag);
std::u16string GenderAttribute(VoiceGender gender);

// The voice names for the eight slot lists (index 0 is slot 1), in the order of `voices`:
//   male and Chinese    -> slots 1, 5      female and Chinese -> slots 2, 6
//   male, not Chinese   -> slots 3, 7      female, not Chinese -> slots 4, 8
//   unknown gender      -> every slot, added in the order 1, 5, 2, 6, 3, 7, 4, 8
VoiceSlotLists DistributeVoices(const std::vector<Voice>& voices);

// Which voice a call speaks with, the same for every engine: the voice whose name equals
// the one asked for (exactly, case-sensitively); without one, the voice the last matching
// call chose; before any match, the first voice.
class VoiceChoice {
 public:
  // Index into `voices`; -1 when there is none.
  int Choose(const std::vector<Voice>& voices, std::u16string_view name);

 private:
  int chosen_ = -1;
};

}  // namespace aurisona
