// Following the spoken words in the editor: each word the speech reports is
// searched for in a copy of the editor's text, from where the last found word
// ended, so that the selection follows the speech although the spoken sentence
// differs from the editor text (marks removed, runs joined with spaces).
#pragma once

#include <optional>
#include <string_view>

namespace aurisona {

struct FollowWordState {
  // Where the search for the next word begins in the editor text.
  int searchPosition = 0;
  // Offset of the last word followed in the spoken text, -1 for none. Reset to
  // -1 when a new sentence starts speaking, so that its first word is followed
  // even when the previous sentence's last word stood at the same offset.
  int lastWordPosition = -1;
};

// The editor characters [start, end) to select.
struct WordSelection {
  int start = 0;
  int end = 0;
  bool operator==(const WordSelection&) const = default;
};

// The word the speech reports at `offset` with `length` (UTF-16 units of
// `spokenText`; clipped to it) is looked for, case-sensitively, in `editorText`
// from the search position on. Found: the search position moves past it and
// its selection is returned. A repeated report of the same offset, a word not
// found, or a search position outside the editor text changes nothing.
std::optional<WordSelection> FollowWord(std::u16string_view spokenText, int offset, int length,
                                        std::u16string_view editorText, FollowWordState& state);

}  // namespace aurisona
