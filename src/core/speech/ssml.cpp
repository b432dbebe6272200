#include "core/speech/ssml.h"

#include "core/util/text.h"

#include <array>
#include <algorithm>

namespace aurisona {
namespace {

constexpr std::array<std::u16string_view, 10> kKnownElements = {
    u"speak", u"voice", u"prosody", u"say-as", u"emphasis",
    u"break", u"mark",  u"s",       u"p",      u"sub"};

constexpr std::array<std::u16string_view, 5> kEntities = {u"&amp;", u"&lt;", u"&gt;", u"&quot;",
                                                          u"&apos;"};

struct Escape {
  char16_t ch;
  std::string_view entity;
};
constexpr std::array<Escape, 5> kEscapes = {{{u'&', "&amp;"},
                                             {u'<', "&lt;"},
                                             {u'>', "&gt;"},
                                             {u'"', "&quot;"},
                                             {u'\'', "&apos;"}}};

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Length of the known entity at `i`, or 0.
size_t EntityAt(std::u16string_view text, size_t i) {
  for (const std::u16string_view entity : kEntities) {
    if (text.substr(i, entity.size()) == entity) return entity.size();
  }
  return 0;
}

// Reads a name of [A-Za-z_:][A-Za-z0-9_:.-]* at *i.
std::u16string_view ReadName(std::u16string_view text, size_t* i) {
  const size_t start = *i;
  if (*i >= text.size() || !(IsAsciiLetter(text[*i]) || text[*i] == u'_' || text[*i] == u':')) {
    return {};
  }
  ++*i;
  while (*i < text.size()) {
    const char16_t c = text[*i];
    if (!(IsAsciiLetter(c) || IsDigit(c) || c == u'_' || c == u':' || c == u'.' || c == u'-')) break;
    ++*i;
  }
  return text.substr(start, *i - start);
}

void SkipSpaces(std::u16string_view text, size_t* i) {
  while (*i < text.size() && IsSpace(text[*i])) ++*i;
}

// Parses the tag starting with "<" at *i, updating the element stack.
bool ParseTag(std::u16string_view text, size_t* i, std::vector<std::u16string_view>* open) {
  ++*i;  // '<'
  const bool closing = *i < text.size() && text[*i] == u'/';
  if (closing) ++*i;
  const std::u16string_view name = ReadName(text, i);
  if (std::find(kKnownElements.begin(), kKnownElements.end(), name) == kKnownElements.end()) {
    return false;
  }
  if (closing) {
    SkipSpaces(text, i);
    if (*i >= text.size() || text[*i] != u'>') return false;
    ++*i;
    if (open->empty() || open->back() != name) return false;
    open->pop_back();
    return true;
  }
  while (true) {
    const size_t before_space = *i;
    SkipSpaces(text, i);
    if (*i >= text.size()) return false;
    if (text[*i] == u'>') {
      ++*i;
      open->push_back(name);
      return true;
    }
    if (text[*i] == u'/') {
      ++*i;
      if (*i >= text.size() || text[*i] != u'>') return false;
      ++*i;
      return true;
    }
    if (*i == before_space) return false;  // attributes are separated by white space
    if (ReadName(text, i).empty()) return false;
    SkipSpaces(text, i);
    if (*i >= text.size() || text[*i] != u'=') return false;
    ++*i;
    SkipSpaces(text, i);
    if (*i >= text.size() || (text[*i] != u'"' && text[*i] != u'\'')) return false;
    const char16_t quote = text[*i];
    ++*i;
    while (true) {
      if (*i >= text.size() || text[*i] == u'<') return false;
      if (text[*i] == quote) break;
      if (text[*i] == u'&') {
        const size_t n = EntityAt(text, *i);
        if (n == 0) return false;
        *i += n;
      } else {
        ++*i;
      }
    }
    ++*i;  // closing quote
  }
}

}  // namespace

bool IsWellFormedSsmlFragment(std::u16string_view text) {
  std::vector<std::u16string_view> open;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == u'<') {
      if (!ParseTag(text, &i, &open)) return false;
    } else if (text[i] == u'&') {
      const size_t n = EntityAt(text, i);
      if (n == 0) return false;
      i += n;
    } else {
      ++i;
    }
  }
  return open.empty();
}

SsmlText PrepareSsml(std::u16string_view text) {
  SsmlText out;
  out.escaped = !IsWellFormedSsmlFragment(text);
  out.utf8.reserve(text.size() * 3);
  out.source_begin.reserve(text.size());
  out.source_end.reserve(text.size());
  auto add = [&](char32_t cp, size_t begin, size_t end) {
    AppendUtf8(out.utf8, cp);
    out.source_begin.push_back(static_cast<int32_t>(begin));
    out.source_end.push_back(static_cast<int32_t>(end));
  };
  size_t i = 0;
  while (i < text.size()) {
    const size_t begin = i;
    char32_t cp = text[i++];
    if (cp >= 0xD800 && cp <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i++] - 0xDC00);
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    } else if (cp == 0) {
      cp = u' ';
    }
    const Escape* escape = nullptr;
    if (out.escaped) {
      for (const Escape& e : kEscapes) {
        if (cp == e.ch) escape = &e;
      }
    }
    if (escape) {
      for (const char c : escape->entity) add(static_cast<char32_t>(c), begin, i);
    } else {
      add(cp, begin, i);
    }
  }
  return out;
}

bool SsmlText::MapToSource(int64_t first, int64_t count, int* offset, int* length) const {
  const auto size = static_cast<int64_t>(source_begin.size());
  if (first < 0 || count <= 0 || first >= size) return false;
  const int64_t last = std::min(first + count, size) - 1;
  *offset = source_begin[static_cast<size_t>(first)];
  *length = source_end[static_cast<size_t>(last)] - *offset;
  return *length > 0;
}

}  // namespace aurisona
