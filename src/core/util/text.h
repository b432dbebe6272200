// Text conversions between UTF-8, UTF-16 and GB18030, and small string helpers.
#pragma once

#include <string>
#include <string_view>

namespace aurisona {

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// UTF-8 -> UTF-16. Invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// UTF-16 -> UTF-8. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);
// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(std::string_view bytes);
// GB18030 -> UTF-16 through iconv; undecodable bytes become U+FFFD.
std::u16string Gb18030ToUtf16(std::string_view bytes);

// UTF-16LE bytes <-> UTF-16 text. An odd trailing byte is dropped.
std::u16string FromUtf16Le(std::string_view bytes);
std::string ToUtf16Le(std::u16string_view text);

// Compares ignoring the case of the Latin letters A-Z only.
bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);
bool EndsWithIgnoreAsciiCase(std::u16string_view s, std::u16string_view suffix);

// "%d" formatting and the private-profile integer read: the leading decimal
// number (optional blanks, optional sign, digits), 0 when there is none.
std::u16string IntToU16(long long value);
int LeadingInt(std::u16string_view s);

inline std::u16string U16(std::string_view utf8) { return Utf8ToUtf16(utf8); }

}  // namespace aurisona
