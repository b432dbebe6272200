#include "core/reading/spoken_text.h"

#include <algorithm>

namespace aurisona {
namespace {

bool IsAsciiAlnum(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

}  // namespace

void SpokenText::Push(char16_t c, int32_t from, int32_t to) {
  text.push_back(c);
  begin.push_back(from);
  end.push_back(to);
}

void SpokenText::Keep(std::u16string_view written, int from, int to) {
  for (int i = from; i < to; ++i) {
    const char16_t c = written[static_cast<size_t>(i)];
    if (!text.empty() && IsAsciiAlnum(c) && IsAsciiAlnum(text.back()) && (said_ || end.back() != i)) {
      Push(u' ', i, i);  // after words that read something else: "221B" two hundred and twenty one B
    }
    Push(c, i, i + 1);
    said_ = false;
  }
}

void SpokenText::Say(std::u16string_view words, int from, int to) {
  if (words.empty()) return;
  if (!text.empty() && IsAsciiAlnum(words.front()) && IsAsciiAlnum(text.back())) {
    Push(u' ', from, from);
  }
  for (const char16_t c : words) Push(c, from, to);
  said_ = true;
}

bool SpokenText::MapToWritten(int offset, int length, int* written_offset,
                              int* written_length) const {
  if (offset < 0 || length <= 0 || static_cast<size_t>(offset) >= text.size()) return false;
  const size_t last = std::min(text.size(), static_cast<size_t>(offset) + static_cast<size_t>(length));
  int32_t lo = INT32_MAX;
  int32_t hi = -1;
  for (size_t i = static_cast<size_t>(offset); i < last; ++i) {
    if (begin[i] == end[i]) continue;  // an inserted blank
    lo = std::min(lo, begin[i]);
    hi = std::max(hi, end[i]);
  }
  if (hi <= lo) return false;
  *written_offset = lo;
  *written_length = hi - lo;
  return true;
}

}  // namespace aurisona
