// Installed speech voices, their attributes, and how they fill the eight voice slot lists.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_keys.h"

namespace aurisona {

// One installed voice, described by the attributes the voice slots work with.
struct Voice {
  std::u16string name;          // the "Name" attribute: what setup.ini stores and Speak matches
  std::u16string gender;        // "Male" or "Female" (other engines may give anything)
  std::u16string language;      // Windows language ids in hex, ";"-separated: "804", "409", "809"
  std::u16string display_name;  // shown to the user; carries "22kHz" for 22050 Hz voices

  bool operator==(const Voice&) const = default;
};

// kVoiceSlotCount (8) comes with the settings keys.
using VoiceSlotLists = std::array<std::vector<std::u16string>, kVoiceSlotCount>;

// Case-sensitive substring tests on the attributes: "Female" does not contain "Male".
bool IsChineseVoice(const Voice& voice);  // language contains "804"
bool HasMaleGender(const Voice& voice);   // gender contains "Male"
bool HasFemaleGender(const Voice& voice); // gender contains "Female"

// The voice names for the eight slot lists (index 0 is slot 1), in the order of `voices`:
//   male and Chinese    -> slots 1, 5      female and Chinese -> slots 2, 6
//   male, not Chinese   -> slots 3, 7      female, not Chinese -> slots 4, 8
//   neither gender      -> every slot, added in the order 1, 5, 2, 6, 3, 7, 4, 8
// The first line that applies wins, so a gender holding both words counts as male.
VoiceSlotLists DistributeVoices(const std::vector<Voice>& voices);

// Sample rate of speech written to a file: 22050 Hz for a voice whose display name
// contains "22", 16000 Hz for any other.
int SpeechFileSampleRate(std::u16string_view display_name);

}  // namespace aurisona
