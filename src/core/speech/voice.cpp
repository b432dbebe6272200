#include "core/speech/voice.h"

namespace aurisona {
namespace {

std::string_view PrimarySubtag(std::string_view tag) { return tag.substr(0, tag.find('-')); }

}  // namespace

bool IsChineseVoice(const Voice& voice) {
  const std::string_view primary = PrimarySubtag(voice.language);
  return primary == "zh" || primary == "cmn" || primary == "yue";
}

std::u16string WindowsLanguageId(std::string_view language_tag) {
  if (PrimarySubtag(language_tag) == "zh" || PrimarySubtag(language_tag) == "cmn") return u"804";
  if (language_tag == "en-US") return u"409";
  if (language_tag == "en-GB") return u"809";
  return {};
}

std::u16string GenderAttribute(VoiceGender gender) {
  switch (gender) {
    case VoiceGender::kMale: return u"Male";
    case VoiceGender::kFemale: return u"Female";
    case VoiceGender::kUnknown: break;
  }
  return {};
}

VoiceSlotLists DistributeVoices(const std::vector<Voice>& voices) {
  // Slot numbers per row of the table; the last row is for a voice of unknown gender.
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
    switch (voice.gender) {
      case VoiceGender::kMale: add(voice, chinese ? kMaleChinese : kMaleOther); break;
      case VoiceGender::kFemale: add(voice, chinese ? kFemaleChinese : kFemaleOther); break;
      case VoiceGender::kUnknown: add(voice, kNeither); break;
    }
  }
  return lists;
}

int VoiceChoice::Choose(const std::vector<Voice>& voices, std::u16string_view name) {
  if (voices.empty()) return -1;
  for (size_t i = 0; i < voices.size(); ++i) {
    if (voices[i].name == name) {
      chosen_ = static_cast<int>(i);
      break;
    }
  }
  return chosen_ >= 0 && static_cast<size_t>(chosen_) < voices.size() ? chosen_ : 0;
}

}  // namespace aurisona
