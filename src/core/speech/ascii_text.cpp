#include "core/speech/ascii_text.h"

namespace aurisona {
namespace {

char FoldLatin1(char16_t c) {
  // À..ÿ without their accents; × and ÷ are not letters.
  static constexpr std::string_view kFold =
      "AAAAAAACEEEEIIIIDNOOOOO OUUUUYTsaaaaaaaceeeeiiiidnooooo ouuuuyty";
  static_assert(kFold.size() == 64);
  if (c >= 0xC0 && c <= 0xFF) return kFold[c - 0xC0];
  return ' ';
}

}  // namespace

std::string SpeechAsciiText(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char16_t c : text) {
    char a = ' ';
    if (c >= 0x20 && c < 0x7F) {
      a = static_cast<char>(c);
    } else {
      switch (c) {
        case u'\u2018': case u'\u2019': case u'\u201A': case u'\u2032': a = '\''; break;
        case u'\u201C': case u'\u201D': case u'\u201E': case u'\u2033': a = '"'; break;
        case u'\u2013': case u'\u2014': case u'\u2015': a = ','; break;
        case u'\u2026': a = '.'; break;
        case u'\uFF0C': case u'\u3001': a = ','; break;
        case u'\u3002': case u'\uFF0E': a = '.'; break;
        case u'\uFF1F': a = '?'; break;
        case u'\uFF01': a = '!'; break;
        case u'\uFF1B': a = ';'; break;
        case u'\uFF1A': a = ':'; break;
        case u'\u00A3': case u'\u20AC': case u'\u00A5': a = ' '; break;
        default: a = FoldLatin1(c); break;
      }
    }
    out.push_back(a);
  }
  return out;
}

}  // namespace aurisona
