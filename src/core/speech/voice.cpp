#include "speech/voice.h"

namespace aurisona {

bool IsChineseVoice(const Voice& voice) {
  return voice.language.find(u"804") != std::u16string::npos;
}

bool HasMaleGender(const Voice& voice) {
  return voice.gender.find(u"Male") != std::u16string::npos;
}

bool HasFemaleGender(const Voice& voice) {
  return voice.gender.find(u"Female") != std::u16string::npos;
}

VoiceSlotLists DistributeVoices(const std::vector<Voice>& voices) {
  // Slot numbers per row of the table; the last row is for a voice of neither gender.
  static constexpr std::array<int, 2> kMaleChinese = {1, 5};
  static constexpr std::array<int, 2> kFemaleChinese = {2, 6};
  static constexpr std::array<int, 2> kMaleOther = {3, 7};
  static constexpr std::array<int, 2> kFemaleOther = {4, 8};
  static constexpr std::array<int, 8> kNeither = {1, 5, 2, 6, 3, 7, 4, 8};

  VoiceSlotLists lists;
  auto add = [&](const Voice& voice, const auto& slots) {
    for (const int slot : slots) lists[static_cast<size_t>(slot - 1)].push_back(voice.name);
  };
  for (const Voice& voice : voices) {
    const bool chinese = IsChineseVoice(voice);
    if (HasMaleGender(voice)) {
      add(voice, chinese ? kMaleChinese : kMaleOther);
    } else if (HasFemaleGender(voice)) {
      add(voice, chinese ? kFemaleChinese : kFemaleOther);
    } else {
      add(voice, kNeither);
    }
  }
  return lists;
}

int SpeechFileSampleRate(std::u16string_view display_name) {
  return display_name.find(u"22") != std::u16string_view::npos ? 22050 : 16000;
}

}  // namespace aurisona
