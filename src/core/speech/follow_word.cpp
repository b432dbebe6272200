#include "core/speech/follow_word.h"

#include <algorithm>

namespace aurisona {

std::optional<WordSelection> FollowWord(std::u16string_view spokenText, int offset, int length,
                                        std::u16string_view editorText, FollowWordState& state) {
  if (offset == state.lastWordPosition) return std::nullopt;
  state.lastWordPosition = offset;
  if (offset < 0 || length < 0 || size_t(offset) > spokenText.size()) return std::nullopt;
  const std::u16string_view word = spokenText.substr(size_t(offset), size_t(length));
  const int from = state.searchPosition;
  if (from < 0 || size_t(from) > editorText.size()) return std::nullopt;
  const size_t found = editorText.find(word, size_t(from));
  if (found == std::u16string_view::npos) return std::nullopt;
  const int start = static_cast<int>(found);
  const int end = start + static_cast<int>(word.size());
  state.searchPosition = end;
  return WordSelection{start, end};
}

}  // namespace aurisona
