#include "core/script/memory_document.h"

#include <algorithm>
#include <iterator>

namespace aurisona {

std::u16string NormalizeLineBreaks(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r') {
      out.push_back(u'\r');
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else if (c == u'\n') {
      out.push_back(u'\r');
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::u16string MemoryScriptDocument::Text(int start, int end) const {
  const int len = Length();
  if (end < 0 || end > len) end = len;
  start = std::clamp(start, 0, len);
  if (end <= start) return {};
  return text_.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
}

int MemoryScriptDocument::RecordIndexAt(int position) const {
  const auto it = marks_.find(position);
  return it == marks_.end() ? -1 : it->second;
}

std::optional<MarkRecord> MemoryScriptDocument::MarkAt(int position) const {
  const int index = RecordIndexAt(position);
  if (index < 0 || index >= static_cast<int>(records_.size())) return std::nullopt;
  return records_[static_cast<size_t>(index)];
}

void MemoryScriptDocument::SetSelection(int start, int end) {
  const int len = Length();
  if (end < 0 || end > len) end = len;
  start = std::clamp(start, 0, len);
  if (start > end) std::swap(start, end);
  selStart_ = start;
  selEnd_ = end;
}

void MemoryScriptDocument::Splice(int start, int end, std::u16string_view text) {
  const int inserted = static_cast<int>(text.size());
  const int delta = inserted - (end - start);
  text_.replace(static_cast<size_t>(start), static_cast<size_t>(end - start), text);
  // Marks inside the replaced range go; marks behind it move.
  auto first = marks_.lower_bound(start);
  auto last = marks_.lower_bound(end);
  marks_.erase(first, last);
  if (delta != 0) {
    auto behind = marks_.lower_bound(end);
    std::vector<std::pair<int, int>> moved(behind, marks_.end());
    marks_.erase(behind, marks_.end());
    for (const auto& [pos, index] : moved) marks_.emplace_hint(marks_.end(), pos + delta, index);
  }
  selStart_ = selEnd_ = start + inserted;
}

void MemoryScriptDocument::ReplaceSelection(std::u16string_view text, bool /*undoable*/) {
  Splice(selStart_, selEnd_, NormalizeLineBreaks(text));
}

void MemoryScriptDocument::InsertMark(const MarkRecord& record, bool /*undoable*/) {
  records_.push_back(record);
  const int position = selStart_;
  Splice(selStart_, selEnd_, std::u16string_view(&kMarkChar, 1));
  marks_[position] = static_cast<int>(records_.size()) - 1;
}

}  // namespace aurisona
