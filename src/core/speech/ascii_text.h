// Text for the engines that read plain ASCII (Flite, Festival).
#pragma once

#include <string>
#include <string_view>

namespace aurisona {

// One ASCII byte per UTF-16 unit of `text`, so byte i of the result stands for unit i:
// typographic punctuation and full-width stops become their ASCII kin ("…" gives "."),
// accented Latin letters lose their accents, anything else (a surrogate pair gives two)
// is a space.
std::string SpeechAsciiText(std::u16string_view text);

// A letter or a digit: a byte of a word.
constexpr bool IsAsciiWordByte(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace aurisona
